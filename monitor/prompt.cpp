#include "prompt.h"

#include "spooler_services.h"

namespace {

const PromptHooks* g_hooks = nullptr;
thread_local HANDLE t_printer = nullptr;
thread_local DWORD t_jobId = 0;

// Inside the spooler on Windows the services tell whether the job runs in session 0; else
// the process's own session does.
bool InSessionZero() {
    const SpoolerServices& s = Spooler();
    if (s.SplIsSessionZero && t_printer) {
        BOOL zero = FALSE;
        if (s.SplIsSessionZero(t_printer, t_jobId, &zero) == ERROR_SUCCESS) return zero != FALSE;
    }
    DWORD session = 1;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

int AskInUsersSession(LPCWSTR text, LPCWSTR caption, UINT type) {
    const SpoolerServices& s = Spooler();
    if (!s.SplPromptUIInUsersSession || !t_printer) return 0;
    SHOWUIPARAMS params{};
    params.UIType = kMessageBox;
    params.MessageBoxParams.cbSize = sizeof(params.MessageBoxParams);
    params.MessageBoxParams.pTitle = const_cast<LPWSTR>(caption);
    params.MessageBoxParams.pMessage = const_cast<LPWSTR>(text);
    params.MessageBoxParams.Style = type;
    params.MessageBoxParams.dwTimeout = kQuestionTimeoutSeconds;
    params.MessageBoxParams.bWait = TRUE;
    DWORD response = 0;
    if (!s.SplPromptUIInUsersSession(t_printer, t_jobId, &params, &response)) return 0;
    return static_cast<int>(response);
}

// Ends the modal windows of this thread when the deadline passes, as if Cancel was pressed.
class ModalDeadline {
public:
    explicit ModalDeadline(DWORD seconds)
        : timer_(SetTimer(nullptr, 0, seconds * 1000, Expire)) {}
    ~ModalDeadline() {
        if (timer_) KillTimer(nullptr, timer_);
    }
    ModalDeadline(const ModalDeadline&) = delete;
    ModalDeadline& operator=(const ModalDeadline&) = delete;

private:
    static void CALLBACK Expire(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
    }
    static BOOL CALLBACK CancelDialog(HWND w, LPARAM) {
        wchar_t cls[16];
        if (GetClassNameW(w, cls, 16) && lstrcmpW(cls, L"#32770") == 0)
            PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    UINT_PTR timer_;
};

}  // namespace

int AskUser(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (const PromptHooks* h = g_hooks; h && h->ask) return h->ask(owner, text, caption, type);
    if (InSessionZero()) return AskInUsersSession(text, caption, type);
    // The owner may come from a client: it is only ever used as an owner, and only when it
    // is a window.
    if (owner && !IsWindow(owner)) owner = nullptr;
    ModalDeadline deadline(kQuestionTimeoutSeconds);
    // At the deadline the box ends as if Cancel was pressed, which no caller takes for Yes
    // or OK.
    return MessageBoxW(owner, text, caption, type);
}

BOOL ChooseSettings(LPCWSTR comName, HWND owner, LPCOMMCONFIG config) {
    if (const PromptHooks* h = g_hooks; h && h->choose) return h->choose(comName, owner, config);
    if (InSessionZero()) return FALSE;
    if (owner && !IsWindow(owner)) owner = nullptr;
    ModalDeadline deadline(kQuestionTimeoutSeconds);
    return CommConfigDialogW(comName, owner, config);
}

ScopedPromptJob::ScopedPromptJob(HANDLE printer, DWORD jobId)
    : savedPrinter_(t_printer), savedJob_(t_jobId) {
    t_printer = printer;
    t_jobId = jobId;
}

ScopedPromptJob::~ScopedPromptJob() {
    t_printer = savedPrinter_;
    t_jobId = savedJob_;
}

void ReplacePrompt(const PromptHooks* hooks) {
    g_hooks = hooks;
}
