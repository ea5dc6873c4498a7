// The busy thread of one job. While the spooler writes the job, it reads the printer's line
// and keeps the job's XoffSection closed from the printer's XOFF to its XON; every chunk of
// a write passes that gate first. Each job has its own, so one printer's XOFF never pauses
// another port's job, and the end of the document stops the thread and waits for it.
#pragma once

#include <windows.h>

// Longest wait for a busy thread to end once its document has ended (it is cancelled at
// once; this only bounds a driver that does not complete the cancel).
inline constexpr DWORD kBusyThreadStopLimitMs = 10000;

struct JobFlow {
    HANDLE hDevice;             // the job's device (owned by the port entry)
    HANDLE XoffSection;         // manual-reset event: set while the printer may receive
    HANDLE hStop;               // set when the document ends
    volatile LONG BusyThreadRun;
    HANDLE hBusyThread;         // null when the thread could not be started
    DWORD xoffLimitMs;          // how long a write waits for XON before it fails
    HANDLE hWriteDone;          // manual-reset event on which the job's chunks complete
};

// Starts the busy thread on `device`. Null when the flow's events cannot be made; a thread
// that cannot be started leaves a flow without one (writes then pass unwatched), with the
// debug trace "CreateThread (BussyThread) failed".
JobFlow* StartJobFlow(HANDLE device, DWORD xoffLimitMs);
// Stops the busy thread, waits for it and frees the flow (null is allowed).
void StopJobFlow(JobFlow* flow);
// Waits until the printer may receive. FALSE when XOFF lasted longer than the flow's limit.
BOOL PassXoffSection(JobFlow* flow);
// The completion event for the job's writes, so that a chunk needs no event of its own;
// null (one is made per write) without a flow.
HANDLE JobWriteEvent(JobFlow* flow);

DWORD WINAPI BussyThread(LPVOID flow);
