// Strings from the library's own string table.
#pragma once

#include <windows.h>

// Strings are loaded into buffers of this many characters.
inline constexpr DWORD kStringChars = 521;

struct MonitorString {
    WCHAR text[kStringChars];
};

// Loads string `id`; an unknown id gives "".
MonitorString LoadMonitorString(UINT id);
