#include "window_fit.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Child {
    HWND hwnd;
    RECT rect;  // in the dialog's client coordinates
};

std::vector<Child> ChildrenOf(HWND dialog) {
    std::vector<Child> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        Child c{child, {}};
        GetWindowRect(child, &c.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        children.push_back(c);
    }
    std::stable_sort(children.begin(), children.end(),
                     [](const Child& a, const Child& b) { return a.rect.top < b.rect.top; });
    return children;
}

// The height a static text control needs for its text at its width, or 0 when it is no
// text control (pictures, lines, frames) or has no text.
int NeededTextHeight(HWND control, int width) {
    char className[16] = "";
    GetClassNameA(control, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) return 0;
    LONG style = GetWindowLongA(control, GWL_STYLE);
    UINT format = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_LEFT: break;
    case SS_CENTER: format |= DT_CENTER; break;
    case SS_RIGHT: format |= DT_RIGHT; break;
    default: return 0;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    int length = GetWindowTextLengthW(control);
    if (length <= 0) return 0;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));

    HDC dc = GetDC(control);
    if (!dc) return 0;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    RECT needed{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format);
    if (previous) SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return needed.bottom - needed.top;
}

}  // namespace

void GrowWindowAboutCentre(HWND window, int dx, int dy) {
    dx = std::max(dx, 0);
    dy = std::max(dy, 0);
    if (dx == 0 && dy == 0) return;
    RECT rc;
    if (!GetWindowRect(window, &rc)) return;
    int width = rc.right - rc.left + dx;
    int height = rc.bottom - rc.top + dy;
    int left = rc.left - dx / 2;
    int top = rc.top - dy / 2;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        left = std::max(std::min(left, static_cast<int>(work.right) - width), static_cast<int>(work.left));
        top = std::max(std::min(top, static_cast<int>(work.bottom) - height), static_cast<int>(work.top));
    }
    SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FitDialogTexts(HWND dialog) {
    std::vector<Child> children = ChildrenOf(dialog);
    int grown = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        Child& text = children[i];
        int width = text.rect.right - text.rect.left;
        int height = text.rect.bottom - text.rect.top;
        int delta = NeededTextHeight(text.hwnd, width) - height;
        if (delta <= 0) continue;
        int oldBottom = text.rect.bottom;
        text.rect.bottom += delta;
        SetWindowPos(text.hwnd, nullptr, 0, 0, width, height + delta,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        // What lies below the text moves down with it; what stands beside it stays.
        for (Child& other : children) {
            if (other.hwnd == text.hwnd || other.rect.top < oldBottom) continue;
            OffsetRect(&other.rect, 0, delta);
            SetWindowPos(other.hwnd, nullptr, other.rect.left, other.rect.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        grown += delta;
    }
    GrowWindowAboutCentre(dialog, 0, grown);
}
