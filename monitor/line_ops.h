// Everything the printer link and the job path do to a COM device goes through this table.
// The real table calls the serial layer on the handle; tests put in a scripted line to
// produce what a pseudo-terminal cannot (DSR, exact timing, writes that move nothing).
#pragma once

#include <windows.h>

#include "../serial/settings.h"
#include "port_list.h"

// Longest wait for a device control request to complete.
inline constexpr DWORD kDeviceControlLimitMs = 5000;

struct LineOperations {
    // `event`: the caller's completion event for the write, or null (see WriteBuffer).
    BOOL (*write)(HANDLE h, const void* data, DWORD count, DWORD* written, HANDLE event);
    BOOL (*read)(HANDLE h, void* buffer, DWORD count, DWORD* read);
    BOOL (*readOrStop)(HANDLE h, void* buffer, DWORD count, DWORD* read, HANDLE stop);
    BOOL (*modemStatus)(HANDLE h, DWORD* status);
    BOOL (*purge)(HANDLE h, DWORD flags);
    // Waits at most timeoutMs for DSR to change; TRUE when it did.
    BOOL (*waitForDsr)(HANDLE h, DWORD timeoutMs);
    BOOL (*flush)(HANDLE h);
    // A device control request (a driver's own), cancelled when it outlasts
    // kDeviceControlLimitMs.
    BOOL (*control)(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                    DWORD* returned);
    BOOL (*close)(HANDLE h);
    // The two opens of the COM port (see serial_open.h).
    BOOL (*openForJob)(PortEntry* entry, DWORD* blockSize);
    HANDLE (*openForSettings)(const VeskPortSettings* settings, DWORD* blockSize);
};

const LineOperations& Line();
// Puts `line` in place of the real table (null restores it). For tests.
void ReplaceLine(const LineOperations* line);

// True when DSR is on; a device without modem lines counts as DSR off.
bool DsrOn(HANDLE h);
