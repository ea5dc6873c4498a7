// The stored serial settings shared by all VESK ports, the settings text of a DCB, the
// profile's per-device "ports" entries and the list of COM ports.
#pragma once

#include <windows.h>
#include <tchar.h>

// The monitor's port settings record. Its transceive form carries the COMMCONFIG inline.
struct VeskPortSettings {
    TCHAR ComName[6];  // COM device name without colon, terminated: COM1 .. COM99
    HANDLE hComm;      // open serial device, INVALID_HANDLE_VALUE when none
    HWND hwndOwner;    // owner of the questions a settings change asks, or null
    LPCOMMCONFIG pConfig;  // from GetVeskPortSettings (LocalAlloc); the asker frees it
};

// Smallest record GetVeskPortSettings fills (24 bytes in the 32-bit wide build).
inline constexpr DWORD kVeskPortSettingsSize = sizeof(VeskPortSettings);

#define VESK_PORTS_SECTION _T("Vesk Ports")
#define VESK_SETTINGS_KEY _T("VESK")
#define VESK_DEFAULT_SETTINGS _T("COM1:,9600,N,8,1")

// The stored string is read with this limit (characters, terminator included).
inline constexpr DWORD kStoredSettingsChars = 100;
// A settings text such as 256000,n,8,1.5 fits with room to spare.
inline constexpr DWORD kSettingsTextChars = 32;
// Largest communications configuration accepted from the platform.
inline constexpr DWORD kMaxCommConfigSize = 0x10000;

// Splits a stored settings string "COM1:,9600,N,8,1" into the bare COM name and the line
// settings after the first comma. Returns 0, ERROR_NO_DATA without a comma, or
// ERROR_INVALID_NAME when the COM name does not fit ComName (COM100: and longer).
DWORD SplitStoredSettings(LPCTSTR stored, TCHAR (&comName)[6], LPCTSTR* lineSettings);

// Fills `settings` (settingsSize bytes) from the stored string (a missing key, or one whose
// value is empty or blank, reads as VESK_DEFAULT_SETTINGS): ComName, and pConfig with the
// COM port's default configuration changed by the stored line settings (for COM10..COM99
// that the platform has no default configuration for, a plain RS-232 one). `needed` receives
// the configuration's size. 0, 122 for a short record, 232 without a comma, 123 for a COM
// name that does not fit, or the platform's error (pConfig and needed are then still set).
DWORD GetVeskPortSettings(PBYTE in, DWORD inSize, PBYTE settings, DWORD settingsSize,
                          PDWORD needed);

// Writes the settings text of `dcb` (for example 9600,n,8,1) into `out`.
void BuildCommDCBString(const DCB* dcb, LPTSTR out, DWORD outChars);
template <DWORD N>
void BuildCommDCBString(const DCB* dcb, TCHAR (&out)[N]) {
    BuildCommDCBString(dcb, out, N);
}

// TRUE when `reply` (the printer's answer to the settings query: its text and one end
// character, leading blanks allowed) agrees with the settings text of `dcb`. A reply that
// starts the expected text is enough; one that runs past it is not.
BOOL IsDCB(const DCB* dcb, LPCTSTR reply);

// Applies the "ports" entry of deviceName (no colon added) to `dcb`, if there is one.
BOOL GetIniCommValues(LPCTSTR deviceName, DCB* dcb);

// The key names of section "ports" that begin with COM, each terminated, laid end to end.
// Returns the count of characters (terminators included); copies into `out` only entries
// that fit in outChars, so with a null or short `out` it only counts.
DWORD GetComPorts(LPTSTR out, DWORD outChars);

// Transceive form of GetComPorts: `needed` receives the count in characters. An input whose
// first byte is 1 asks only the size. Returns 0, or ERROR_INSUFFICIENT_BUFFER when the list
// is wanted and outSize bytes cannot hold it.
DWORD GetVeskPortComPorts(PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed);
