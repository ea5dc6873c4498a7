#include "dialog.h"

CDialog::~CDialog() {
    // A modeless window must not outlive its object: its procedure would reach freed memory.
    if (m_hWnd && !m_modal) ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal(HWND owner) {
    m_modal = true;
    INT_PTR result = DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(m_templateId), owner,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

bool CDialog::Create(HWND parent) {
    if (m_hWnd) return true;
    m_modal = false;
    HWND hwnd = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(m_templateId), parent,
                                   &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
    if (!m_hWnd) return;
    if (m_modal)
        ::EndDialog(m_hWnd, result);
    else
        ::DestroyWindow(m_hWnd);
}

void CDialog::DestroyWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

std::string CDialog::ItemText(int id) const {
    HWND item = Item(id);
    int length = item ? GetWindowTextLengthA(item) : 0;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    if (length > 0) length = GetWindowTextA(item, text.data(), length + 1);
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    return text;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

const MessageMap* CDialog::GetMessageMap() const {
    static const MessageEntry entries[] = {
        OnClicked<&CDialog::OnOK>(IDOK),
        OnClicked<&CDialog::OnCancel>(IDCANCEL),
    };
    static const MessageMap map(nullptr, entries);
    return &map;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const MessageEntry* entry = GetMessageMap()->Find(message, wParam))
        return entry->thunk(*this, wParam, lParam);
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->m_hWnd = hwnd;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    // Messages before WM_INITDIALOG (WM_SETFONT) have no object yet.
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        return FALSE;
    }
    return self->Dispatch(message, wParam, lParam);
}
