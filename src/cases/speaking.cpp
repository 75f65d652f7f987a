// SPDX-License-Identifier: MIT
// What the headers that speak other frameworks' macros need compiled once.
#include "zktest_cases.h"
#include "zkqe_test.h"
#include "internal/zktest_speaking.h"

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
