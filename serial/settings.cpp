// The stored settings string and the settings text of a DCB.
#include "settings.h"

#include "serial.h"

#include "../common/text.h"
#include "../common/win_raii.h"

namespace {

bool IsBlank(LPCTSTR text) {
    for (; *text; ++text)
        if (*text != _T(' ') && *text != _T('\t')) return false;
    return true;
}

// COM10 .. COM99.
bool IsTwoDigitComName(LPCTSTR name) {
    auto digit = [](TCHAR c) { return c >= _T('0') && c <= _T('9'); };
    return vesk::EqualPrefixNoCase(name, _T("COM"), 3) && name[3] >= _T('1') &&
           name[3] <= _T('9') && digit(name[4]) && name[5] == 0;
}

}  // namespace

DWORD SplitStoredSettings(LPCTSTR stored, TCHAR (&comName)[6], LPCTSTR* lineSettings) {
    DWORD comma = 0;
    while (stored[comma] && stored[comma] != ',') ++comma;
    if (!stored[comma]) return ERROR_NO_DATA;

    DWORD nameChars = 0;
    while (nameChars < comma && stored[nameChars] != ':') ++nameChars;
    if (nameChars >= 6) return ERROR_INVALID_NAME;
    for (DWORD i = 0; i < nameChars; ++i) comName[i] = stored[i];
    comName[nameChars] = 0;
    *lineSettings = stored + comma + 1;
    return 0;
}

DWORD GetVeskPortSettings(PBYTE, DWORD, PBYTE settingsOut, DWORD settingsSize, PDWORD needed) {
    if (!settingsOut || settingsSize < kVeskPortSettingsSize) return ERROR_INSUFFICIENT_BUFFER;
    auto* settings = reinterpret_cast<VeskPortSettings*>(settingsOut);

    TCHAR stored[kStoredSettingsChars] = {};
    GetProfileString(VESK_PORTS_SECTION, VESK_SETTINGS_KEY, VESK_DEFAULT_SETTINGS, stored,
                     kStoredSettingsChars);
    // The key of port VESK doubles as the settings' store: a VESK port added again after its
    // deletion writes the key with an empty value. That holds no settings, as a missing key
    // holds none, so both read as the defaults.
    if (IsBlank(stored)) vesk::CopyBounded(stored, kStoredSettingsChars, VESK_DEFAULT_SETTINGS);
    TCHAR comName[6];
    LPCTSTR lineSettings = nullptr;
    if (DWORD err = SplitStoredSettings(stored, comName, &lineSettings)) return err;

    // Learn the size of the port's default configuration, then fetch it.
    COMMCONFIG probe{};
    probe.dwSize = sizeof(probe);
    probe.dwProviderSubType = PST_RS232;
    DWORD size = sizeof(probe);
    GetDefaultCommConfig(comName, &probe, &size);
    if (size < sizeof(COMMCONFIG) || size > kMaxCommConfigSize) size = sizeof(COMMCONFIG);

    auto* config = static_cast<LPCOMMCONFIG>(LocalAlloc(LPTR, size));
    if (!config) return GetLastError();
    config->dwSize = size;
    config->dwProviderSubType = PST_RS232;
    DWORD asked = size;
    BOOL ok = GetDefaultCommConfig(comName, config, &asked);
    DWORD err = ok ? 0 : GetLastError();
    if (!ok && err == ERROR_BADKEY && IsTwoDigitComName(comName)) {
        // A serial provider may build default configurations only for COM1..COM9 (Wine's
        // answers ERROR_BADKEY from COM10 on) while the port itself is there. Such a port
        // starts from a plain RS-232 configuration; the stored text below sets its line, and
        // the device's open decides whether the port exists.
        ZeroMemory(config, size);
        config->dwSize = size;
        config->wVersion = 1;
        config->dwProviderSubType = PST_RS232;
        ok = TRUE;
    }

    vesk::CopyBounded(settings->ComName, 6, comName);
    if (needed) *needed = size;
    settings->pConfig = config;
    if (!ok) return err ? err : ERROR_INVALID_PARAMETER;

    config->dcb.DCBlength = sizeof(DCB);
    BuildCommDCB(lineSettings, &config->dcb);
    return 0;
}

void BuildCommDCBString(const DCB* dcb, LPTSTR out, DWORD outChars) {
    DWORD rate = ListedBaudRate(dcb->BaudRate);
    // A parity value without a letter of its own is written as none.
    static constexpr TCHAR kParity[] = _T("noems");
    TCHAR parity = dcb->Parity < 5 ? kParity[dcb->Parity] : _T('n');
    LPCTSTR stop = dcb->StopBits == ONE5STOPBITS ? _T("1.5")
                   : dcb->StopBits == TWOSTOPBITS ? _T("2")
                                                   : _T("1");
    TCHAR text[kSettingsTextChars];
    wsprintf(text, _T("%lu,%c,%d,%s"), rate, parity, static_cast<int>(dcb->ByteSize), stop);
    vesk::CopyBounded(out, outChars, text);
}

BOOL IsDCB(const DCB* dcb, LPCTSTR reply) {
    if (!dcb || !reply) return FALSE;
    while (*reply == _T(' ')) ++reply;
    DWORD length = vesk::Length(reply);
    if (length <= 1) return FALSE;  // nothing but the end character
    --length;                       // the printer's end character

    TCHAR expected[kSettingsTextChars];
    BuildCommDCBString(dcb, expected);
    if (length > vesk::Length(expected)) return FALSE;
    return vesk::EqualPrefixNoCase(reply, expected, length);
}
