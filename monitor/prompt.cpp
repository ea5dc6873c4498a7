#include "prompt.h"

#include <wtsapi32.h>

#include "../common/system_library.h"

#include "monitor_state.h"
#include "monitor_thread.h"
#include "spooler_services.h"

namespace {

const PromptHooks* g_hooks = nullptr;
thread_local HANDLE t_printer = nullptr;
thread_local DWORD t_jobId = 0;

// The answer of a message nobody answered before its time-out.
constexpr DWORD kTimedOutAnswer = 32000;
constexpr DWORD kNoSession = 0xFFFFFFFF;

int AskInUsersSession(LPCWSTR text, LPCWSTR caption, UINT type, BOOL wait) {
    const SpoolerServices& s = Spooler();
    if (!s.SplPromptUIInUsersSession || !t_printer) return 0;
    SHOWUIPARAMS params{};
    params.UIType = kMessageBox;
    params.MessageBoxParams.cbSize = sizeof(params.MessageBoxParams);
    params.MessageBoxParams.pTitle = const_cast<LPWSTR>(caption);
    params.MessageBoxParams.pMessage = const_cast<LPWSTR>(text);
    params.MessageBoxParams.Style = type;
    params.MessageBoxParams.dwTimeout = kQuestionTimeoutSeconds;
    params.MessageBoxParams.bWait = wait;
    DWORD response = 0;
    if (!s.SplPromptUIInUsersSession(t_printer, t_jobId, &params, &response)) return 0;
    return static_cast<int>(response);
}

// The session of the client the spooler impersonates on this thread (during a transceive
// call), or else the one at the console; kNoSession when the client is itself a service (or
// a remote caller without a session of its own): its question is nobody's to answer.
DWORD ClientSession() {
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
        DWORD session = 0, size = 0;
        BOOL ok = GetTokenInformation(token, TokenSessionId, &session, sizeof session, &size);
        CloseHandle(token);
        return ok && session != 0 ? session : kNoSession;
    }
    // Only a thread that impersonates nobody asks at the console; one whose client cannot
    // be told (an anonymous one) asks nobody.
    return GetLastError() == ERROR_NO_TOKEN ? WTSGetActiveConsoleSessionId() : kNoSession;
}

using SendMessageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, DWORD, LPWSTR, DWORD, DWORD, DWORD,
                                    DWORD*, BOOL);

// WTSSendMessageW from the system's own library, looked up once; null where there is none.
SendMessageFn TerminalServicesMessage() {
    static const SendMessageFn fn = [] {
        HMODULE lib = vesk::LoadSystemLibrary(L"wtsapi32.dll");
        return lib ? reinterpret_cast<SendMessageFn>(
                         reinterpret_cast<void*>(GetProcAddress(lib, "WTSSendMessageW")))
                   : SendMessageFn{};
    }();
    return fn;
}

BOOL SendToSession(DWORD session, LPCWSTR caption, LPCWSTR text, UINT type, DWORD timeoutSeconds,
                   DWORD* response, BOOL wait) {
    const PromptHooks* h = g_hooks;
    SendMessageFn send = h && h->sendMessage ? h->sendMessage : TerminalServicesMessage();
    if (!send) return FALSE;
    return send(WTS_CURRENT_SERVER_HANDLE, session, const_cast<LPWSTR>(caption),
                lstrlenW(caption) * sizeof(WCHAR), const_cast<LPWSTR>(text),
                lstrlenW(text) * sizeof(WCHAR), type, timeoutSeconds, response, wait);
}

// Without a job to ask through, a service reaches the person it works for with the
// terminal services' message.
int AskInClientSession(LPCWSTR text, LPCWSTR caption, UINT type, BOOL wait) {
    DWORD session = ClientSession();
    if (session == kNoSession) return 0;
    DWORD response = 0;
    if (!SendToSession(session, caption ? caption : L"", text ? text : L"", type,
                       kQuestionTimeoutSeconds, &response, wait))
        return 0;
    return response == kTimedOutAnswer ? 0 : static_cast<int>(response);
}

// Ends the modal windows of this thread when the deadline passes, as if the user declined:
// Cancel, or No in a box that has No but no Cancel (a Yes/No box ignores Cancel). An OK-only
// box takes Cancel as OK, which for a notice is the same.
class ModalDeadline {
public:
    explicit ModalDeadline(DWORD seconds) : timer_(SetTimer(nullptr, 0, DeadlineMs(seconds), Expire)) {
        t_expired = false;
    }
    ~ModalDeadline() {
        if (timer_) KillTimer(nullptr, timer_);
    }
    ModalDeadline(const ModalDeadline&) = delete;
    ModalDeadline& operator=(const ModalDeadline&) = delete;
    // True once the deadline has ended the windows: their answer is nobody's.
    static bool Expired() { return t_expired; }

private:
    static DWORD DeadlineMs(DWORD seconds) {
        const PromptHooks* h = g_hooks;
        return h && h->deadlineMs ? h->deadlineMs : seconds * 1000;
    }
    static void CALLBACK Expire(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        t_expired = true;
        EnumThreadWindows(GetCurrentThreadId(), Decline, 0);
    }
    static BOOL CALLBACK Decline(HWND w, LPARAM) {
        wchar_t cls[16];
        if (!GetClassNameW(w, cls, 16) || lstrcmpW(cls, L"#32770") != 0) return TRUE;
        WPARAM button = !GetDlgItem(w, IDCANCEL) && GetDlgItem(w, IDNO) ? IDNO : IDCANCEL;
        PostMessageW(w, WM_COMMAND, button, 0);
        return TRUE;
    }
    static inline thread_local bool t_expired = false;
    UINT_PTR timer_;
};

