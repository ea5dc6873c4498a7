#include "page_header.h"

namespace {

const char kHeaderProperty[] = "CPageHeader";

// The header's layout in pixels: the text column starts 30 from the left and keeps 100 free
// on the right; the title starts 5 from the top and is given at least 25 of height.
constexpr int kTextLeft = 30;
constexpr int kTextRightMargin = 100;
constexpr int kTitleTop = 5;
constexpr int kTitleBottom = 30;
// The type sizes tried, in per cent of the dialog font's, until the whole text fits.
constexpr int kTypeSizes[] = {100, 90, 80, 70};

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

CPageHeader* CPageHeader::FromHandle(HWND control) {
    return static_cast<CPageHeader*>(GetPropA(control, kHeaderProperty));
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

namespace {

// A font like `base` at `percent` of its height, bold or not; null when none can be made.
HFONT ScaledFont(const LOGFONTA& base, int percent, bool bold) {
    LOGFONTA font = base;
    font.lfHeight = base.lfHeight * percent / 100;
    if (font.lfHeight == 0) font.lfHeight = base.lfHeight;
    font.lfWidth = 0;
    if (bold) font.lfWeight = FW_BOLD;
    return CreateFontIndirectA(&font);
}

// Lays title and subtitle out in `client` with `right` pixels kept free on the right; the
// bottom of the text, which may lie below the client area.
int LayOut(HDC dc, const RECT& client, int right, HFONT titleFont, HFONT textFont,
           const std::string& title, const std::string& subtitle, RECT& titleRect,
           RECT& subtitleRect) {
    titleRect = {kTextLeft, kTitleTop, client.right - right, kTitleBottom};
    HGDIOBJ previous = SelectObject(dc, titleFont);
    DrawTextA(dc, title.c_str(), -1, &titleRect, DT_WORDBREAK | DT_CALCRECT);
    SelectObject(dc, textFont);
    subtitleRect = {kTextLeft, titleRect.bottom, client.right - right, client.bottom};
    RECT needed = subtitleRect;
    DrawTextA(dc, subtitle.c_str(), -1, &needed, DT_WORDBREAK | DT_EXPANDTABS | DT_CALCRECT);
    SelectObject(dc, previous);
    return subtitle.empty() ? static_cast<int>(titleRect.bottom) : static_cast<int>(needed.bottom);
}

}  // namespace

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
    LOGFONTA base{};
    GetObjectA(guiFont, sizeof base, &base);
    HGDIOBJ deviceFont = SelectObject(dc, guiFont);
    std::string indented = "\t" + m_strSubtitle;

    // The whole text is shown: where it does not fit the band as designed, it takes the band's
    // width, then smaller type, until it does (or the smallest type is reached).
    HFONT titleFont = nullptr, textFont = nullptr;
    RECT title{}, subtitle{};
    for (int percent : kTypeSizes) {
        for (int right : {kTextRightMargin, kTextLeft}) {
            if (titleFont) DeleteObject(titleFont);
            if (textFont && textFont != guiFont) DeleteObject(textFont);
            titleFont = ScaledFont(base, percent, true);
            textFont = percent == 100 ? guiFont : ScaledFont(base, percent, false);
            if (!textFont) textFont = guiFont;
            m_textBottom = LayOut(dc, client, right, titleFont ? titleFont : guiFont, textFont,
                                  m_strTitle, indented, title, subtitle);
            if (m_textBottom <= client.bottom) break;
        }
        if (m_textBottom <= client.bottom) break;
    }
    SelectObject(dc, titleFont ? titleFont : guiFont);
    DrawTextA(dc, m_strTitle.c_str(), -1, &title, DT_WORDBREAK);
    SelectObject(dc, textFont);
    DrawTextA(dc, indented.c_str(), -1, &subtitle, DT_WORDBREAK | DT_EXPANDTABS);

    SelectObject(dc, deviceFont);
    if (titleFont) DeleteObject(titleFont);
    if (textFont && textFont != guiFont) DeleteObject(textFont);
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
