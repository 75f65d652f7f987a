// SPDX-License-Identifier: MIT
// The hand-made digits of every integer insertion against the C library's
// own conversions: an independent model over many values of every width.
#include <zktest.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <type_traits>

// Keeps the text of every number instead of writing it.
struct Capture : qe_ofstream {
    std::string text;
    using qe_ofstream::put;
    qe_ostream& put(const char* digits) override {
        text += digits + std::string(" ");
        return *this;
    }
};

// Inserts `bits` as each type and appends what printf's conversion of the
// radix, with the type's length modifier, makes of the same value.
template <class... Types>
void insertAs(Capture& stream, std::string& expected, unsigned long long bits, int radix) {
    auto insert = [&](auto value) {
        using Signed = std::make_signed_t<decltype(value)>;
        const char* length = std::is_same_v<Signed, long>        ? "l"
                             : std::is_same_v<Signed, long long> ? "ll"
                                                                 : "";
        const char conversion = (std::is_signed_v<decltype(value)> ? "odx" : "oux")[radix];
        char text[32];
        std::snprintf(text, sizeof text, (std::string("%") + length + conversion + " ").c_str(),
                      value);
        expected += text;
        stream << value;
    };
    (insert(static_cast<Types>(bits)), ...);
}

TEST(IntegerInsertion, AgreesWithPrintfForEveryTypeAndRadix) {
    qe_ostream& (*const radixes[])(qe_ostream&) = {oct, dec, hex};
    for (int radix = 0; radix < 3; ++radix) {
        Capture stream;
        stream << radixes[radix];
        std::string expected;
        for (int shift = 0; shift < 64; ++shift)
            for (auto bits : {1ULL << shift, (1ULL << shift) - 1, ~0ULL << shift,
                              0x9E3779B97F4A7C15ULL >> shift, 0x9E3779B97F4A7C15ULL << shift})
                insertAs<short, unsigned short, int, unsigned, long, unsigned long, long long,
                         unsigned long long>(stream, expected, bits, radix);
        EXPECT_EQ(expected, stream.text) << "radix " << radix;
    }
}
