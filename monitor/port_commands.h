// The monitor's administration commands in transceive-handler form: each takes an input
// buffer and size, an output buffer and size and an out-parameter for the size needed, and
// returns a Win32 error code (0 for success). The monitor's own dialogs call them directly;
// the transceive route (xcv_route.h) reaches them by command name.
#pragma once

#include <windows.h>

using CommandHandler = DWORD (*)(PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed);

// Adds the port named by `in` (wide, terminated): 0, 183 when any port of the spooler has
// that name, otherwise the error.
DWORD DoAddPort(PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed);
// Deletes the monitor's port named by `in`: 0, or 2 when the monitor has no such port.
DWORD DoDeletePort(PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed);
// 0 when the name in `in` is a valid port name, else the error of the test.
DWORD DoPortIsValid(PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed);

// Every VESK name is valid; any other name is valid when it opens as an existing file or
// device, or can be created as a new file (which disappears at once).
BOOL PortIsValid(LPCWSTR name);

// Asks the spooler whether any of its ports has the name `portName`. `error` is 0 unless
// the question itself could not be asked.
BOOL PortExists(LPWSTR serverName, LPCWSTR portName, DWORD* error);

// Adds a port entry and its key in "Vesk Ports" (the list must not hold the name). 0 or the
// error; nothing is left behind on failure.
DWORD AddPortToList(LPCWSTR name);
