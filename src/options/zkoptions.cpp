// SPDX-License-Identifier: MIT
// options_handler: registration, lookup and the two forms of process_opts.
//
// Invariants: records [count, capacity) are all zero; a record's name is
// null, its own shortName, or a heap copy that only that record owns;
// `options` is inlineOptions until the first growth, then a heap array owned
// by the handler. Small cases use no heap: up to 8 options, long forms under
// 4 characters, strings under 80 characters and up to 8 words.
#include "zkoptions.h"

#include "zkqe_output.h"

#include "diagnostics/diagnostics.h"

#include <cstdlib>
#include <cstring>

namespace {

// Strings shorter than this are split in a buffer on the stack.
constexpr std::size_t kInlineStringSize = 80;
// Words the stack word list holds before it moves to the heap.
constexpr std::size_t kInlineWords = 8;
// Long forms shorter than this live inside their record.
constexpr std::size_t kShortNameSize = 4;

void releaseName(options_handler::option& record) {
    if (record.name != nullptr && record.name != record.shortName)
        std::free(record.name);
    record.name = nullptr;
}

// The growing list of word addresses, always with room for the null entry
// that ends it.
class WordList {
public:
    WordList() : words_(inline_), size_(0), capacity_(kInlineWords) {}
    ~WordList() {
        if (words_ != inline_)
            std::free(words_);
    }
    WordList(const WordList&) = delete;
    WordList& operator=(const WordList&) = delete;

    bool append(char* word) {
        if (size_ == capacity_) {
            const std::size_t grown = capacity_ * 2;
            auto* bigger = static_cast<char**>(std::malloc((grown + 1) * sizeof(char*)));
            if (bigger == nullptr)
                return false;
            std::memcpy(bigger, words_, size_ * sizeof(char*));
            if (words_ != inline_)
                std::free(words_);
            words_ = bigger;
            capacity_ = grown;
        }
        words_[size_++] = word;
        words_[size_] = nullptr;
        return true;
    }
    char** words() {
        words_[size_] = nullptr;
        return words_;
    }
    int size() const { return static_cast<int>(size_); }

private:
    char* inline_[kInlineWords + 1];
    char** words_;
    std::size_t size_;
    std::size_t capacity_;
};

} // namespace

options_handler::options_handler() : capacity(kInlineOptions), options(inlineOptions), count(0) {
    std::memset(inlineOptions, 0, sizeof inlineOptions);
}

options_handler::~options_handler() {
    for (unsigned i = 0; i < capacity; ++i)
        releaseName(options[i]);
    if (options != inlineOptions)
        std::free(options);
}

options_handler::options_handler(const options_handler& other) : options_handler() {
    *this = other;
}

options_handler& options_handler::operator=(const options_handler& other) {
    if (this == &other)
        return *this;
    for (unsigned i = 0; i < capacity; ++i)
        releaseName(options[i]);
    if (options != inlineOptions)
        std::free(options);
    std::memset(inlineOptions, 0, sizeof inlineOptions);
    options = inlineOptions;
    capacity = kInlineOptions;
    // Without memory for all records the copy keeps those that fit.
    while (capacity < other.count && grow()) {
    }
    for (count = 0; count < other.count && count < capacity; ++count) {
        option& record = options[count];
        const char* name = other.options[count].name;
        record = other.options[count];
        if (name == other.options[count].shortName) {
            record.name = record.shortName;
        } else if (name != nullptr) {
            // As in set_opt: a long form that cannot be copied is left out.
            const std::size_t size = std::strlen(name) + 1;
            record.name = static_cast<char*>(std::malloc(size));
            if (record.name != nullptr)
                std::memcpy(record.name, name, size);
        }
    }
    return *this;
}

