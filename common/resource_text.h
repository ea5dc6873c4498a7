// Message texts of a module's string table, filled in the way wsprintf fills them. Shared by
// the monitor and its user interface, whose messages both come from their own string tables.
#pragma once

#include <windows.h>

#include <cstdarg>

namespace vesk {

// wvsprintfW writes at most 1024 characters and their terminator.
constexpr size_t kFormattedChars = 1025;

// Loads string `textId` of `module`, fills its placeholders from `args` into `out` and keeps
// at most `keep` characters of the result. False, with `out` empty, when the string is missing.
inline bool FormatResourceText(HINSTANCE module, UINT textId, va_list args, size_t keep,
                               WCHAR (&out)[kFormattedChars]) {
    WCHAR format[257];
    out[0] = 0;
    if (LoadStringW(module, textId, format, 257) <= 0) return false;
    wvsprintfW(out, format, args);
    out[keep < kFormattedChars ? keep : kFormattedChars - 1] = 0;
    return true;
}

}  // namespace vesk
