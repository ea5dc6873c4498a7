#include "window_hooks.h"

void HookWindow(HWND hwnd, const char* name, WNDPROC proc) {
    LONG_PTR previous = GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    SetPropA(hwnd, name, reinterpret_cast<HANDLE>(previous));
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

void HookParentOnce(HWND control, const char* name, WNDPROC proc) {
    HWND parent = GetParent(control);
    if (!parent) return;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(parent, GWLP_WNDPROC)) == proc) return;
    HookWindow(parent, name, proc);
}

WNDPROC UnhookWindow(HWND hwnd, const char* name) {
    WNDPROC original = HookedProc(hwnd, name);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropA(hwnd, name);
    return original;
}

WNDPROC HookedProc(HWND hwnd, const char* name) {
    auto proc = reinterpret_cast<WNDPROC>(GetPropA(hwnd, name));
    return proc ? proc : &DefWindowProcA;
}

HFONT CopyControlFont(HWND control, void (*change)(LOGFONTA& font, const void* context),
                      const void* context) {
    auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONTA description{};
    if (!GetObjectA(font, sizeof description, &description)) return nullptr;
    change(description, context);
    return CreateFontIndirectA(&description);
}

LRESULT ColouringParentProc(HWND parent, UINT message, WPARAM wParam, LPARAM lParam,
                            const char* procProperty, const char* markerProperty,
                            COLORREF (*colourOf)(HWND control)) {
    WNDPROC original = HookedProc(parent, procProperty);
    if (message == WM_DESTROY) UnhookWindow(parent, procProperty);
    LRESULT result = CallWindowProcA(original, parent, message, wParam, lParam);
    auto control = reinterpret_cast<HWND>(lParam);
    if (message == WM_CTLCOLORSTATIC && GetPropA(control, markerProperty))
        SetTextColor(reinterpret_cast<HDC>(wParam), colourOf(control));
    return result;
}

void RestoreControlFont(HWND control, const char* originalProperty, const char* ownProperty) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropA(control, originalProperty)),
                 FALSE);
    RemovePropA(control, originalProperty);
    DeleteObject(static_cast<HFONT>(GetPropA(control, ownProperty)));
    RemovePropA(control, ownProperty);
}
