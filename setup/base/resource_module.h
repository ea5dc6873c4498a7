// The module whose resources setup's dialogs, strings and pictures come from: the program
// itself (a test program that shows them carries the same resources).
#pragma once

#include <windows.h>

inline HINSTANCE ResourceInstance() {
    return GetModuleHandleA(nullptr);
}