int options_handler::get_opt_inx(const char* name) {
    ZKQE_PRECONDITION(name != nullptr, optionName);
    if (*name == '-') {
        ++name;
        if (*name == '-')
            ++name;
    }
    if (*name == '\0' || count == 0)
        return -1;
    const bool letterForm = name[1] == '\0';
    for (unsigned i = 0; i < count; ++i) {
        const option& record = options[i];
        if (letterForm ? record.letter == *name
                       : record.name != nullptr && std::strcmp(record.name, name) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

const options_handler::option* options_handler::get_opt(const char* name) {
    const int i = get_opt_inx(name);
    return i < 0 ? nullptr : &options[i];
}

bool options_handler::grow() {
    const unsigned grown = capacity * 2;
    auto* bigger = static_cast<option*>(std::malloc(grown * sizeof(option)));
    if (bigger == nullptr)
        return false;
    std::memcpy(bigger, options, capacity * sizeof(option));
    std::memset(bigger + capacity, 0, (grown - capacity) * sizeof(option));
    // Names kept inside a record move with it.
    for (unsigned i = 0; i < capacity; ++i)
        if (options[i].name == options[i].shortName)
            bigger[i].name = bigger[i].shortName;
    if (options != inlineOptions)
        std::free(options);
    options = bigger;
    capacity = grown;
    return true;
}

int options_handler::set_opt(OptionCallback callback, void* context, char letter,
                             const char* name) {
    const char letterWord[2] = {letter, '\0'};
    int i = get_opt_inx(letterWord);
    if (name != nullptr) {
        const int j = get_opt_inx(name);
        if (i == -1)
            i = j;
        else
            ZKQE_PRECONDITION(j == i || j == -1, optionIndexAgrees);
    }

    unsigned index;
    bool added = false;
    if (i != -1) {
        index = static_cast<unsigned>(i);
    } else {
        index = 0;
        while (index < count && options[index].callback != nullptr)
            ++index;
        added = index == count;
    }
    if (index >= capacity && !grow())
        return -1;
    if (added)
        ++count;

    option& record = options[index];
    record.callback = callback;
    record.context = context;
    record.letter = letter;
    releaseName(record);
    if (name == nullptr || *name == '\0')
        return static_cast<int>(index);
    const std::size_t length = std::strlen(name);
    if (length < kShortNameSize) {
        std::memcpy(record.shortName, name, length + 1);
        record.name = record.shortName;
    } else {
        // A long form whose copy cannot be made is registered without it:
        // the letter still works.
        record.name = static_cast<char*>(std::malloc(length + 1));
        if (record.name != nullptr)
            std::memcpy(record.name, name, length + 1);
    }
    return static_cast<int>(index);
}

int options_handler::process_opts(int argc, char** const argv) {
    ZKQE_PRECONDITION(argc >= 0, argumentCount);
    int matched = 0;
    for (int w = 0; w < argc; ++w) {
        char* word = argv[w];
        // A null word is left to the lookup's own check.
        if (word != nullptr && word[0] != '-')
            continue;
        const int i = get_opt_inx(word);
        if (i == -1) {
            qe_fprintf(stderr, "unrecognized option: %s\n", word);
            continue;
        }
        ++matched;
        option& record = options[i];
        if (record.callback != nullptr) {
            char** cursor = &argv[w];
            record.result = record.callback(&cursor, record.context);
        }
    }
    return matched;
}

int options_handler::process_opts(const char* str) {
    ZKQE_PRECONDITION(str != nullptr, optionString);
    const std::size_t length = std::strlen(str);
    char local[kInlineStringSize];
    char* copy = local;
    if (length >= kInlineStringSize) {
        copy = static_cast<char*>(std::malloc(length + 1));
        if (copy == nullptr)
            return -1;
    }
    std::memcpy(copy, str, length + 1);

    int result = -1;
    {
        WordList list;
        bool quoted = false;
        bool inWord = false;
        bool complete = true;
        for (char* c = copy; *c != '\0'; ++c) {
            if (!quoted && *c == ' ') {
                *c = '\0';
                inWord = false;
                continue;
            }
            if (!inWord) {
                if (!list.append(c)) {
                    complete = false;
                    break;
                }
                inWord = true;
            }
            if (*c == '"')
                quoted = !quoted;
        }
        if (complete)
            result = process_opts(list.size(), list.words());
    }
    if (copy != local)
        std::free(copy);
    return result;
}
