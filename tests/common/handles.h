// Counting the process's open handles. Wine's GetProcessHandleCount gives 0, so this counts
// the handle values that name an open handle.
#pragma once

#include <windows.h>

namespace vt {

inline int OpenHandles() {
    int n = 0;
    DWORD flags = 0;
    for (UINT_PTR v = 4; v < 0x20000; v += 4)
        n += GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags) != FALSE;
    return n;
}

}  // namespace vt
