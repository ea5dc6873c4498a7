// Which Windows the installation runs on, and the spooler environment its calls name.
#pragma once

#include <windows.h>

#include <string>

// The families the installer tells apart. The numbers are also the levels of the driver
// records given to the spooler on Win98 (3) and on Windows 2000 and later (6).
enum WindowsFamilyKind : int {
    kOtherFamily = 0,
    kWin98Family = 3,
    kNT4Family = 4,
    kWin2000Family = 6,
};

// The platform's version record: the extended one where the platform gives it, else the basic
// one. False when neither can be had.
bool QueryWindowsVersion(OSVERSIONINFOA& version);

// The family of the running system (kOtherFamily when the version cannot be read).
int WindowsFamily();

// The environment the spooler keeps this system's drivers, monitors and print processors
// under: "Windows 4.0" on Windows 95/98/Me; on NT the environment of this program's own
// architecture ("Windows x64" for the 64-bit build, whose spooler loads only 64-bit drivers
// and monitors; "Windows NT x86" for the 32-bit build); "" on any other platform.
std::string SpoolerEnvironment();
