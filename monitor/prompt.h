// The one place where the monitor asks a person something: its message boxes, its dialogs
// and the communications settings dialog. Inside the spooler on Windows Vista and later the
// monitor runs in session 0, where a window is invisible and would stall the spooler's thread
// for good. There a message box is shown in the session of the job's user through the
// spooler, or, without a job, in the session of the client the spooler is serving (the
// terminal services' message route); a dialog cannot be shown at all. Every question has a
// deadline, after which it counts as declined.
#pragma once

#include <windows.h>

// Seconds a question waits for its answer.
inline constexpr DWORD kQuestionTimeoutSeconds = 600;

// Shows a message box; returns the button pressed (IDOK, IDYES, ...), or 0 when no answer
// came (deadline, or no way to ask).
int AskUser(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Tells the user something that needs no answer (an OK-only box), without waiting for it to
// be read: the calling thread goes on at once.
void TellUser(LPCWSTR text, LPCWSTR caption);

// Shows the communications settings dialog for comName on `config`. TRUE when the user
// chose settings (OK), FALSE for Cancel, the deadline, or when it cannot be shown.
BOOL ChooseSettings(LPCWSTR comName, HWND owner, LPCOMMCONFIG config);

// True when the calling thread runs where no window can be seen (the service session).
bool InServiceSession();

// Runs one of this library's dialogs with the question deadline (at which it ends as if
// Cancel was pressed). -1 with ERROR_NOT_SUPPORTED in the service session, where the
// spooler's client then falls back to the monitor's user interface library.
INT_PTR RunMonitorDialog(LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM parameter);

// The job on whose behalf the current thread asks (for the route through the spooler),
// set for the lifetime of the object.
class ScopedPromptJob {
public:
    ScopedPromptJob(HANDLE printer, DWORD jobId);
    ~ScopedPromptJob();
    ScopedPromptJob(const ScopedPromptJob&) = delete;
    ScopedPromptJob& operator=(const ScopedPromptJob&) = delete;

private:
    HANDLE savedPrinter_;
    DWORD savedJob_;
};

struct PromptHooks {
    // Each may be null. `ask` and `choose` take the place of the whole question; a test that
    // looks at the route instead leaves them null and names the session and the sender.
    int (*ask)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
    BOOL (*choose)(LPCWSTR comName, HWND owner, LPCOMMCONFIG config);
    bool (*inServiceSession)();
    // In place of the terminal services' WTSSendMessageW.
    BOOL(WINAPI* sendMessage)(HANDLE server, DWORD session, LPWSTR title, DWORD titleBytes,
                              LPWSTR message, DWORD messageBytes, DWORD style, DWORD timeout,
                              DWORD* response, BOOL wait);
    // In place of the question deadline, in milliseconds (0: kQuestionTimeoutSeconds).
    DWORD deadlineMs;
};
// Puts `hooks` in place of the real questions (null restores them). For tests.
void ReplacePrompt(const PromptHooks* hooks);
