// The spooler's path for one print job on a VESK port: start of document, writes, end of
// document, and the smaller entry points that touch an open port.
#pragma once

#include <windows.h>

#include "port_list.h"

inline constexpr DWORD kWriteChunkBytes = 64;
// Writes in a row that move nothing before a write gives up (each is bounded by the line's
// write time-out).
inline constexpr int kIdleChunkLimit = 3;
// How long a write waits for the printer's XON unless the profile says otherwise
// ([windows] TransmissionRetryTimeout, seconds).
inline constexpr DWORD kDefaultTransmissionRetrySeconds = 90;

BOOL WINAPI VeskStartDocPort(HANDLE port, LPWSTR printerName, DWORD jobId, DWORD level,
                             LPBYTE docInfo);
BOOL WINAPI VeskWritePort(HANDLE port, LPBYTE data, DWORD count, LPDWORD written);
BOOL WINAPI VeskReadPort(HANDLE port, LPBYTE buffer, DWORD count, LPDWORD read);
BOOL WINAPI VeskEndDocPort(HANDLE port);
BOOL WINAPI VeskClosePort(HANDLE port);
BOOL WINAPI VeskGetPrinterDataFromPort(HANDLE port, DWORD controlId, LPWSTR valueName,
                                       LPWSTR inBuffer, DWORD inSize, LPWSTR outBuffer,
                                       DWORD outSize, LPDWORD returned);
BOOL WINAPI VeskSetPortTimeOuts(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved);

// Ends whatever job the port still has: stops its busy thread, closes its device, lets go
// of its printer. A device that a start is still using is left to that start, which closes
// it when it sees the job ended. For the monitor's shutdown.
void EndPortJob(PortEntry* entry);

// Sets the status word of a job, keeping the rest of its level-1 information.
void SetJobStatus(HANDLE printer, DWORD jobId, DWORD status);
