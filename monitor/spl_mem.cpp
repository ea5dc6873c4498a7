#include "spl_mem.h"

#include <cstdarg>

#include "../common/text.h"

LPVOID AllocSplMem(DWORD size) {
    return GlobalAlloc(GPTR, size);
}

LPWSTR AllocSplStr(LPCWSTR text) {
    if (!text) return nullptr;
    DWORD bytes = (vesk::Length(text) + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(AllocSplMem(bytes));
    if (copy) CopyMemory(copy, text, bytes);
    return copy;
}

DWORD StrNCatBuffW(LPWSTR buffer, DWORD capacity, ...) {
    vesk::BoundedAppender<WCHAR> out(buffer, capacity);
    if (out.usable()) {
        va_list args;
        va_start(args, capacity);
        for (LPCWSTR t = va_arg(args, LPCWSTR); t; t = va_arg(args, LPCWSTR))
            if (!out.append(t)) break;
        va_end(args);
    }
    DWORD result = out.result();
    if (result) SetLastError(result);
    return result;
}
