// Whether DefineDosDevice survives the private NONSPOOLED_<COM> names in this process.
//
// Wine 8.0's 32-bit kernelbase builds the link name of DefineDosDeviceW in a 15-character
// stack array and appends to it without a bound: a name of 15 or more characters, such as
// NONSPOOLED_COM1, overwrites the saved registers and the process ends at once with exit
// status 0 and no output. Windows has no such limit, and the product keeps its names; a test
// that needs such a name asks first, in a child process, and skips itself where the child
// dies, with the reason, so the rest of the program still runs.
#pragma once

#include <gtest/gtest.h>

namespace vt {

inline constexpr const char* kLongDosNameFault =
    "this Wine's 32-bit DefineDosDeviceW overflows on names longer than 14 characters";

// True when a child process (this test program, started with a flag) defined and removed a
// DOS name of more than 14 characters and lived to say so. Asked once per process.
bool LongDosNamesSurvive();

}  // namespace vt

// Skips the current test (from a test body or a fixture's SetUp) where long DOS names kill
// the process.
#define VESK_SKIP_WITHOUT_LONG_DOS_NAMES()                                \
    do {                                                                  \
        if (!vt::LongDosNamesSurvive()) GTEST_SKIP() << vt::kLongDosNameFault; \
    } while (0)