// A notice on the desktop, shown from a thread of its own so that the thread that reports
// never waits for the user. The thread holds the library until the box is gone.
//
// One notice at a time: a spooler whose jobs fail one after another would otherwise start a
// thread per failure, each holding the library and its box up to the deadline. A notice that
// comes while one is up is dropped, not queued: it would show only once the one before had
// gone, up to a deadline later, about a job long over, and the box on the screen already
// tells the user the printer needs them. The debugger hears of each one dropped.
volatile LONG g_noticeUp = 0;
volatile LONG g_noticesDropped = 0;

struct Notice {
    MonitorThread thread;
    LPWSTR caption;
    WCHAR text[1];
};

DWORD ShowNotice(MonitorThread* t) {
    auto* n = reinterpret_cast<Notice*>(t);
    ModalDeadline deadline(kQuestionTimeoutSeconds);
    MessageBoxW(nullptr, n->text, n->caption, MB_OK | MB_SETFOREGROUND);
    return 0;
}

// The notice's last holder: its box is gone (or was never shown), so the next may come.
void DestroyNotice(MonitorThread* t) {
    CloseMonitorThreadHandles(t);
    GlobalFree(t);
    InterlockedExchange(&g_noticeUp, 0);
}

void NoticeOnItsOwnThread(LPCWSTR text, LPCWSTR caption) {
    if (InterlockedCompareExchange(&g_noticeUp, 1, 0) != 0) {
        WCHAR trace[96];
        wsprintfW(trace, L"Notice not shown, another is up (%ld dropped)",
                  InterlockedIncrement(&g_noticesDropped));
        OutputDebugStringW(trace);
        return;
    }
    SIZE_T textChars = lstrlenW(text) + 1, captionChars = lstrlenW(caption) + 1;
    auto* n = static_cast<Notice*>(
        GlobalAlloc(GPTR, sizeof(Notice) + (textChars + captionChars) * sizeof(WCHAR)));
    if (!n) {
        InterlockedExchange(&g_noticeUp, 0);
        return;
    }
    CopyMemory(n->text, text, textChars * sizeof(WCHAR));
    n->caption = n->text + textChars;
    CopyMemory(n->caption, caption, captionChars * sizeof(WCHAR));
    n->thread.run = ShowNotice;
    n->thread.destroy = DestroyNotice;
    if (InitMonitorThread(&n->thread)) StartMonitorThread(&n->thread);
    // The thread, when it runs, holds the block; the owner's reference goes at once.
    ReleaseMonitorThread(&n->thread);
}

}  // namespace

bool InServiceSession() {
    if (const PromptHooks* h = g_hooks; h && h->inServiceSession) return h->inServiceSession();
    // Inside the spooler on Windows the services tell whether the job runs in session 0;
    // else the process's own session does.
    const SpoolerServices& s = Spooler();
    if (s.SplIsSessionZero && t_printer) {
        BOOL zero = FALSE;
        if (s.SplIsSessionZero(t_printer, t_jobId, &zero) == ERROR_SUCCESS) return zero != FALSE;
    }
    DWORD session = 1;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

int AskUser(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (const PromptHooks* h = g_hooks; h && h->ask) return h->ask(owner, text, caption, type);
    if (InServiceSession())
        return t_printer ? AskInUsersSession(text, caption, type, TRUE)
                         : AskInClientSession(text, caption, type, TRUE);
    // The owner may come from a client: it is only ever used as an owner, and only when it
    // is a window.
    if (owner && !IsWindow(owner)) owner = nullptr;
    ModalDeadline deadline(kQuestionTimeoutSeconds);
    int answer = MessageBoxW(owner, text, caption, type);
    // A box the deadline ended was answered by nobody.
    return ModalDeadline::Expired() ? 0 : answer;
}

void TellUser(LPCWSTR text, LPCWSTR caption) {
    if (!text) text = L"";
    if (!caption) caption = L"";
    if (const PromptHooks* h = g_hooks; h && h->ask) {
        h->ask(nullptr, text, caption, MB_OK);
        return;
    }
    if (InServiceSession()) {
        if (t_printer)
            AskInUsersSession(text, caption, MB_OK, FALSE);
        else
            AskInClientSession(text, caption, MB_OK, FALSE);
        return;
    }
    NoticeOnItsOwnThread(text, caption);
}

BOOL ChooseSettings(LPCWSTR comName, HWND owner, LPCOMMCONFIG config) {
    if (const PromptHooks* h = g_hooks; h && h->choose) return h->choose(comName, owner, config);
    // The terminal services carry only message boxes: this dialog has no way to the user.
    if (InServiceSession()) return FALSE;
    if (owner && !IsWindow(owner)) owner = nullptr;
    ModalDeadline deadline(kQuestionTimeoutSeconds);
    return CommConfigDialogW(comName, owner, config);
}

INT_PTR RunMonitorDialog(LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM parameter) {
    if (InServiceSession()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return -1;
    }
    if (owner && !IsWindow(owner)) owner = nullptr;
    ModalDeadline deadline(kQuestionTimeoutSeconds);
    return DialogBoxParamW(g_hInstance, templateName, owner, proc, parameter);
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
