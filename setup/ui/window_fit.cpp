#include "window_fit.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Child {
    HWND hwnd;
    RECT rect;       // as laid out by the template, in the dialog's client coordinates
    int grow = 0;    // extra height the control needs (a text) or gets (a box around one)
    int shift = 0;   // how far it moves down
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

// The extra height a static text control needs to show every line of its text at its
// width, drawn as the control draws it; 0 for anything else (pictures, lines, frames, texts
// that show one line by design).
int MissingTextHeight(HWND control) {
    char className[16] = "";
    GetClassNameA(control, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) return 0;
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (style & (SS_CENTERIMAGE | SS_ELLIPSISMASK)) return 0;
    UINT format = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_LEFT: break;
    case SS_CENTER: format |= DT_CENTER; break;
    case SS_RIGHT: format |= DT_RIGHT; break;
    default: return 0;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    if (style & SS_EDITCONTROL) format |= DT_EDITCONTROL;
    int length = GetWindowTextLengthW(control);
    if (length <= 0) return 0;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));

    // The text is drawn inside the client area; borders take the rest of the window.
    RECT client{};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    if (!dc) return 0;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    RECT needed{0, 0, client.right, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format);
    if (previous) SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return std::max(0, static_cast<int>(needed.bottom - client.bottom));
}

bool Encloses(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
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
    bool any = false;
    for (Child& c : children) {
        c.grow = MissingTextHeight(c.hwnd);
        any = any || c.grow > 0;
    }
    if (!any) return;

    // Top to bottom: a control moves down as far as the lowest new bottom of the grown texts
    // above it, so two texts side by side move what lies below them once, by the larger
    // growth; a box around a grown text grows with it.
    LONG oldLowest = 0, newLowest = 0;
    for (Child& c : children) {
        for (const Child& t : children) {
            if (&t == &c || t.grow == 0 || t.rect.bottom > c.rect.top) continue;
            c.shift = std::max(c.shift, t.shift + t.grow);
        }
    }
    for (Child& c : children) {
        for (const Child& t : children) {
            if (&t == &c || t.grow == 0 || !Encloses(c.rect, t.rect)) continue;
            c.grow = std::max(c.grow, t.shift + t.grow - c.shift);
        }
    }
    for (Child& c : children) {
        int width = c.rect.right - c.rect.left;
        int height = c.rect.bottom - c.rect.top;
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (c.grow == 0) flags |= SWP_NOSIZE;
        if (c.shift == 0) flags |= SWP_NOMOVE;
        if (c.grow || c.shift)
            SetWindowPos(c.hwnd, nullptr, c.rect.left, c.rect.top + c.shift, width, height + c.grow, flags);
        oldLowest = std::max(oldLowest, c.rect.bottom);
        newLowest = std::max(newLowest, c.rect.bottom + c.shift + c.grow);
    }
    GrowWindowAboutCentre(dialog, 0, newLowest - oldLowest);
}
