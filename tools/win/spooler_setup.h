// Puts the monitor and a receipt printer on port VESK into a spooler, for the demo, the
// benchmark and the tests (the setup program does this for real installations).
#pragma once

#include <windows.h>

#include <string>

namespace vesk {

inline constexpr wchar_t kMonitorName[] = L"Vesk Port Monitor";
inline constexpr wchar_t kTestDriverName[] = L"Vesk Receipt (test driver)";

// Copies veskmon.dll from `binDir` into the system directory and registers it. TRUE when
// the monitor is registered (also when it already was). `error` receives the failure.
bool RegisterMonitor(const std::wstring& binDir, DWORD& error);

// Creates the printer `name` on port `port` (RAW, winprint) with a driver of its own,
// unless a printer of that name exists. TRUE when the printer is there.
bool EnsurePrinter(const wchar_t* name, const wchar_t* port, DWORD& error);

// Deletes the printer `name` if it exists.
void RemovePrinter(const wchar_t* name);

}  // namespace vesk
