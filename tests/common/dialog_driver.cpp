#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace vt {

namespace {

std::wstring FromAnsi(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    wide.resize(wide.size() - 1);
    return wide;
}

bool IsDialog(HWND window) {
    wchar_t cls[32];
    return GetClassNameW(window, cls, 32) && lstrcmpW(cls, L"#32770") == 0;
}

struct DialogSearch {
    DWORD processId;
    const std::wstring& caption;
    Caption match;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<DialogSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.processId || !IsWindowVisible(window) || !IsDialog(window)) return TRUE;
    std::wstring caption = WideText(window);
    bool matches = search.match == Caption::Exact ? caption == search.caption
                                                  : caption.find(search.caption) != std::wstring::npos;
    if (!matches) return TRUE;
    search.found = window;
    return FALSE;
}

struct PageSearch {
    int controlId;
    HWND found;
};

BOOL CALLBACK FindPage(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<PageSearch*>(context);
    if (IsWindowVisible(window) && IsDialog(window) && GetDlgItem(window, search.controlId)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// One way of answering a dialog that a script left open, tried in turn: the buttons that end
// a dialog without doing anything, then the close box (which a message box without a Cancel
// button ignores).
BOOL CALLBACK CloseLeftOver(HWND window, LPARAM round) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window) || !IsDialog(window)) return TRUE;
    switch (round % 4) {
    case 0: PostMessageW(window, WM_COMMAND, IDCANCEL, 0); break;
    case 1: PostMessageW(window, WM_COMMAND, IDNO, 0); break;
    case 2: PostMessageW(window, WM_COMMAND, IDOK, 0); break;
    default: PostMessageW(window, WM_CLOSE, 0, 0); break;
    }
    return TRUE;
}

constexpr DWORD kCleanUpMs = 10000;

// A message sent to another thread's window with the driver's bound: a dialog that stopped
// answering fails the test instead of blocking its script for good.
LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kWaitMs, &result)) {
        ADD_FAILURE() << "window " << window << " did not handle message 0x" << std::hex << message
                      << " within " << std::dec << kWaitMs << " ms";
        return -1;
    }
    return static_cast<LRESULT>(result);
}

// Selects the entry with that text by the control's own find and select messages, then tells
// the dialog with the notification a click gives.
bool ChooseItem(HWND dialog, HWND control, const std::wstring& text, UINT find, UINT select,
                WORD notification) {
    if (!control) return false;
    LRESULT item = SendBounded(control, find, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    if (item < 0) return false;
    SendBounded(control, select, static_cast<WPARAM>(item), 0);
    SendBounded(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), notification),
                reinterpret_cast<LPARAM>(control));
    return true;
}

std::wstring ClassOf(HWND window) {
    wchar_t cls[64];
    return GetClassNameW(window, cls, 64) ? cls : L"";
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
}

bool Drive(const std::function<void()>& modal, const std::function<void()>& script) {
    DWORD modalThread = GetCurrentThreadId();
    std::atomic<bool> modalDone{false};
    std::atomic<bool> leftOpen{false};
    std::thread helper([&] {
        script();
        // The script's last press may still be on its way to the dialog.
        if (WaitUntil([&] { return modalDone.load(); })) return;
        leftOpen = true;
        DWORD start = GetTickCount();
        for (LPARAM round = 0; !modalDone && GetTickCount() - start < kCleanUpMs; ++round) {
            EnumWindows(&CloseLeftOver, round);
            Sleep(100);
        }
        if (!modalDone) {
            std::fprintf(stderr, "the script left a dialog open that nothing closes (thread %lu); "
                                 "the test program stops here\n", modalThread);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    });
    modal();
    modalDone = true;
    helper.join();
    if (leftOpen) ADD_FAILURE() << "the script left a dialog open; the clean-up closed it";
    return !leftOpen;
}

HWND WaitForDialog(const std::wstring& caption, DWORD ms, Caption match, DWORD processId) {
    DialogSearch search{processId ? processId : GetCurrentProcessId(), caption, match, nullptr};
    WaitUntil([&] {
        EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, ms);
    return search.found;
}

HWND WaitForDialog(const char* caption, DWORD ms, Caption match, DWORD processId) {
    return WaitForDialog(FromAnsi(caption), ms, match, processId);
}

HWND VisiblePage(HWND frame, int controlId) {
    PageSearch search{controlId, nullptr};
    EnumChildWindows(frame, &FindPage, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForPage(HWND frame, int controlId, DWORD ms) {
    HWND page = nullptr;
    WaitUntil([&] { return (page = VisiblePage(frame, controlId)) != nullptr; }, ms);
    return page;
}

void Click(HWND dialog, int id) {
    SendBounded(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void PostClick(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool ChooseListItem(HWND dialog, int id, const char* text) {
    return ChooseItem(dialog, GetDlgItem(dialog, id), FromAnsi(text), LB_FINDSTRINGEXACT, LB_SETCURSEL,
                      LBN_SELCHANGE);
}

bool ChooseComboItem(HWND dialog, int id, const std::wstring& text) {
    return ChooseItem(dialog, GetDlgItem(dialog, id), text, CB_FINDSTRINGEXACT, CB_SETCURSEL, CBN_SELCHANGE);
}

bool ChooseComboItem(HWND dialog, int id, const char* text) {
    return ChooseComboItem(dialog, id, FromAnsi(text));
}

bool ChooseComboItemByLabel(HWND dialog, const std::wstring& label, const std::wstring& text) {
    bool afterLabel = false;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::wstring cls = ClassOf(c);
        if (cls == L"Static") afterLabel = WideText(c) == label;
        if (cls == L"ComboBox" && afterLabel)
            return ChooseItem(dialog, c, text, CB_FINDSTRINGEXACT, CB_SETCURSEL, CBN_SELCHANGE);
    }
    return false;
}

void TypeKeys(HWND dialog, int id, const std::wstring& text) {
    HWND edit = GetDlgItem(dialog, id);
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
}

void PressKey(HWND window, WORD key) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    HWND target = info.hwndFocus ? info.hwndFocus : window;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void Settle(HWND window) {
    // A posted message is handled after those posted before it; the sent one that follows
    // returns once the thread is back in its message loop.
    PostMessageW(window, WM_NULL, 0, 0);
    Sleep(100);
    DWORD_PTR result;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result);
}

std::string Text(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    int n = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

std::string ItemText(HWND dialog, int id) {
    return Text(GetDlgItem(dialog, id));
}

std::wstring WideText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    int n = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

std::string MessageText(HWND box) {
    return ItemText(box, 0xFFFF);
}

std::wstring WideMessageText(HWND box) {
    return WideText(GetDlgItem(box, 0xFFFF));
}

std::wstring DialogTexts(HWND dialog) {
    std::wstring all;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) all += WideText(c) + L"\n";
    return all;
}

bool ItemEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool ItemChecked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::wstring> ComboItems(HWND dialog, int id, int* selected) {
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::wstring> items;
    int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        if (length < 0) continue;
        std::wstring item(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<size_t>(length));
        items.push_back(item);
    }
    if (selected) *selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    return items;
}

}  // namespace vt
