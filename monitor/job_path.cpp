#include "job_path.h"

#include <winspool.h>

#include "../common/win_raii.h"
#include "../serial/serial.h"
#include "job_flow.h"
#include "line_ops.h"
#include "monitor_state.h"
#include "port_list.h"
#include "printer_link.h"
#include "prompt.h"
#include "spl_mem.h"
#include "spooler_services.h"

namespace {

bool Valid(HANDLE h) {
    return h && h != INVALID_HANDLE_VALUE;
}

PortEntry* Entry(HANDLE port) {
    auto* e = static_cast<PortEntry*>(port);
    return e && e->Signature == kPortEntrySignature ? e : nullptr;
}

// Takes the device and its flow from the entry, then stops the busy thread; the device closes
// when the flow's last user lets go (at once, unless a request on it is still running). A
// device that a start is using outside the lock (PORT_FLAG_STARTING) is left to that start,
// marked: closed here, it would go under the start's wake-up, and its handle value could be
// reused by another open meanwhile. `byStart` is the start letting go of its own.
void CloseDevice(PortEntry* e, bool byStart = false) {
    VeskEnterSplSem();
    if (!byStart && (e->Status & PORT_FLAG_STARTING)) {
        e->Status |= PORT_FLAG_ENDED;
        VeskLeaveSplSem();
        return;
    }
    JobFlow* flow = e->pFlow;
    HANDLE device = e->hFile;
    e->pFlow = nullptr;
    e->hFile = INVALID_HANDLE_VALUE;
    e->Status &= ~(PORT_FLAG_OPEN | PORT_FLAG_STARTING | PORT_FLAG_ENDED);
    VeskLeaveSplSem();
    if (flow)
        StopJobFlow(flow);
    else if (Valid(device))
        Line().close(device);
}

// The flow of the port's running job, held for one request; null (with `error` as the last
// error) when the port has no job with a device.
JobFlow* HoldFlow(PortEntry* e, DWORD error) {
    VeskEnterSplSem();
    JobFlow* flow = (e->Status & PORT_FLAG_OPEN) ? e->pFlow : nullptr;
    if (flow) HoldJobFlow(flow);
    VeskLeaveSplSem();
    if (!flow) SetLastError(error);
    return flow;
}

// The job's printer as one end of the job takes it from the entry. Taken under the lock, so
// that two ends of one job (EndDocPort and a ClosePort or Shutdown on another thread) never
// both use or close it.
struct TakenJob {
    HANDLE printer;
    LPWSTR name;
    DWORD jobId;
};

TakenJob TakeJob(PortEntry* e) {
    VeskEnterSplSem();
    TakenJob job{e->hPrinter, e->pPrinterName, e->JobId};
    e->hPrinter = nullptr;
    e->pPrinterName = nullptr;
    VeskLeaveSplSem();
    return job;
}

// Lets go of the printer, then of the document: the port takes a new one only once nothing
// of this one is in use.
void EndJob(PortEntry* e, const TakenJob& job) {
    const SpoolerServices& s = Spooler();
    if (job.printer && s.ClosePrinter) s.ClosePrinter(job.printer);
    if (job.name) GlobalFree(job.name);
    VeskEnterSplSem();
    e->Status &= ~PORT_FLAG_IN_DOC;
    VeskLeaveSplSem();
}

void ReleaseJob(PortEntry* e) {
    EndJob(e, TakeJob(e));
}

// The port is still in the document this start began: no Shutdown or close has ended it
// meanwhile on another thread. The caller holds SpoolerSection.
bool StillStarting(const PortEntry* e) {
    return (e->Status & PORT_FLAG_IN_DOC) &&
           !(e->Status & (PORT_FLAG_SHUT_DOWN | PORT_FLAG_ENDED));
}

// Before the start touches the device: marks the device as the start's (PORT_FLAG_STARTING)
// while the document is still the start's. Otherwise the start closes the device itself
// and fails with ERROR_INVALID_HANDLE after Shutdown, ERROR_OPERATION_ABORTED after a close.
bool GoOnStarting(PortEntry* e) {
    VeskEnterSplSem();
    bool starting = StillStarting(e);
    bool shutDown = (e->Status & PORT_FLAG_SHUT_DOWN) != 0;
    if (starting) e->Status |= PORT_FLAG_STARTING;
    VeskLeaveSplSem();
    if (starting) return true;
    CloseDevice(e, true);
    SetLastError(shutDown ? ERROR_INVALID_HANDLE : ERROR_OPERATION_ABORTED);
    return false;
}

BOOL FailStart(PortEntry* e) {
    DWORD err = GetLastError();
    CloseDevice(e, true);
    TakenJob job = TakeJob(e);
    // A port that waits for the shared device only waits its turn: its job stays as it is.
    if (job.printer && err != ERROR_BUSY) {
        SetJobStatus(job.printer, job.jobId, JOB_STATUS_OFFLINE);
        const SpoolerServices& s = Spooler();
        if (s.SetJobW) s.SetJobW(job.printer, job.jobId, 0, nullptr, JOB_CONTROL_DELETE);
    }
    EndJob(e, job);
    SetLastError(err);
    return FALSE;
}

DWORD TransmissionRetryMs() {
    UINT seconds = GetProfileIntW(L"windows", L"TransmissionRetryTimeout",
                                  kDefaultTransmissionRetrySeconds);
    return seconds > 0x7FFFFFFF / 1000 ? 0x7FFFFFFF : seconds * 1000;
}

}  // namespace

