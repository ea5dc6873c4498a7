// The services the monitor takes from the print spooler, looked up once at run time and held
// in one table. Tests replace the table to see what the monitor asks of the spooler.
#pragma once

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

struct SpoolerServices {
    BOOL(WINAPI* OpenPrinterW)(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults);
    BOOL(WINAPI* ClosePrinter)(HANDLE printer);
    BOOL(WINAPI* GetJobW)(HANDLE printer, DWORD jobId, DWORD level, LPBYTE job, DWORD size,
                          LPDWORD needed);
    BOOL(WINAPI* SetJobW)(HANDLE printer, DWORD jobId, DWORD level, LPBYTE job, DWORD command);
    BOOL(WINAPI* GetPrinterW)(HANDLE printer, DWORD level, LPBYTE info, DWORD size,
                              LPDWORD needed);
    BOOL(WINAPI* EnumPortsW)(LPWSTR server, DWORD level, LPBYTE ports, DWORD size,
                             LPDWORD needed, LPDWORD returned);
    // Only inside the spooler's own process; null elsewhere.
    HANDLE(WINAPI* RevertToPrinterSelf)();
    BOOL(WINAPI* ImpersonatePrinterClient)(HANDLE token);
    DWORD(WINAPI* SplIsSessionZero)(HANDLE printer, DWORD jobId, BOOL* isSessionZero);
    BOOL(WINAPI* SplPromptUIInUsersSession)(HANDLE printer, DWORD jobId, PSHOWUIPARAMS params,
                                            DWORD* response);
};

// The table in use: on first use taken from SPOOLSS.DLL, or under Wine (whose spoolss.dll
// carries stubs that end the process) from winspool.drv. Any entry may be null.
const SpoolerServices& Spooler();

// The table as it is looked up, with `load` loading each library by its full path.
SpoolerServices LookUpSpoolerServices(HMODULE(WINAPI* load)(LPCWSTR path));

// Every service `lib` exports, by its name.
SpoolerServices SpoolerServicesFrom(HMODULE lib);

// Puts `services` in place of the looked-up table (null restores it). For tests.
void ReplaceSpoolerServices(const SpoolerServices* services);

// True when the library runs on Wine.
bool RunningOnWine();
