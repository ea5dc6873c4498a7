// The RAW copy: the job is read from the spooler piece by piece and each piece written to
// the port as it is. The job comes from "<printer>, Job N", the port is opened as
// "<port>, Port": writing to the printer itself would spool the output as a new job, which
// this processor would then copy again, without end.
#include "processor_record.h"

namespace {

// What one read of the job asks for and one write to the port passes on.
constexpr DWORD kPieceBytes = 4096;
// Writes in a row that the spooler accepts without taking a byte before the copy gives up.
constexpr int kIdleWriteLimit = 3;
constexpr WCHAR kPortSuffix[] = L", Port";

// The error of the spooler call that just failed. A failure whose error was left at 0 still
// has to read as a failure.
DWORD FailureError() {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// The name that opens the port itself: "<port>, Port". The spooler names the job's port when
// it opens the processor; Wine's spooler gives that name with the suffix already, a bare
// port name gets it here. Null when no memory is left.
LPWSTR PortHandleName(LPCWSTR port) {
    int chars = lstrlenW(port);
    int suffix = lstrlenW(kPortSuffix);
    bool hasSuffix = chars >= suffix &&
                     CompareStringOrdinal(port + chars - suffix, suffix, kPortSuffix, suffix,
                                          TRUE) == CSTR_EQUAL;
    SIZE_T total = static_cast<SIZE_T>(chars) + (hasSuffix ? 0 : suffix) + 1;
    auto* name = static_cast<LPWSTR>(HeapAlloc(GetProcessHeap(), 0, total * sizeof(WCHAR)));
    if (!name) return nullptr;
    lstrcpyW(name, port);
    if (!hasSuffix) lstrcatW(name, kPortSuffix);
    return name;
}

// Writes `count` bytes of one piece; between two writes the job's controls are heard. Stops
// early (returning TRUE) when the job is cancelled or closed.
BOOL WritePiece(ProcessorRecord* r, HANDLE port, BYTE* data, DWORD count, bool& ended) {
    DWORD done = 0;
    int idle = 0;
    while (done < count) {
        if (!MayGoOn(r)) {
            ended = true;
            return TRUE;
        }
        DWORD written = 0;
        if (!r->spooler.WritePrinter(port, data + done, count - done, &written)) {
            SetLastError(FailureError());
            return FALSE;
        }
        if (written > count - done) written = count - done;
        if (written == 0) {
            if (++idle >= kIdleWriteLimit) {
                SetLastError(ERROR_WRITE_FAULT);
                return FALSE;
            }
            continue;
        }
        idle = 0;
        done += written;
    }
    return TRUE;
}

}  // namespace

BOOL CopyRawJob(ProcessorRecord* r, LPCWSTR jobName) {
    const SpoolerCalls& s = r->spooler;
    HANDLE job = nullptr;
    if (!s.OpenPrinterW(const_cast<LPWSTR>(jobName), &job, nullptr)) {
        SetLastError(FailureError());
        return FALSE;
    }

    DWORD error = ERROR_SUCCESS;
    HANDLE port = nullptr;
    LPWSTR portName = PortHandleName(r->portName);
    BYTE* piece = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kPieceBytes));
    if (!portName || !piece) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    } else if (!s.OpenPrinterW(portName, &port, nullptr)) {
        error = FailureError();
        port = nullptr;
    } else {
        DOC_INFO_1W doc{};
        doc.pDocName = r->documentName ? r->documentName : const_cast<LPWSTR>(jobName);
        doc.pOutputFile = r->outputFile;
        doc.pDatatype = const_cast<LPWSTR>(L"RAW");
        if (s.StartDocPrinterW(port, 1, reinterpret_cast<LPBYTE>(&doc)) == 0) {
            error = FailureError();
        } else {
            bool ended = false;
            while (!ended) {
                // The controls are heard before each read too, so a paused job holds its
                // place in the spool file as well as on the port.
                if (!MayGoOn(r)) break;
                DWORD read = 0;
                if (!s.ReadPrinter(job, piece, kPieceBytes, &read)) {
                    error = FailureError();
                    break;
                }
                if (read == 0) break;
                if (read > kPieceBytes) read = kPieceBytes;
                if (!WritePiece(r, port, piece, read, ended)) {
                    error = GetLastError();
                    break;
                }
            }
            // The document ends on the port whatever ended the copy, so the monitor closes
            // its job.
            if (!s.EndDocPrinter(port) && error == ERROR_SUCCESS) error = FailureError();
        }
    }
    if (port) s.ClosePrinter(port);
    s.ClosePrinter(job);
    if (piece) HeapFree(GetProcessHeap(), 0, piece);
    if (portName) HeapFree(GetProcessHeap(), 0, portName);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
