// Enumeration of the monitor's ports for the spooler (PORT_INFO_1 and PORT_INFO_2).
#pragma once

#include <windows.h>
#include <winspool.h>

#include "port_list.h"

// Ends an offset list of PackStrings.
inline constexpr DWORD kOffsetListEnd = 0xFFFFFFFF;

// Bytes one port needs in an enumeration buffer at `level` (0 for other levels).
DWORD GetPortSize(const PortEntry* entry, DWORD level);

// For each offset (of a string pointer field in `structure`, list ended by kOffsetListEnd)
// takes the next source: copies it just below `stringEnd` and stores its address in the
// field, or stores null for a null source. Returns the final end.
LPBYTE PackStrings(LPCWSTR const* sources, LPBYTE structure, const DWORD* offsets,
                   LPBYTE stringEnd);

// Fills one PORT_INFO_1 or PORT_INFO_2 at `structure`, packing its strings down from
// `stringEnd`. Returns the new end, or null for another level.
LPBYTE CopyIniPortToPort(const PortEntry* entry, DWORD level, LPBYTE structure, LPBYTE stringEnd);

BOOL WINAPI VeskEnumPorts(LPWSTR serverName, DWORD level, LPBYTE buffer, DWORD bufferSize,
                          LPDWORD bytesNeeded, LPDWORD countReturned);