void SetJobStatus(HANDLE printer, DWORD jobId, DWORD status) {
    const SpoolerServices& s = Spooler();
    if (!s.GetJobW || !s.SetJobW) return;
    DWORD needed = 0;
    s.GetJobW(printer, jobId, 1, nullptr, 0, &needed);
    if (needed == 0) return;
    vesk::GlobalBlock info(needed);
    // The job's own level-1 information with only its status changed, so the rest of the
    // job (position, priority, document name) stays as it is.
    if (!info || !s.GetJobW(printer, jobId, 1, info.get<BYTE>(), needed, &needed)) {
        OutputDebugStringW(L"Error setting the job status");
        return;
    }
    info.get<JOB_INFO_1W>()->Status = status;
    if (!s.SetJobW(printer, jobId, 1, info.get<BYTE>(), 0))
        OutputDebugStringW(L"Error setting the job status");
}

BOOL WINAPI VeskStartDocPort(HANDLE port, LPWSTR printerName, DWORD jobId, DWORD, LPBYTE) {
    OutputDebugStringW(L"StartDocPort");
    PortEntry* e = Entry(port);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    VeskEnterSplSem();
    bool busy = (e->Status & PORT_FLAG_IN_DOC) != 0;
    bool shutDown = (e->Status & PORT_FLAG_SHUT_DOWN) != 0;
    if (!busy && !shutDown) e->Status |= PORT_FLAG_IN_DOC;
    VeskLeaveSplSem();
    if (busy || shutDown) {
        SetLastError(shutDown ? ERROR_INVALID_HANDLE : ERROR_BUSY);
        return FALSE;
    }

    // No printer name (as Wine's spooler gives) means there is no job to mark.
    LPWSTR name = printerName ? AllocSplStr(printerName) : nullptr;
    VeskEnterSplSem();
    e->hPrinter = nullptr;
    e->JobId = jobId;
    e->pPrinterName = name;
    VeskLeaveSplSem();
    if (printerName && !name) return FailStart(e);
    if (!IsVeskPort(e->pName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FailStart(e);
    }

    // The printer is opened before the device, so that a device that will not open is
    // reported in the user's session and its job is marked and removed like any other.
    HANDLE printer = nullptr;
    if (printerName) {
        const SpoolerServices& s = Spooler();
        if (!s.OpenPrinterW || !s.OpenPrinterW(printerName, &printer, nullptr)) return FailStart(e);
        // Whoever ended the document while the spooler opened the printer has let go of the
        // job already: the handle would be nobody's to close, and the job goes no further.
        VeskEnterSplSem();
        bool starting = StillStarting(e);
        if (starting) {
            e->hPrinter = printer;
        } else if (e->pPrinterName == name) {
            e->pPrinterName = nullptr;  // stored after the end had taken the job's
        } else {
            name = nullptr;  // the end took it
        }
        VeskLeaveSplSem();
        if (!starting) {
            if (s.ClosePrinter) s.ClosePrinter(printer);
            if (name) GlobalFree(name);
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    // This thread's questions go through the job's printer; the spooler ends a job only
    // after its StartDocPort has returned.
    ScopedPromptJob asking(printer, jobId);

    // The wake-up and the settings query use the device without the lock, which must not be
    // held across device I/O: until its flow has it, the device is this start's to close.
    if (!GoOnStarting(e)) return FailStart(e);
    DWORD blockSize = 0;
    if (!Line().openForJob(e, &blockSize)) return FailStart(e);
    VeskEnterSplSem();
    HANDLE device = e->hFile;
    VeskLeaveSplSem();

    bool deviceTaken = false;
    if (!Wakeup(device, blockSize, &deviceTaken)) {
        DWORD err = GetLastError();
        if (deviceTaken) {
            // The wake-up's reader still has the device and closes it when it ends.
            VeskEnterSplSem();
            e->hFile = INVALID_HANDLE_VALUE;
            VeskLeaveSplSem();
        }
        CloseDevice(e, true);
        // A printer that never answered fails the job without questions; one that could
        // not even be written to may be at other settings.
        if (err != kNoAnswer) SyncronizePrinter();
        SetLastError(err);
        return FailStart(e);
    }
    // A close or Shutdown during the wake-up left the device to this start.
    if (!GoOnStarting(e)) return FailStart(e);

    VeskPortSettings settings{};
    DWORD needed = 0;
    DWORD err = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&settings),
                                    sizeof settings, &needed);
    if (err) {
        if (settings.pConfig) LocalFree(settings.pConfig);
        SetLastError(err);
        return FailStart(e);
    }
    BOOL same = SetPrinterSettings(device, settings.pConfig->dcb);
    LocalFree(settings.pConfig);
    if (!same) {
        CloseDevice(e, true);
        SyncronizePrinter();
        SetLastError(ERROR_INVALID_DATA);
        return FailStart(e);
    }

    // Without its flow the job would have no owner for its device and no one obeying XOFF.
    JobFlow* flow = MakeJobFlow(device, TransmissionRetryMs());
    if (!flow) {
        CloseDevice(e, true);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FailStart(e);
    }
    VeskEnterSplSem();
    bool monitorGone = (e->Status & PORT_FLAG_SHUT_DOWN) != 0;
    bool kept = StillStarting(e);
    if (kept) {
        // Published before its thread reads the device: from now on a close goes through the
        // flow, which closes the device only after the thread's last read. Its thread starts
        // in the same hold of the lock, so whoever takes the flow from the port (a close,
        // Shutdown) finds the thread there to wait for. The thread takes no lock of the
        // port's, so its start waits for nothing that waits for this lock.
        e->pFlow = flow;
        RunJobFlow(flow);
    } else {
        // The document ended during the start, and left the device to it: the flow closes it.
        e->hFile = INVALID_HANDLE_VALUE;
        e->Status &= ~PORT_FLAG_OPEN;
    }
    e->Status &= ~(PORT_FLAG_STARTING | PORT_FLAG_ENDED);
    VeskLeaveSplSem();
    if (!kept) {
        StopJobFlow(flow);
        SetLastError(monitorGone ? ERROR_INVALID_HANDLE : ERROR_OPERATION_ABORTED);
        return FailStart(e);
    }
    return TRUE;
}

BOOL WINAPI VeskWritePort(HANDLE port, LPBYTE data, DWORD count, LPDWORD written) {
    PortEntry* e = Entry(port);
    if (!e || !written || (!data && count)) {
        SetLastError(!e ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *written = 0;
    // Held, the job's device and events stay while the write runs, whatever ends the
    // document meanwhile on another thread.
    JobFlow* flow = HoldFlow(e, ERROR_INVALID_HANDLE);
    if (!flow) return FALSE;
    DWORD done = 0, err = 0;
    int idle = 0;
    BOOL result = TRUE;
    do {
        if (!PassXoffSection(flow)) {
            // The printer stayed busy longer than the spooler is prepared to wait.
            err = ERROR_COUNTER_TIMEOUT;
            break;
        }
        if (WaitForSingleObject(flow->thread.hStop, 0) == WAIT_OBJECT_0) {
            err = ERROR_OPERATION_ABORTED;  // the document was ended under the write
            break;
        }
        DWORD chunk = count - done < kWriteChunkBytes ? count - done : kWriteChunkBytes;
        DWORD n = 0;
        result = Line().write(flow->thread.hDevice, data + done, chunk, &n, JobWriteEvent(flow));
        if (n > chunk) n = chunk;
        done += n;
        *written += n;
        if (chunk && n == 0) {
            if (++idle >= kIdleChunkLimit) {
                err = ERROR_COUNTER_TIMEOUT;
                break;
            }
        } else {
            idle = 0;
        }
    } while (done < count);
    if (!err && !result) err = GetLastError();
    ReleaseJobFlow(flow);
    if (err) SetLastError(err);
    return err ? FALSE : result;
}

BOOL WINAPI VeskReadPort(HANDLE port, LPBYTE buffer, DWORD count, LPDWORD read) {
    PortEntry* e = Entry(port);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!read || (!buffer && count)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *read = 0;
    JobFlow* flow = HoldFlow(e, ERROR_INVALID_HANDLE);
    if (!flow) return FALSE;
    BOOL ok;
    if (flow->thread.hThread) {
        // The busy thread is the line's one reader: a second one would take the printer's
        // XON or XOFF from it. What the printer sent besides them is kept for this call.
        ok = ReadJobInput(flow, buffer, count, read);
    } else {
        // No busy thread reads this job's line: read it here, until the document ends.
        ok = Line().readOrStop(flow->thread.hDevice, buffer, count, read, flow->thread.hStop);
    }
    DWORD err = GetLastError();
    ReleaseJobFlow(flow);
    SetLastError(err);
    return ok;
}

BOOL WINAPI VeskEndDocPort(HANDLE port) {
    PortEntry* e = Entry(port);
    if (!e) return TRUE;
    VeskEnterSplSem();
    bool inDoc = (e->Status & PORT_FLAG_IN_DOC) != 0;
    VeskLeaveSplSem();
    if (!inDoc) return TRUE;
    if (JobFlow* flow = HoldFlow(e, 0)) {
        Line().flush(flow->thread.hDevice);
        ReleaseJobFlow(flow);
    }
    // Taken before it is used: a ClosePort on another thread then finds no printer to close.
    TakenJob job = TakeJob(e);
    const SpoolerServices& s = Spooler();
    if (job.printer && s.SetJobW)
        s.SetJobW(job.printer, job.jobId, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER);
    if (IsVeskPort(e->pName)) CloseDevice(e);
    EndJob(e, job);
    return TRUE;
}

BOOL WINAPI VeskClosePort(HANDLE port) {
    PortEntry* e = Entry(port);
    if (!e) return TRUE;
    EndPortJob(e);
    VeskEnterSplSem();
    if (e->OpenCount) --e->OpenCount;
    // An entry that Shutdown left to the spooler goes with the spooler's last handle on it.
    bool last = (e->Status & PORT_FLAG_SHUT_DOWN) && e->OpenCount == 0;
    VeskLeaveSplSem();
    if (last) FreePortEntry(e);
    return TRUE;
}

void EndPortJob(PortEntry* e) {
    CloseDevice(e);
    // A document the spooler never ended would otherwise keep its printer handle.
    if (e->Status & PORT_FLAG_IN_DOC) ReleaseJob(e);
}

BOOL WINAPI VeskGetPrinterDataFromPort(HANDLE port, DWORD controlId, LPWSTR, LPWSTR inBuffer,
                                       DWORD inSize, LPWSTR outBuffer, DWORD outSize,
                                       LPDWORD returned) {
    PortEntry* e = Entry(port);
    if (!e || controlId == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Held, the device stays open until the request is done, even if the document ends
    // meanwhile on another thread.
    JobFlow* flow = HoldFlow(e, ERROR_INVALID_PARAMETER);
    if (!flow) return FALSE;
    DWORD bytes = 0;
    BOOL ok = Line().control(flow->thread.hDevice, controlId, inBuffer, inSize, outBuffer, outSize,
                             &bytes);
    if (returned) *returned = bytes;
    DWORD err = GetLastError();
    ReleaseJobFlow(flow);
    SetLastError(err);
    return ok;
}

BOOL WINAPI VeskSetPortTimeOuts(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved) {
    PortEntry* e = Entry(port);
    if (reserved != 0 || !e || !timeouts) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    JobFlow* flow = HoldFlow(e, ERROR_INVALID_HANDLE);
    if (!flow) return FALSE;
    BOOL ok = TRUE;
    if (flow->thread.hThread) {
        // The busy thread reads the device with the time-outs it needs (a read that returns
        // at once would have it spin); the spooler's are the ones its ReadPort keeps to.
        SetJobReadTimeouts(flow, timeouts->ReadIntervalTimeout, timeouts->ReadTotalTimeoutConstant);
    } else {
        HANDLE device = flow->thread.hDevice;
        COMMTIMEOUTS current{};
        ok = GetCommTimeouts(device, &current);
        if (ok) {
            current.ReadIntervalTimeout = timeouts->ReadIntervalTimeout;
            current.ReadTotalTimeoutConstant = timeouts->ReadTotalTimeoutConstant;
            ok = SetCommTimeouts(device, &current);
        }
    }
    DWORD err = GetLastError();
    ReleaseJobFlow(flow);
    SetLastError(err);
    return ok;
}
