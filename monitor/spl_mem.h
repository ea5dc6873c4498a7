// Memory and string helpers of the monitor. Memory that crosses functions is zero-filled
// fixed global memory; whoever receives it frees it with GlobalFree.
#pragma once

#include <windows.h>

LPVOID AllocSplMem(DWORD size);
LPWSTR AllocSplStr(LPCWSTR text);

// Concatenates the null-ended list of strings into `buffer` of `capacity` characters.
// 0 on success; ERROR_INVALID_PARAMETER for no buffer or capacity 0; ERROR_BUFFER_OVERFLOW
// when the texts do not fit (the buffer then holds ""). A failure is also the last error.
DWORD StrNCatBuffW(LPWSTR buffer, DWORD capacity, ...);
