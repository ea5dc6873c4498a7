#include "hyperlink.h"

#include <cstring>

#include "link_opening.h"
#include "window_hooks.h"

namespace {

const char kOriginalProc[] = "_Hyperlink_Original_Proc_";
const char kOriginalFont[] = "_Hyperlink_Original_Font_";
const char kUnderlineFont[] = "_Hyperlink_Underline_Font_";
const char kFromStatic[] = "_Hyperlink_From_Static_";

LinkOpener g_opener = nullptr;

void SetLinkFont(HWND control, const char* property) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropA(control, property)), FALSE);
    InvalidateRect(control, nullptr, FALSE);
}

void ShowNormal(HWND control) {
    SetLinkFont(control, kOriginalFont);
    ReleaseCapture();
}

COLORREF LinkColour(HWND) {
    return kLinkColour;
}

LRESULT CALLBACK LinkParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ColouringParentProc(hwnd, message, wParam, lParam, kOriginalProc, kFromStatic,
                               &LinkColour);
}

LRESULT CALLBACK LinkControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC original = HookedProc(hwnd, kOriginalProc);
    switch (message) {
    case WM_SETCURSOR: {
        HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
        SetCursor(hand ? hand : LoadCursor(nullptr, IDC_ARROW));
        return TRUE;
    }
    case WM_MOUSEMOVE:
        if (GetCapture() != hwnd) {
            SetLinkFont(hwnd, kUnderlineFont);
            SetCapture(hwnd);
        } else {
            POINT pointer{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ClientToScreen(hwnd, &pointer);
            RECT frame;
            GetWindowRect(hwnd, &frame);
            if (!PtInRect(&frame, pointer)) ShowNormal(hwnd);
        }
        break;
    case WM_LBUTTONDOWN: {
        auto* address = reinterpret_cast<const char*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (address) {
            (g_opener ? g_opener : &OpenLinkAsDesktopUser)(address);
            ShowNormal(hwnd);
        }
        return TRUE;
    }
    case WM_DESTROY: {
        UnhookWindow(hwnd, kOriginalProc);
        RestoreControlFont(hwnd, kOriginalFont, kUnderlineFont);
        RemovePropA(hwnd, kFromStatic);
        delete[] reinterpret_cast<char*>(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0));
        break;
    }
    }
    return CallWindowProcA(original, hwnd, message, wParam, lParam);
}

void Underline(LOGFONTA& font, const void*) {
    font.lfUnderline = TRUE;
}

// Keeps a copy of `address` in the control's user-data slot (none for an empty address).
void KeepAddress(HWND control, const char* address) {
    char* copy = nullptr;
    if (size_t length = address ? std::strlen(address) : 0) {
        copy = new char[length + 1];
        std::memcpy(copy, address, length + 1);
    }
    delete[] reinterpret_cast<char*>(
        SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(copy)));
}

}  // namespace

BOOL MakeHyperlink(HWND control, const char* address) {
    if (!control) return TRUE;
    // A link made again only takes the new address: hooking it twice would make its
    // procedure call itself.
    if (!GetPropA(control, kFromStatic)) {
        HookParentOnce(control, kOriginalProc, &LinkParentProc);
        SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
        HookWindow(control, kOriginalProc, &LinkControlProc);

        auto font = reinterpret_cast<HANDLE>(SendMessageA(control, WM_GETFONT, 0, 0));
        SetPropA(control, kOriginalFont, font);
        SetPropA(control, kUnderlineFont, CopyControlFont(control, &Underline, nullptr));
        SetPropA(control, kFromStatic, reinterpret_cast<HANDLE>(1));
        // The user-data slot of a static holds nothing of anyone else.
        SetWindowLongPtrA(control, GWLP_USERDATA, 0);
    }
    KeepAddress(control, address);
    return TRUE;
}

BOOL MakeHyperlink(HWND dialog, int controlId, const char* address) {
    return MakeHyperlink(GetDlgItem(dialog, controlId), address);
}

void ReplaceLinkOpener(LinkOpener opener) {
    g_opener = opener;
}
