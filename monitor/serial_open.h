// The monitor's two ways of opening the COM port behind the VESK ports.
#pragma once

#include <windows.h>

#include "../serial/serial.h"
#include "../serial/settings.h"
#include "port_list.h"

// Opens and configures the device for a job into entry->hFile, and sets PORT_FLAG_OPEN. The
// device is opened by its name in the device namespace (\\.\COM12): the plain name reaches
// only COM1..COM9. `blockSize` (may be null) receives the wake-up block size once the line is
// configured. Without readable settings it fails with their error and opens nothing; so it
// does with ERROR_BUSY while another port's job holds the device, and with
// ERROR_INVALID_HANDLE on an entry that Shutdown left to the spooler. The entry gets the
// device (under SpoolerSection) only once it is configured and while the claim still stands:
// when a close or Shutdown took the claim back meanwhile, it closes the device itself and
// fails with ERROR_OPERATION_ABORTED (ERROR_INVALID_HANDLE after Shutdown). On any failure
// the entry has no device.
BOOL ValidateDosDevicePort(PortEntry* entry, DWORD* blockSize);

// The CreateFileW behind the job's open, so that a test can see the name the job opens
// (null puts the platform's back).
using DeviceCreateFunction = HANDLE(WINAPI*)(LPCWSTR name, DWORD access, DWORD share,
                                             LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                             DWORD flags, HANDLE templateFile);
void ReplaceJobDeviceCreate(DeviceCreateFunction create);

// Tells the user that the job's device could not be opened: the system's text for `error`,
// captioned "ValidateDosDevicePort". Leaves `error` as the last error.
void ReportDeviceOpenFailure(DWORD error);

// Opens the device named in `settings` for the settings commands, through NONSPOOLED_<COM>,
// configured with settings->pConfig. The caller owns the handle. INVALID_HANDLE_VALUE on
// failure with the last error set.
HANDLE OpenVeskPort(const VeskPortSettings* settings, DWORD* blockSize);

// Removes the most recent definition of NONSPOOLED_<ComName>.
BOOL RemoveVeskDosDeviceDefinition(const VeskPortSettings* settings);
