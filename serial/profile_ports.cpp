// The profile's "ports" section: per-device line settings and the list of COM ports.
#include "settings.h"

#include "../common/profile.h"
#include "../common/text.h"

BOOL GetIniCommValues(LPCTSTR deviceName, DCB* dcb) {
    if (!deviceName || !dcb) return FALSE;
    vesk::ProfileText<TCHAR> value;
    if (!vesk::ReadProfileGrowing<TCHAR>(_T("ports"), deviceName, 20, value)) return FALSE;
    return BuildCommDCB(value.text(), dcb);
}

DWORD GetComPorts(LPTSTR out, DWORD outChars) {
    vesk::ProfileText<TCHAR> keys;
    if (!vesk::ReadProfileGrowing<TCHAR>(_T("ports"), nullptr, 2048, keys)) return 0;

    DWORD count = 0;
    const TCHAR* list = keys.text();
    for (DWORD pos = 0; pos < keys.chars && list[pos];) {
        LPCTSTR key = list + pos;
        DWORD len = vesk::Length(key);
        if (len >= 3 && vesk::EqualPrefixNoCase(key, _T("COM"), 3)) {
            if (out && count + len + 1 <= outChars)
                for (DWORD i = 0; i <= len; ++i) out[count + i] = key[i];
            count += len + 1;
        }
        pos += len + 1;
    }
    return count;
}

DWORD GetVeskPortComPorts(PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed) {
    bool sizeOnly = in && inSize >= 1 && in[0] == 1;
    DWORD chars = GetComPorts(nullptr, 0);
    if (needed) *needed = chars;
    if (sizeOnly || chars == 0) return 0;
    if (!out || outSize / sizeof(TCHAR) < chars) return ERROR_INSUFFICIENT_BUFFER;
    GetComPorts(reinterpret_cast<LPTSTR>(out), outSize / sizeof(TCHAR));
    return 0;
}
