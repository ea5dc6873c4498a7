// The transceive (Xcv) route: how the spooler's XcvDataW requests from the port monitor's
// user interface reach the monitor's commands. Connections come from XcvOpenPort and keep
// the access the spooler granted; each command is found by name in one table.
//
// This is the monitor's security boundary: the requests come from any user of the spooler.
// Every command that changes state needs SERVER_ACCESS_ADMINISTER; every size is checked
// before a byte is read or written; the device that "SetVeskPrintSettings" opens is handed
// out as a token that only the same connection can give back, and a connection's devices
// are closed with it.
#pragma once

#include <windows.h>
#include <winsplp.h>

// Devices one connection may hold at a time.
inline constexpr int kXcvTokensPerConnection = 4;

BOOL WINAPI XcvOpenPort(HANDLE monitor, LPCWSTR object, ACCESS_MASK grantedAccess, PHANDLE xcv);
DWORD WINAPI XcvDataPort(HANDLE xcv, LPCWSTR command, PBYTE in, DWORD inSize, PBYTE out,
                         DWORD outSize, PDWORD needed);
BOOL WINAPI XcvClosePort(HANDLE xcv);

// Closes the connections a host left open, with their devices, when it unloads the library.
void FreeXcvConnections();
