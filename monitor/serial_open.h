// The monitor's two ways of opening the COM port behind the VESK ports.
#pragma once

#include <windows.h>

#include "../serial/serial.h"
#include "../serial/settings.h"
#include "port_list.h"

// Opens and configures the device for a job, by its plain name, into entry->hFile, and
// sets PORT_FLAG_OPEN. `blockSize` (may be null) receives the wake-up block size once the
// line is configured. Without readable settings it fails with their error and opens nothing.
BOOL ValidateDosDevicePort(PortEntry* entry, DWORD* blockSize);

// Tells the user that the job's device could not be opened: the system's text for `error`,
// captioned "ValidateDosDevicePort". Leaves `error` as the last error.
void ReportDeviceOpenFailure(DWORD error);

// Opens the device named in `settings` for the settings commands, through NONSPOOLED_<COM>,
// configured with settings->pConfig. The caller owns the handle. INVALID_HANDLE_VALUE on
// failure with the last error set.
HANDLE OpenVeskPort(const VeskPortSettings* settings, DWORD* blockSize);

// Removes the most recent definition of NONSPOOLED_<ComName>.
BOOL RemoveVeskDosDeviceDefinition(const VeskPortSettings* settings);
