// SPDX-License-Identifier: MIT
// What the headers that speak other frameworks' macros need compiled once.
#include "zktest_gtest.h"
#include "zkqe_test.h"
#include "internal/zktest_speaking.h"

#include <cstring>
#include <string>

#include <cctype>
#include <exception>

bool zktest::gtestSameText_(const char* a, const char* b, bool blind) {
    if (a == nullptr || b == nullptr)
        return a == b;
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        const unsigned char x = static_cast<unsigned char>(*a);
        const unsigned char y = static_cast<unsigned char>(*b);
        if (blind ? std::tolower(x) != std::tolower(y) : x != y)
            return false;
    }
    return *a == *b;
}

void zktest::failOnException_(const char* file, int line, bool fatal, const char* text) {
    try {
        throw;
    } catch (const RequireAbort&) {
        throw;
    } catch (const SkipCase&) {
        throw;
    } catch (const tooManyFailures&) {
        throw;
    } catch (...) {
        ValueText tag;
        tag.append(text);
        tag.append(": threw ");
        appendCurrentException(tag);
        theRunningTest.assertTrue(tag.c_str(), file, line, false, nullptr);
    }
    if (fatal)
        throw RequireAbort();
}

bool zktest::currentExceptionSays_(const char* message) {
    try {
        throw;
    } catch (const std::exception& error) {
        return std::strcmp(error.what(), message) == 0;
    } catch (const char* text) {
        return std::strcmp(text, message) == 0;
    } catch (const std::string& text) {
        return text == message;
    } catch (...) {
        return false;
    }
}
