// Replacing the window procedure of a control or of its parent, with the replaced procedure
// kept in a named window property, as the link and tinted-label controls do.
#pragma once

#include <windows.h>

// Installs `proc` on `hwnd` and keeps the procedure it replaces in property `name`.
void HookWindow(HWND hwnd, const char* name, WNDPROC proc);
// Installs `proc` on the parent of `control` unless the parent's procedure is `proc` already,
// so that a parent is hooked once however many controls it holds.
void HookParentOnce(HWND control, const char* name, WNDPROC proc);
// Puts back the procedure kept in property `name` and removes the property; returns it.
WNDPROC UnhookWindow(HWND hwnd, const char* name);
// The procedure kept in property `name` (DefWindowProc if there is none).
WNDPROC HookedProc(HWND hwnd, const char* name);

// The parent procedure's part that links and labels share: passes the message to the
// procedure kept in `procProperty`; for WM_CTLCOLORSTATIC of a static that carries
// `markerProperty` then sets the text colour `colourOf(static)`; on WM_DESTROY first puts the
// kept procedure back.
LRESULT ColouringParentProc(HWND parent, UINT message, WPARAM wParam, LPARAM lParam,
                            const char* procProperty, const char* markerProperty,
                            COLORREF (*colourOf)(HWND control));

// Puts back the font kept in `originalProperty` (without redrawing), deletes the control's
// own font kept in `ownProperty`, and removes both properties.
void RestoreControlFont(HWND control, const char* originalProperty, const char* ownProperty);

// A font copied from the control's font (the system font when it has none), changed by
// `change`. The caller owns it.
HFONT CopyControlFont(HWND control, void (*change)(LOGFONTA& font, const void* context),
                      const void* context);
