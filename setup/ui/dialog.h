// The dialog base of setup's windows: a modal dialog (DoModal) or a modeless one, such as a
// wizard page inside the frame (Create), made from a dialog template of the program's
// resources. A derived class handles messages through its message map (message_map.h) and
// its OnInitDialog; what no entry handles gets the dialog manager's default handling.
#pragma once

#include <windows.h>

#include <string>

#include "message_map.h"
#include "resource_module.h"

class CDialog {
public:
    explicit CDialog(UINT templateId) : m_templateId(templateId) {}
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally, owned by `owner`; returns what EndDialog was given, or -1
    // when the window could not be made.
    INT_PTR DoModal(HWND owner = nullptr);
    // Makes the dialog as a modeless window (a child page when the template says so).
    // False when the window could not be made, for example when the template is missing.
    bool Create(HWND parent);
    // Destroys a modeless window; ends a modal one with `result`.
    void EndDialog(INT_PTR result);
    void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    UINT TemplateId() const { return m_templateId; }
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
    std::string ItemText(int id) const;

protected:
    // Called when the window has been made and before it is shown. Return TRUE to let the
    // dialog manager give the first control the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // Enter and Escape (IDOK, IDCANCEL): end a modal dialog with that result by default.
    virtual void OnOK();
    virtual void OnCancel();

    // The class's message table; a derived class puts its base's table behind its own.
    virtual const MessageMap* GetMessageMap() const;

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    bool m_modal = false;
};
