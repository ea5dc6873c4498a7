#include "gui_driver.h"

#include <atomic>
#include <thread>

namespace st {

namespace {

struct DialogSearch {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM context) {
    auto& search = *reinterpret_cast<DialogSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32];
    if (pid != search.processId || !IsWindowVisible(hwnd) ||
        !GetClassNameA(hwnd, cls, sizeof cls) || lstrcmpA(cls, "#32770") != 0 ||
        Text(hwnd) != search.caption)
        return TRUE;
    search.found = hwnd;
    return FALSE;
}

BOOL CALLBACK CloseLeftOver(HWND hwnd, LPARAM) {
    if (IsWindowVisible(hwnd)) PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

struct PageSearch {
    int controlId;
    HWND found;
};

BOOL CALLBACK FindPage(HWND hwnd, LPARAM context) {
    auto& search = *reinterpret_cast<PageSearch*>(context);
    char cls[32];
    if (IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) &&
        lstrcmpA(cls, "#32770") == 0 && GetDlgItem(hwnd, search.controlId)) {
        search.found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void Drive(const std::function<void()>& modal, const std::function<void()>& script) {
    DWORD modalThread = GetCurrentThreadId();
    std::atomic<bool> modalDone{false};
    std::thread helper([&] {
        script();
        // A script that stopped early leaves its dialogs open: close them until the modal
        // part has returned.
        for (int i = 0; i < 100 && !modalDone; ++i) {
            EnumThreadWindows(modalThread, &CloseLeftOver, 0);
            Sleep(50);
        }
    });
    modal();
    modalDone = true;
    helper.join();
}

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
}

HWND WaitForDialogOf(DWORD processId, const char* caption, DWORD ms) {
    DialogSearch search{processId, caption, nullptr};
    WaitUntil([&] {
        EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, ms);
    return search.found;
}

HWND WaitForDialog(const char* caption, DWORD ms) {
    return WaitForDialogOf(GetCurrentProcessId(), caption, ms);
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
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

namespace {

// Selects the entry with that text by the control's own find and select messages, then tells
// the dialog with the notification a click gives.
bool ChooseItem(HWND dialog, int id, const char* text, UINT find, UINT select, WORD notification) {
    HWND control = GetDlgItem(dialog, id);
    LRESULT item = SendMessageA(control, find, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (item < 0) return false;
    SendMessageA(control, select, item, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(control));
    return true;
}

}  // namespace

bool ChooseListItem(HWND dialog, int id, const char* text) {
    return ChooseItem(dialog, id, text, LB_FINDSTRINGEXACT, LB_SETCURSEL, LBN_SELCHANGE);
}

bool ChooseComboItem(HWND dialog, int id, const char* text) {
    return ChooseItem(dialog, id, text, CB_FINDSTRINGEXACT, CB_SETCURSEL, CBN_SELCHANGE);
}

void PressKey(HWND window, WORD key) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    HWND target = info.hwndFocus ? info.hwndFocus : window;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

void Settle(HWND window) {
    // A posted message is handled after those posted before it; the sent one that follows
    // returns once the thread is back in its message loop.
    PostMessageA(window, WM_NULL, 0, 0);
    Sleep(100);
    DWORD_PTR result;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result);
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

bool ItemEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool ItemChecked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string MessageText(HWND box) {
    return ItemText(box, 0xFFFF);
}

}  // namespace st
