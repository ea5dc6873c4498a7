// The spooler services a copy uses to read its job and write the port, looked up at run time
// from the spooler's own library: SPOOLSS.DLL, where the processor runs inside the spooler,
// or, under Wine, winspool.drv (Wine's spoolss.dll exports these names as stubs that end the
// process, and its spooler runs inside the printing program).
#pragma once

#include <windows.h>
#include <winspool.h>

struct SpoolerCalls {
    HMODULE library;
    BOOL(WINAPI* OpenPrinterW)(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults);
    BOOL(WINAPI* ClosePrinter)(HANDLE printer);
    BOOL(WINAPI* ReadPrinter)(HANDLE printer, LPVOID buffer, DWORD size, LPDWORD read);
    DWORD(WINAPI* StartDocPrinterW)(HANDLE printer, DWORD level, LPBYTE docInfo);
    BOOL(WINAPI* WritePrinter)(HANDLE printer, LPVOID data, DWORD size, LPDWORD written);
    BOOL(WINAPI* EndDocPrinter)(HANDLE printer);
};

// Fills `calls` (the library stays loaded until FreeSpoolerCalls). False, with the error set,
// when the library or one of the services is missing; nothing is held then.
bool LoadSpoolerCalls(SpoolerCalls& calls);
void FreeSpoolerCalls(SpoolerCalls& calls);
