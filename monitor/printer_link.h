// The conversation with the printer on its serial line, apart from the print data: the
// wake-up, the settings query and its comparison, the settings change with its power-cycle
// question, and the synchronisation with the user when the settings differ.
#pragma once

#include <windows.h>

#include "../serial/settings.h"

inline constexpr BYTE kXon = 0x11;
inline constexpr BYTE kXoff = 0x13;
inline constexpr BYTE kCan = 0x18;

// Exit code of the wake-up reader (and last error of the wake-up) when the printer neither
// sent XON nor raised DSR.
inline constexpr DWORD kNoAnswer = 15080;

// Reads per wake-up before the printer counts as not answering.
inline constexpr int kWakeupReadRounds = 10;
// Attempts of a settings change before it gives up.
inline constexpr int kSettingsChangeAttempts = 12;
// After the switch command the printer gets this long before the line is reopened.
inline constexpr DWORD kSwitchSettleMs = 1000;
// Longest wait for the printer to raise DSR after a switch (a printer without the line
// never does; the query that follows tells whether it listens).
inline constexpr DWORD kDsrWaitLimitMs = 2000;

// Wakes the printer: zero blocks of blockSize bytes until it answers XON or DSR is on, then
// CAN. FALSE with kNoAnswer when it never answered, or the write's error. When its reader
// could not be stopped, `deviceTaken` (may be null: the reader is then left to a device its
// caller may close) is set: the reader closes the device when it ends and the caller must
// neither use nor close it.
BOOL Wakeup(HANDLE handle, DWORD blockSize, bool* deviceTaken = nullptr);

// Longest reply the settings query reads.
inline constexpr DWORD kSettingsReplyBytes = 30;

// Clears the receiver, sends the settings query and reads the reply; returns its length
// (0 when the query could not be sent or nothing came).
DWORD QuerySettingsReply(HANDLE handle, BYTE (&reply)[kSettingsReplyBytes]);

// Sends the settings query and compares the reply with `dcb`. TRUE on a match.
BOOL SetPrinterSettings(HANDLE handle, DCB dcb);

// Opens the COM port with the record's settings, wakes the printer and checks its settings.
// 0 on a match (handleOut receives the open device), 1 when the settings differ or nothing
// came back, otherwise the open's error. `needed` receives 4. handleOut holds the handle as
// a 32-bit value (HandleToLong).
DWORD SetVeskPrintSettings(PBYTE settings, DWORD inSize, PBYTE handleOut, DWORD outSize,
                           PDWORD needed);

// Tells the printer open on settings->hComm the new settings of settings->pConfig, asks for
// a power cycle when the printer wants one, reopens the line at the new settings and checks
// them; on success stores them as the monitor's settings. 0 on success, 1 on failure.
// settings->hComm is closed in every case.
DWORD SetVeskPortSettings(PBYTE settings, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed);

// Leads the user through choosing the printer's present settings and brings the printer and
// the stored settings into line. TRUE when it succeeded.
BOOL SyncronizePrinter();
