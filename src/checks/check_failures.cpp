// SPDX-License-Identifier: MIT
// The failure texts of the checks that are not built inline: two-argument
// texts, tolerance, exceptions; and the scoped messages of ZKQE_INFO, kept
// on the reports' per-thread list so that every failure carries them.
#include "internal/zktest_value_checks.h"

#include "checks/argument_text.h"
#include "reports/failure_context.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <typeinfo>

#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#define ZKQE_HAVE_CXXABI 1
#endif

const char* zkqe::topLevelComma(const char* text) {
    int depth = 0;
    char quote = '\0';
    for (const char* p = text; *p != '\0'; ++p) {
        if (quote != '\0') {
            if (*p == '\\' && p[1] != '\0')
                ++p;
            else if (*p == quote)
                quote = '\0';
        } else if (*p == '"' || *p == '\'') {
            quote = *p;
        } else if (*p == '(' || *p == '[' || *p == '{') {
            ++depth;
        } else if (*p == ')' || *p == ']' || *p == '}') {
            --depth;
        } else if (*p == ',' && depth == 0) {
            return p;
        }
    }
    return nullptr;
}

namespace zktest {

namespace {

void appendTypeName(ValueText& out, const std::type_info* type) {
    if (type == nullptr)
        return out.append("of unknown type");
    const char* name = type->name();
#ifdef ZKQE_HAVE_CXXABI
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (status == 0 && readable != nullptr) {
        appendEscaped(out, readable, std::strlen(readable));
        std::free(readable);
        return;
    }
    std::free(readable);
#endif
    appendEscaped(out, name, std::strlen(name));
}

// Where the top-level comma of "a, b" is, or null when there is none or
// more than one (a template's arguments, say, which brackets do not show).
const char* soleTopLevelComma(const char* text) {
    const char* comma = zkqe::topLevelComma(text);
    return comma != nullptr && zkqe::topLevelComma(comma + 1) == nullptr ? comma : nullptr;
}

} // namespace

const char* opName(Op op) {
    static const char* const names[] = {"EQ", "NE", "LT", "LE", "GT", "GE"};
    return names[static_cast<int>(op)];
}

const char* opSymbol(Op op) {
    static const char* const symbols[] = {"==", "!=", "<", "<=", ">", ">="};
    return symbols[static_cast<int>(op)];
}

void appendBinaryText(ValueText& out, const char* name, const char* op, const char* arguments) {
    const char* comma = soleTopLevelComma(arguments);
    if (comma == nullptr) {
        out.append(name);
        out.append("(");
        out.append(arguments);
        out.append(")");
        return;
    }
    out.append(arguments, static_cast<std::size_t>(comma - arguments));
    out.append(" ");
    out.append(op);
    out.append(comma + 1); // keeps the blank after the comma
}

const char* appendCapturedName(ValueText& out, const char* names, bool last) {
    if (out.size() != 0)
        out.append(", ");
    while (*names == ' ')
        ++names;
    const char* comma = last ? nullptr : zkqe::topLevelComma(names);
    const char* end = comma != nullptr ? comma : names + std::strlen(names);
    out.append(names, static_cast<std::size_t>(end - names));
    out.append(" := ");
    return comma != nullptr ? comma + 1 : end;
}

Outcome newFailure() {
    return {new ValueText()};
}

Outcome textFailure(const char* text) {
    const Outcome outcome = newFailure();
    outcome.failure->append(text);
    return outcome;
}

void Check::startMessage() {
    if (!messages_)
        failure_->append(" | ");
    messages_ = true;
}

void Check::finish() {
    ValueText* const failure = failure_;
    failure_ = nullptr;
    struct Release {
        ValueText* text;
        ~Release() { delete text; }
    } release{failure};
    // Inside another exception's unwinding nothing more may be thrown.
    const bool unwinding = std::uncaught_exceptions() > 0;
    try {
        report_(test_, failure->c_str(), file_, line_);
    } catch (...) {
        if (!unwinding)
            throw;
    }
    if (fatal_ && !unwinding)
        throw RequireAbort();
}

Outcome nearFailed(const char* arguments, double a, double b, double tolerance) {
    const Outcome outcome = newFailure();
    ValueText& out = *outcome.failure;
    out.append("NEAR(");
    out.append(arguments);
    out.append("): ");
    appendValue(out, a);
    out.append(" vs ");
    appendValue(out, b);
    out.append(", off by ");
    appendValue(out, a > b ? a - b : b - a);
    out.append(", more than ");
    appendValue(out, tolerance);
    return outcome;
}

void appendCurrentException(ValueText& out) {
    try {
        throw;
    } catch (const std::exception& error) {
        appendTypeName(out, &typeid(error));
        out.append(": ");
        appendCString(out, error.what());
    } catch (...) {
#ifdef ZKQE_HAVE_CXXABI
        appendTypeName(out, abi::__cxa_current_exception_type());
#else
        appendTypeName(out, nullptr);
#endif
    }
}

const char* currentExceptionMessage() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (const std::string& text) {
        return text.c_str();
    } catch (const char* text) {
        return text;
    } catch (...) {
        return nullptr;
    }
}

namespace {
Outcome exceptionFailure(const char* kind, const char* arguments, const char* what) {
    const Outcome outcome = newFailure();
    outcome.failure->append(kind);
    outcome.failure->append("(");
    outcome.failure->append(arguments);
    outcome.failure->append(what);
    return outcome;
}
} // namespace

Outcome threwNothing(const char* kind, const char* arguments) {
    return exceptionFailure(kind, arguments, "): nothing thrown");
}

Outcome threwOther(const char* kind, const char* arguments) {
    const Outcome outcome = exceptionFailure(kind, arguments, "): threw ");
    appendCurrentException(*outcome.failure);
    return outcome;
}

// A frame per scope, on the heap: the public class holds only its text.
InfoScope::InfoScope(ValueText&& text) : text_(std::move(text)) {
    zkqe::FailureContext*& innermost = zkqe::threadFailureContext();
    innermost = new zkqe::FailureContext{text_.c_str(), innermost};
}

InfoScope::~InfoScope() {
    zkqe::FailureContext*& innermost = zkqe::threadFailureContext();
    zkqe::FailureContext* frame = innermost;
    innermost = frame->outer;
    delete frame;
}

} // namespace zktest
