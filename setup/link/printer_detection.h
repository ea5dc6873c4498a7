// Setup talks to the receipt printer on the chosen COM port: opens and configures the line,
// wakes the printer, asks for its line settings, tests for the charger, and stores the chosen
// settings for the port monitor (switching the printer to them when it is open at others).
#pragma once

#include <windows.h>

#include <string>

// The port record the probe and the store work on. hComm is a handle kept in 32 bits, as
// Windows handle values are (see PortHandle).
struct PrinterPortRecord {
    char ComName[8];  // COM1 .. COM99, a trailing colon allowed
    DWORD hComm;      // the device a repeat probe left open for the store, or none
    COMMCONFIG Config;
};
static_assert(sizeof(COMMCONFIG) == 52, "the port record carries the 52-byte configuration");

// The record's device as a handle, and a handle as the record keeps it.
inline HANDLE PortHandle(const PrinterPortRecord& record) {
    return LongToHandle(static_cast<LONG>(record.hComm));
}
inline void SetPortHandle(PrinterPortRecord& record, HANDLE handle) {
    record.hComm = static_cast<DWORD>(HandleToLong(handle));
}

inline constexpr BYTE kPrinterXon = 0x11;
inline constexpr BYTE kPrinterXoff = 0x13;
inline constexpr BYTE kPrinterCan = 0x18;

// The wake-up: a burst of zero bytes at most this often while the printer has not answered.
inline constexpr DWORD kWakeBurstIntervalMs = 225;
// However the line behaves, the wake-up stops sending bursts after this long.
inline constexpr DWORD kWakeLimitMs = 15000;
// The charger test asks for the printer's status at most this many times before the probe
// counts the printer as not answering.
inline constexpr int kChargerTestAttempts = 3;
// After the switch command the printer restarts and sends XOFF; the store waits this long.
inline constexpr DWORD kStoreXoffLimitMs = 10000;
// Longest reply the settings query and the status command read.
inline constexpr DWORD kPrinterReplyBytes = 30;
// Characters of the stored settings string.
inline constexpr DWORD kStoredSettingsLength = 100;

// Opens the record's COM port for the printer and configures the line from its Config;
// `blockSize` (may be null) receives the wake-up block size. INVALID_HANDLE_VALUE on failure,
// with the last error set (the line's state not readable: the system's text for ERROR_BUSY
// is shown).
HANDLE OpenPrinterPort(const PrinterPortRecord& record, DWORD* blockSize);
// Wakes the printer: the wake-up status request, and zero blocks until it answers XON, then
// CAN. FALSE when the request could not be sent or the printer answered something else.
BOOL WakePrinter(HANDLE handle, DWORD blockSize);
// Sends the settings query and compares the reply with `dcb`: TRUE on a match.
BOOL QueryPrinterSettings(HANDLE handle, const DCB& dcb);
// 0 when the printer answers with the record's settings (the device stays open in
// `handleOut`), 1 when it does not (the device closed, `handleOut` INVALID_HANDLE_VALUE),
// or the open's error (`handleOut` unchanged). Without `skipStatus` the charger is tested.
DWORD ProbePrinter(const PrinterPortRecord& record, HANDLE* handleOut, bool skipStatus);
// Stores the record's settings as the monitor's ("Vesk Ports", "VESK"), first switching the
// printer open on hComm to them. 0 on success (`text` receives the stored string), 1 on
// failure. The device is closed in every case.
DWORD StorePortSettings(PrinterPortRecord& record, std::string& text);
