#include "port_names.h"

#include "../common/text.h"

namespace {

bool IsSeparator(WCHAR c) {
    return c == L'\\' || c == L'/';
}

bool IsDigit(WCHAR c) {
    return c >= L'0' && c <= L'9';
}

// The platform takes these as devices wherever they stand in a path, whatever follows a dot.
bool IsReservedDeviceName(LPCWSTR part, DWORD chars) {
    static const LPCWSTR kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    // The base name ends at the first dot, a colon or trailing spaces.
    DWORD base = 0;
    while (base < chars && part[base] != L'.' && part[base] != L':') ++base;
    while (base > 0 && part[base - 1] == L' ') --base;
    for (LPCWSTR name : kNames)
        if (vesk::Length(name) == base && vesk::EqualPrefixNoCase(part, name, base)) return true;
    // COM1..COM9 and LPT1..LPT9 (a COM port as a file is still a device).
    return base == 4 && IsDigit(part[3]) && part[3] != L'0' &&
           (vesk::EqualPrefixNoCase(part, L"COM", 3) || vesk::EqualPrefixNoCase(part, L"LPT", 3));
}

}  // namespace

bool IsComPortName(LPCWSTR name) {
    if (!name || !vesk::EqualPrefixNoCase(name, L"COM", 3)) return false;
    DWORD i = 3;
    while (IsDigit(name[i]) && i < 6) ++i;
    if (i == 3 || name[3] == L'0') return false;
    if (name[i] == L':') ++i;
    return name[i] == 0;
}

bool IsLocalFileName(LPCWSTR name) {
    if (!name || !*name) return false;
    // \\server\share, \\.\device, \\?\path and the NT form \??\path.
    if (IsSeparator(name[0]) && IsSeparator(name[1])) return false;
    if (IsSeparator(name[0]) && name[1] == L'?' && name[2] == L'?' && IsSeparator(name[3]))
        return false;
    // The last part of the path names a device when it is a reserved name.
    LPCWSTR part = name;
    for (LPCWSTR p = name; *p; ++p)
        if (IsSeparator(*p)) part = p + 1;
    return !IsReservedDeviceName(part, vesk::Length(part));
}
