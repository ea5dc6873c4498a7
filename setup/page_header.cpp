#include "page_header.h"

namespace {

const char kHeaderProperty[] = "CPageHeader";

// The header's layout in pixels: the text column starts 30 from the left and keeps 100 free
// on the right; the title starts 5 from the top and is given at least 25 of height.
constexpr int kTextLeft = 30;
constexpr int kTextRightMargin = 100;
constexpr int kTitleTop = 5;
constexpr int kTitleBottom = 30;

}  // namespace

CPageHeader::~CPageHeader() {
    Unsubclass();
}

bool CPageHeader::SubclassDlgItem(int id, HWND parent) {
    HWND control = GetDlgItem(parent, id);
    if (!control || m_hWnd) return control && m_hWnd == control;
    m_hWnd = control;
    SetPropA(control, kHeaderProperty, this);
    m_originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
    return true;
}

void CPageHeader::Unsubclass() {
    if (!m_hWnd) return;
    SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_originalProc));
    RemovePropA(m_hWnd, kHeaderProperty);
    m_hWnd = nullptr;
}

void CPageHeader::SplitWindowText() {
    if (!m_strTitle.empty() && !m_strSubtitle.empty()) return;
    int length = GetWindowTextLengthA(m_hWnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = GetWindowTextA(m_hWnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    size_t lineBreak = text.find('\n');
    if (lineBreak == std::string::npos) {
        m_strTitle = text;
    } else {
        m_strTitle = text.substr(0, lineBreak);
        m_strSubtitle = text.substr(lineBreak + 1);
    }
}

void CPageHeader::OnPaint() {
    SplitWindowText();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(m_hWnd, &client);
    COLORREF window = GetSysColor(COLOR_WINDOW);
    HBRUSH background = CreateSolidBrush(window);
    FillRect(dc, &client, background);
    DeleteObject(background);
    SetBkColor(dc, window);

    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA bold{};
    GetObjectA(guiFont, sizeof bold, &bold);
    bold.lfWeight = FW_BOLD;
    HFONT titleFont = CreateFontIndirectA(&bold);
    HGDIOBJ deviceFont = SelectObject(dc, titleFont ? titleFont : guiFont);

    RECT title{kTextLeft, kTitleTop, client.right - kTextRightMargin, kTitleBottom};
    DrawTextA(dc, m_strTitle.c_str(), -1, &title, DT_WORDBREAK | DT_CALCRECT);
    DrawTextA(dc, m_strTitle.c_str(), -1, &title, DT_WORDBREAK);

    SelectObject(dc, guiFont);
    RECT subtitle{kTextLeft, title.bottom, client.right - kTextRightMargin, client.bottom};
    std::string indented = "\t" + m_strSubtitle;
    DrawTextA(dc, indented.c_str(), -1, &subtitle, DT_WORDBREAK | DT_EXPANDTABS);

    SelectObject(dc, deviceFont);
    if (titleFont) DeleteObject(titleFont);
    EndPaint(m_hWnd, &ps);
}

LRESULT CALLBACK CPageHeader::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CPageHeader*>(GetPropA(hwnd, kHeaderProperty));
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        self->OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;  // the paint fills the whole band
    case WM_NCDESTROY: {
        WNDPROC original = self->m_originalProc;
        self->Unsubclass();
        return CallWindowProcA(original, hwnd, message, wParam, lParam);
    }
    default:
        return CallWindowProcA(self->m_originalProc, hwnd, message, wParam, lParam);
    }
}
