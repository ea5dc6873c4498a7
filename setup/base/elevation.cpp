#include "elevation.h"

#include <windows.h>

Elevation ProcessElevation() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Elevation::Unknown;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    bool known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    if (!known) return Elevation::Unknown;
    return elevation.TokenIsElevated ? Elevation::Elevated : Elevation::Restricted;
}
