#include "tinted_label.h"

#include "window_hooks.h"

namespace {

const char kOriginalProc[] = "_Static_Customized_Original_Proc_";
const char kOriginalFont[] = "_Static_Customized_Original_Font_";
const char kFont[] = "_Static_Customized_Font_";
const char kColour[] = "_Static_Customized_Color_";
const char kCustomized[] = "_Static_Customized_";

struct FontChange {
    BOOL bold, italic, underline;
};

void ApplyChange(LOGFONTA& font, const void* context) {
    const auto& change = *static_cast<const FontChange*>(context);
    if (change.bold) font.lfWeight = FW_BOLD;
    if (change.italic) font.lfItalic = TRUE;
    if (change.underline) font.lfUnderline = TRUE;
}

COLORREF LabelColour(HWND control) {
    return static_cast<COLORREF>(reinterpret_cast<UINT_PTR>(GetPropA(control, kColour)));
}

LRESULT CALLBACK LabelParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ColouringParentProc(hwnd, message, wParam, lParam, kOriginalProc, kCustomized,
                               &LabelColour);
}

LRESULT CALLBACK LabelControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC original = HookedProc(hwnd, kOriginalProc);
    if (message == WM_DESTROY) {
        UnhookWindow(hwnd, kOriginalProc);
        RestoreControlFont(hwnd, kOriginalFont, kFont);
        RemovePropA(hwnd, kColour);
        RemovePropA(hwnd, kCustomized);
    }
    return CallWindowProcA(original, hwnd, message, wParam, lParam);
}

}  // namespace

BOOL MakeTintedLabel(HWND control, BOOL bold, BOOL italic, BOOL underline, COLORREF colour) {
    if (!control) return TRUE;
    // A label made again takes the new colour only: hooking it twice would make its
    // procedure call itself.
    if (!GetPropA(control, kCustomized)) {
        HookParentOnce(control, kOriginalProc, &LabelParentProc);
        SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
        HookWindow(control, kOriginalProc, &LabelControlProc);

        SetPropA(control, kOriginalFont,
                 reinterpret_cast<HANDLE>(SendMessageA(control, WM_GETFONT, 0, 0)));
        FontChange change{bold, italic, underline};
        HFONT font = CopyControlFont(control, &ApplyChange, &change);
        SetPropA(control, kFont, font);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SetPropA(control, kColour, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(colour)));
    SetPropA(control, kCustomized, reinterpret_cast<HANDLE>(1));
    return TRUE;
}

BOOL MakeTintedLabel(HWND dialog, int controlId, BOOL bold, BOOL italic, BOOL underline,
                     COLORREF colour) {
    return MakeTintedLabel(GetDlgItem(dialog, controlId), bold, italic, underline, colour);
}
