// The print processor's entry points, as the spooler calls them. Failures are reported
// through SetLastError and FALSE (or null), never by anything thrown: the library is built
// without exceptions.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include "processor_record.h"

namespace {

constexpr WCHAR kRawDatatype[] = L"RAW";

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
    return TRUE;
}

// The data types this processor takes: "RAW" alone, as level 1. The string goes at the end
// of the caller's buffer and the structure at its start, as the spooler lays out its
// enumerations. The library serves one print processor, so the name it is asked about is
// not checked: the spooler calls it under the name it was registered with.
BOOL WINAPI EnumPrintProcessorDatatypesW(LPWSTR, LPWSTR, DWORD Level, LPBYTE pDatatypes,
                                         DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (!pcbNeeded || !pcReturned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pcReturned = 0;
    if (Level != 1) {
        *pcbNeeded = 0;
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const DWORD stringBytes = sizeof kRawDatatype;
    DWORD needed = sizeof(DATATYPES_INFO_1W) + stringBytes;
    // The string is put on a WCHAR boundary; a buffer that ends on an odd address needs one
    // byte more.
    if (pDatatypes && cbBuf >= needed &&
        reinterpret_cast<UINT_PTR>(pDatatypes + cbBuf) % sizeof(WCHAR) != 0)
        ++needed;
    *pcbNeeded = needed;
    if (!pDatatypes || cbBuf < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    UINT_PTR end = reinterpret_cast<UINT_PTR>(pDatatypes + cbBuf);
    auto* text = reinterpret_cast<LPWSTR>((end - stringBytes) & ~static_cast<UINT_PTR>(sizeof(WCHAR) - 1));
    CopyMemory(text, kRawDatatype, stringBytes);
    DATATYPES_INFO_1W info{text};
    CopyMemory(pDatatypes, &info, sizeof info);
    *pcReturned = 1;
    return TRUE;
}

// A job of port `pPrinterName` (the spooler passes the port's name here). Only RAW jobs
// are taken.
HANDLE WINAPI OpenPrintProcessor(LPWSTR pPrinterName, PPRINTPROCESSOROPENDATA pPrintProcessorOpenData) {
    return CreateRecord(pPrinterName, pPrintProcessorOpenData);
}

// Copies the job `pDocumentName` ("<printer>, Job N") to the port. TRUE also when the job
// was cancelled or the handle closed during the copy: the document then ends early.
BOOL WINAPI PrintDocumentOnPrintProcessor(HANDLE hPrintProcessor, LPWSTR pDocumentName) {
    ProcessorRecord* record = RecordFromHandle(hPrintProcessor);
    if (!record) return FALSE;
    if (!pDocumentName || !*pDocumentName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!BeginCopy(record)) return FALSE;
    BOOL ok = CopyRawJob(record, pDocumentName);
    DWORD error = GetLastError();
    EndCopy(record);
    SetLastError(error);
    return ok;
}

BOOL WINAPI ControlPrintProcessor(HANDLE hPrintProcessor, DWORD Command) {
    ProcessorRecord* record = RecordFromHandle(hPrintProcessor);
    return record ? ControlRecord(record, Command) : FALSE;
}

BOOL WINAPI ClosePrintProcessor(HANDLE hPrintProcessor) {
    ProcessorRecord* record = RecordFromHandle(hPrintProcessor);
    if (!record) return FALSE;
    CloseRecord(record);
    return TRUE;
}

// What the processor can do with a data type, as PRINTPROCESSOR_CAPS_1: for RAW one page
// per sheet, pages in the order they come, one copy (the job's bytes pass as they are).
// ERROR_MORE_DATA with the size in *pcbNeeded when the buffer is too small.
DWORD WINAPI GetPrintProcessorCapabilities(LPWSTR pValueName, DWORD, LPBYTE pData, DWORD nSize,
                                           LPDWORD pcbNeeded) {
    if (!pValueName || !pcbNeeded) return ERROR_INVALID_PARAMETER;
    if (!IsRawDatatype(pValueName)) return ERROR_INVALID_DATATYPE;
    *pcbNeeded = sizeof(PRINTPROCESSOR_CAPS_1);
    if (!pData || nSize < sizeof(PRINTPROCESSOR_CAPS_1)) return ERROR_MORE_DATA;
    PRINTPROCESSOR_CAPS_1 caps{};
    caps.dwLevel = 1;
    caps.dwNupOptions = 1;  // bit n-1 stands for n pages a sheet: 1 only
    caps.dwPageOrderFlags = NORMAL_PRINT;
    caps.dwNumberOfCopies = 1;
    CopyMemory(pData, &caps, sizeof caps);
    return ERROR_SUCCESS;
}

}  // extern "C"
