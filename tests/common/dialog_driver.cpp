#include "dialog_driver.h"

#include <vector>

namespace vt {

namespace {

struct Search {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[32], text[256];
    if (pid != GetCurrentProcessId() || !IsWindowVisible(w)) return TRUE;
    GetClassNameW(w, cls, 32);
    GetWindowTextW(w, text, 256);
    if (lstrcmpW(cls, L"#32770") == 0 && std::wstring(text).find(s->caption) != std::wstring::npos) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

std::vector<HWND> Children(HWND dialog) {
    std::vector<HWND> list;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) list.push_back(c);
    return list;
}

std::wstring Text(HWND w) {
    wchar_t buf[1024];
    GetWindowTextW(w, buf, 1024);
    return buf;
}

std::wstring Class(HWND w) {
    wchar_t buf[64];
    GetClassNameW(w, buf, 64);
    return buf;
}

}  // namespace

HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        Search s{caption};
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

std::wstring DialogTexts(HWND dialog) {
    std::wstring all;
    for (HWND c : Children(dialog)) all += Text(c) + L"\n";
    return all;
}

bool ClickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) return false;
    PostMessageW(button, BM_CLICK, 0, 0);
    return true;
}

bool SelectByLabel(HWND dialog, const std::wstring& label, const std::wstring& item) {
    bool afterLabel = false;
    for (HWND c : Children(dialog)) {
        std::wstring cls = Class(c);
        if (cls == L"Static") afterLabel = Text(c) == label;
        if (cls == L"ComboBox" && afterLabel) {
            LRESULT i = SendMessageW(c, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(item.c_str()));
            if (i == CB_ERR) return false;
            SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(c));
            return true;
        }
    }
    return false;
}

void TypeKeys(HWND dialog, int id, const std::wstring& text) {
    HWND edit = GetDlgItem(dialog, id);
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
}

std::vector<std::wstring> ComboItems(HWND dialog, int id, int* selected) {
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::wstring> items;
    int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        if (length < 0) continue;
        std::wstring item(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&item[0]));
        item.resize(static_cast<size_t>(length));
        items.push_back(item);
    }
    if (selected) *selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    return items;
}

DialogScript::DialogScript(std::function<void()> script) : script_(std::move(script)) {
    thread_ = CreateThread(nullptr, 0, [](void* p) -> DWORD {
        static_cast<DialogScript*>(p)->script_();
        return 0;
    }, this, 0, nullptr);
}

DialogScript::~DialogScript() {
    if (thread_) {
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
    }
}

bool DialogScript::Join(DWORD timeoutMs) {
    return WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace vt
