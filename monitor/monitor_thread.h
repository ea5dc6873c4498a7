// Threads the monitor starts inside its host. Each one keeps a reference on this library
// while it runs, so the host's FreeLibrary never unmaps code a thread still executes, and
// shares one block of memory with its owner: the block (with the events and handles in it)
// is freed by whichever of the two lets go last. An owner that stops waiting for a thread
// therefore never frees what the thread still uses.
#pragma once

#include <windows.h>

// How long a stop waits for the thread to end, once after asking it to and once more after
// cancelling its I/O. A thread that reads with the stop event ends within milliseconds;
// these only bound a driver that does not complete a cancel.
inline constexpr DWORD kThreadStopLimitMs = 2000;

struct MonitorThread {
    volatile LONG refs;     // owner and thread, plus short-term users
    HANDLE hThread;         // null when the thread could not be started
    HANDLE hStop;           // manual-reset: set when the owner wants the thread to end
    HANDLE hDevice;         // the device the thread reads: its I/O is cancelled if it lingers
    volatile LONG ownsDevice;  // the block closes hDevice with its last holder
    HMODULE module;         // the reference the thread holds on this library
    DWORD (*run)(MonitorThread* self);
    // Frees what the derived block holds and the block itself; called once, by the last
    // holder.
    void (*destroy)(MonitorThread* self);
};

// Prepares `t` (whose run, destroy and hDevice the caller has set): makes the stop event
// and counts the owner's reference. FALSE when the event cannot be made.
BOOL InitMonitorThread(MonitorThread* t);
// Starts the thread; FALSE when it could not be started (the block stays the owner's).
BOOL StartMonitorThread(MonitorThread* t);

void AcquireMonitorThread(MonitorThread* t);
void ReleaseMonitorThread(MonitorThread* t);

// Tells the thread to end and waits for it within the bounds above, cancelling its I/O if
// it does not end at once, then gives up the owner's reference: afterwards the owner must
// not touch `t`. TRUE when the thread has ended (or never ran); `code` (may be null)
// receives its exit code then. A thread that did not end keeps its device: with
// `handDevice` the block then closes it after the thread (the owner must not), so the device
// is never closed under a request of the thread's.
BOOL StopMonitorThread(MonitorThread* t, DWORD* code, bool handDevice = false);

// Closes the stop event, the thread handle and a device the block owns; for destroy
// functions.
void CloseMonitorThreadHandles(MonitorThread* t);
