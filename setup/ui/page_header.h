// The header band at the top of a wizard page: a static control of the page template that
// draws its own window text, the first line as a bold title and the rest, one tab stop in,
// as the subtitle, on the window colour; always whole, in less width or smaller type where
// the band is too small for it as designed.
#pragma once

#include <windows.h>

#include <string>

class CPageHeader {
public:
    CPageHeader() = default;
    ~CPageHeader();
    CPageHeader(const CPageHeader&) = delete;
    CPageHeader& operator=(const CPageHeader&) = delete;

    // Takes over the drawing of control `id` of `parent`. False when there is no such control.
    bool SubclassDlgItem(int id, HWND parent);

    const std::string& Title() const { return m_strTitle; }
    const std::string& Subtitle() const { return m_strSubtitle; }
    HWND GetSafeHwnd() const { return m_hWnd; }
    // Where the text drawn last ends, in client pixels (below the client area when cut).
    int TextBottom() const { return m_textBottom; }
    // The header that draws `control`, or null.
    static CPageHeader* FromHandle(HWND control);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Unsubclass();
    // Takes title and subtitle from the window text while either is still empty.
    void SplitWindowText();
    void OnPaint();

    HWND m_hWnd = nullptr;
    WNDPROC m_originalProc = nullptr;
    std::string m_strTitle;
    std::string m_strSubtitle;
    int m_textBottom = 0;
};
