// The busy thread of one job. While the spooler writes the job, it is the only reader of the
// printer's line: it keeps the job's XoffSection closed from the printer's XOFF to its XON
// (every chunk of a write passes that gate first) and keeps every other byte the printer
// sends for ReadPort. Each job has its own, so one printer's XOFF never pauses another
// port's job.
//
// The flow owns the job's device once it exists: the device is closed when the last of its
// users (the port, the busy thread, a ReadPort or device request in progress) lets go, never
// under one of them.
#pragma once

#include <windows.h>

#include "monitor_thread.h"

// Bytes from the printer kept for ReadPort; what arrives while it is full is dropped, as a
// full receive buffer drops it.
inline constexpr DWORD kFlowInputBytes = 4096;

struct JobFlow {
    MonitorThread thread;       // the busy thread; thread.hDevice is the job's device
    HANDLE XoffSection;         // manual-reset event: set while the printer may receive
    volatile LONG BusyThreadRun;
    DWORD xoffLimitMs;          // how long a write waits for XON before it fails
    HANDLE hWriteDone;          // manual-reset event on which the job's chunks complete
    CRITICAL_SECTION InputSection;  // guards the input and the read time-outs below
    HANDLE hInputArrived;       // manual-reset event: set while input is kept
    // The spooler's read time-outs (SetPortTimeOuts) for ReadPort; the device keeps the ones
    // the busy thread needs.
    COMMTIMEOUTS readTimeouts;
    DWORD inputStart, inputCount;
    BYTE input[kFlowInputBytes];
};

// Makes the flow of a job on `device`, which the flow owns from then on; its busy thread
// does not run yet. Null when the flow's memory or events cannot be had (the device stays
// the caller's).
JobFlow* MakeJobFlow(HANDLE device, DWORD xoffLimitMs);
// Starts the busy thread of a flow. A flow that others can reach is published and started in
// one hold of the lock they take it under (SpoolerSection), so the thread handle is written
// under that lock and whoever takes the flow, and stops it, sees the thread to wait for. A
// thread that cannot be started leaves a flow without one (writes then pass unwatched), with
// the debug trace "CreateThread (BussyThread) failed".
void RunJobFlow(JobFlow* flow);
// Both of the above, for a flow nobody else can reach yet.
JobFlow* StartJobFlow(HANDLE device, DWORD xoffLimitMs);
// Stops the busy thread (bounded), then lets go of the flow; the device closes with the last
// user (null is allowed). The thread handle it waits on is never written again once the flow
// could be taken.
void StopJobFlow(JobFlow* flow);
// A user of the device of a running job takes the flow for the duration of its request.
void HoldJobFlow(JobFlow* flow);
void ReleaseJobFlow(JobFlow* flow);
// Waits until the printer may receive, or the document has ended. FALSE when XOFF lasted
// longer than the flow's limit.
BOOL PassXoffSection(JobFlow* flow);
// The completion event for the job's writes, so that a chunk needs no event of its own;
// null (one is made per write) without a flow.
HANDLE JobWriteEvent(JobFlow* flow);
// ReadPort during a document: the printer's bytes that the busy thread kept (never XON or
// XOFF), within the flow's read time-outs; ends early when the document ends.
BOOL ReadJobInput(JobFlow* flow, LPBYTE buffer, DWORD count, DWORD* read);
// SetPortTimeOuts during a document: the read time-outs ReadJobInput keeps to.
void SetJobReadTimeouts(JobFlow* flow, DWORD intervalMs, DWORD totalConstantMs);

DWORD BussyThread(MonitorThread* thread);
