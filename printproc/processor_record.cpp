#include "processor_record.h"

namespace {

constexpr DWORD kRecordSignature = 0x52505356;  // "VSPR"
// A pause lasts until the job is resumed, cancelled or closed, however long that is; its
// wait is taken in slices, each ending with a look at the flags under the lock.
constexpr DWORD kPauseSliceMs = 500;

LPWSTR CopyOf(LPCWSTR s, bool& failed) {
    if (!s) return nullptr;
    SIZE_T bytes = (static_cast<SIZE_T>(lstrlenW(s)) + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (copy)
        CopyMemory(copy, s, bytes);
    else
        failed = true;
    return copy;
}

void FreeString(LPWSTR s) {
    if (s) HeapFree(GetProcessHeap(), 0, s);
}

void DestroyRecord(ProcessorRecord* r) {
    r->signature = 0;
    FreeString(r->portName);
    FreeString(r->printerName);
    FreeString(r->documentName);
    FreeString(r->outputFile);
    FreeString(r->datatype);
    if (r->hGoOn) CloseHandle(r->hGoOn);
    DeleteCriticalSection(&r->lock);
    FreeSpoolerCalls(r->spooler);
    HeapFree(GetProcessHeap(), 0, r);
}

void ReleaseRecord(ProcessorRecord* r) {
    if (InterlockedDecrement(&r->references) == 0) DestroyRecord(r);
}

}  // namespace

bool IsRawDatatype(LPCWSTR datatype) {
    return datatype && CompareStringOrdinal(datatype, -1, L"RAW", -1, TRUE) == CSTR_EQUAL;
}

ProcessorRecord* CreateRecord(LPCWSTR portName, const PRINTPROCESSOROPENDATA* openData) {
    if (!portName || !*portName || !openData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsRawDatatype(openData->pDatatype)) {
        SetLastError(ERROR_INVALID_DATATYPE);
        return nullptr;
    }
    auto* r = static_cast<ProcessorRecord*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ProcessorRecord)));
    if (!r) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    InitializeCriticalSection(&r->lock);
    r->references = 1;
    r->jobId = openData->JobId;
    bool failed = false;
    r->portName = CopyOf(portName, failed);
    r->printerName = CopyOf(openData->pPrinterName, failed);
    r->documentName = CopyOf(openData->pDocumentName, failed);
    r->outputFile = CopyOf(openData->pOutputFile, failed);
    r->datatype = CopyOf(openData->pDatatype, failed);
    r->hGoOn = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (!r->hGoOn) {
        failed = true;
        error = GetLastError();
    } else if (!failed && !LoadSpoolerCalls(r->spooler)) {
        failed = true;
        error = GetLastError();
    }
    if (failed) {
        DestroyRecord(r);
        SetLastError(error);
        return nullptr;
    }
    r->signature = kRecordSignature;
    return r;
}

ProcessorRecord* RecordFromHandle(HANDLE handle) {
    auto* r = static_cast<ProcessorRecord*>(handle);
    if (!r || r->signature != kRecordSignature) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    EnterCriticalSection(&r->lock);
    bool closed = r->closed;
    LeaveCriticalSection(&r->lock);
    if (closed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return r;
}

void CloseRecord(ProcessorRecord* r) {
    EnterCriticalSection(&r->lock);
    r->closed = true;
    r->cancelled = true;
    SetEvent(r->hGoOn);
    LeaveCriticalSection(&r->lock);
    ReleaseRecord(r);
}

BOOL ControlRecord(ProcessorRecord* r, DWORD command) {
    EnterCriticalSection(&r->lock);
    BOOL ok = TRUE;
    switch (command) {
    case JOB_CONTROL_PAUSE:
        r->paused = true;
        ResetEvent(r->hGoOn);
        break;
    case JOB_CONTROL_RESUME:
        r->paused = false;
        SetEvent(r->hGoOn);
        break;
    case JOB_CONTROL_CANCEL:
        r->cancelled = true;
        SetEvent(r->hGoOn);
        break;
    default:
        ok = FALSE;
        break;
    }
    LeaveCriticalSection(&r->lock);
    if (!ok) SetLastError(ERROR_INVALID_PARAMETER);
    return ok;
}

bool BeginCopy(ProcessorRecord* r) {
    EnterCriticalSection(&r->lock);
    bool busy = r->copying;
    if (!busy) {
        r->copying = true;
        InterlockedIncrement(&r->references);
    }
    LeaveCriticalSection(&r->lock);
    if (busy) SetLastError(ERROR_BUSY);
    return !busy;
}

void EndCopy(ProcessorRecord* r) {
    EnterCriticalSection(&r->lock);
    r->copying = false;
    LeaveCriticalSection(&r->lock);
    ReleaseRecord(r);
}

bool MayGoOn(ProcessorRecord* r) {
    for (;;) {
        EnterCriticalSection(&r->lock);
        bool cancelled = r->cancelled, paused = r->paused;
        LeaveCriticalSection(&r->lock);
        if (cancelled) return false;
        if (!paused) return true;
        WaitForSingleObject(r->hGoOn, kPauseSliceMs);
    }
}
