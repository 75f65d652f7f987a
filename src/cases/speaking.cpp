// SPDX-License-Identifier: MIT
// What the headers that speak other frameworks' macros need compiled once.
#include "zktest_gtest.h"
#include "zkqe_test.h"
#include "internal/zktest_speaking.h"

#include <cstring>
#include <exception>
#include <string>

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
