// Setup's windows stay whole whatever fonts the machine gives them: every page lies inside
// the wizard frame, which stays centred, and no text of the port settings dialog or of the
// please-wait window is cut. The lanes run these tests twice: with Windows' proportions
// (the frame's font wider than the pages') and with the pages' font as wide as the frame's.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialog.h"
#include "install_choices.h"
#include "page_header.h"
#include "please_wait_dlg.h"
#include "port_settings_page.h"
#include "port_settings_dlg.h"
#include "resource.h"
#include "setup_fixture.h"
#include "window_fit.h"
#include "wizard_test.h"

using namespace st;

namespace {

RECT ScreenRect(HWND window) {
    RECT rc{};
    GetWindowRect(window, &rc);
    return rc;
}

RECT ClientOnScreen(HWND window) {
    RECT rc{};
    GetClientRect(window, &rc);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

::testing::AssertionResult Inside(const RECT& inner, const RECT& outer) {
    if (inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
        inner.bottom <= outer.bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << inner.left << "," << inner.top << ")-(" << inner.right << "," << inner.bottom
           << ") is not inside (" << outer.left << "," << outer.top << ")-(" << outer.right << ","
           << outer.bottom << ")";
}

// The window is centred on the work area of its monitor, to the pixel that halving allows.
::testing::AssertionResult Centred(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT rc = ScreenRect(window);
    const RECT& work = monitor.rcWork;
    long dx = (rc.left + rc.right) - (work.left + work.right);
    long dy = (rc.top + rc.bottom) - (work.top + work.bottom);
    if (dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "off the work area's centre by (" << dx / 2.0 << ","
                                         << dy / 2.0 << ") pixels";
}

std::wstring WindowTextW(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

// The height the platform needs to draw a static text's lines in its control's width and font.
int LinesHeight(HWND control) {
    std::wstring text = WindowTextW(control);
    RECT rc{};
    GetClientRect(control, &rc);
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, rc.right, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return needed.bottom;
}

bool IsText(HWND control) {
    char cls[16] = "";
    GetClassNameA(control, cls, sizeof cls);
    LONG type = GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK;
    return lstrcmpiA(cls, "Static") == 0 && type <= SS_RIGHT && GetWindowTextLengthW(control) > 0;
}

// Every text of `dialog` shows all its lines, every control lies inside the client area, and
// no two controls overlap (a text that grew pushed what was below it down).
void ExpectWhole(HWND dialog) {
    RECT client = ClientOnScreen(dialog);
    std::vector<HWND> children;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    ASSERT_FALSE(children.empty());
    int texts = 0;
    for (HWND c : children) {
        RECT rc = ScreenRect(c);
        EXPECT_TRUE(Inside(rc, client)) << "control " << GetDlgCtrlID(c);
        if (IsText(c)) {
            ++texts;
            RECT inner{};
            GetClientRect(c, &inner);
            EXPECT_LE(LinesHeight(c), inner.bottom)
                << "the text \"" << WindowTextW(c).substr(0, 40).c_str() << "...\" is cut";
        }
        for (HWND other : children) {
            if (other <= c) continue;
            RECT a = ScreenRect(c), b = ScreenRect(other), both{};
            EXPECT_FALSE(IntersectRect(&both, &a, &b))
                << "controls " << GetDlgCtrlID(c) << " and " << GetDlgCtrlID(other) << " overlap";
        }
    }
    EXPECT_GT(texts, 0);
}

HWND ToNextPage(HWND wizard, HWND page, int controlOfNext) {
    Click(page, IDC_NEXT);
    return WaitForPage(wizard, controlOfNext);
}

}  // namespace

TEST(WindowFit, EveryPageLiesInsideTheFrameWhichStaysCentred) {
    FreshChoices();
    CSetupDlg frame;
    RunWizard(frame, [&](HWND wizard) {
        ASSERT_TRUE(wizard);
        // Never smaller than its template says.
        RECT templateSize{0, 0, 398, 303};
        MapDialogRect(wizard, &templateSize);
        RECT client{};
        GetClientRect(wizard, &client);
        EXPECT_GE(client.right, templateSize.right);
        EXPECT_GE(client.bottom, templateSize.bottom);
        // With fonts of Windows' proportions the pages fit the frame as its template made it.
        char fonts[16] = "";
        GetEnvironmentVariableA("VESK_TEST_FONTS", fonts, sizeof fonts);
        const bool windowsFonts = lstrcmpA(fonts, "wide") != 0;

        HWND separator = GetDlgItem(wizard, IDC_SEPARATOR);
        HWND page = WaitForPage(wizard, IDC_ACCEPT);
        ASSERT_TRUE(page);
        Click(page, IDC_ACCEPT);
        struct Step { const char* name; int control; } steps[] = {
            {"licence", IDC_ACCEPT}, {"port settings", IDC_COM_PORT}, {"model", IDC_MODEL_LIST}};
        for (size_t i = 0; i < std::size(steps); ++i) {
            if (i > 0) page = ToNextPage(wizard, page, steps[i].control);
            ASSERT_TRUE(page) << steps[i].name;
            RECT pageRect = ScreenRect(page), line = ScreenRect(separator);
            EXPECT_EQ(pageRect.left, line.right + CSetupDlg::kPageGap) << steps[i].name;
            EXPECT_EQ(pageRect.top, line.top) << steps[i].name;
            EXPECT_TRUE(Inside(pageRect, ClientOnScreen(wizard))) << "the " << steps[i].name << " page";
            EXPECT_GE(line.bottom, pageRect.bottom) << "the separator runs beside the whole page";
            EXPECT_TRUE(Centred(wizard)) << steps[i].name;
            if (windowsFonts) {
                GetClientRect(wizard, &client);
                EXPECT_EQ(client.right, templateSize.right) << "no growth where none is needed";
                EXPECT_EQ(client.bottom, templateSize.bottom) << "no growth where none is needed";
            }
        }
        PostMessageA(wizard, WM_CLOSE, 0, 0);
    });
}

TEST(WindowFit, EveryPageHeaderShowsItsWholeText) {
    HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 900, 800, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_TRUE(host);
    for (int id : {IDD_PORT_SETTINGS_PAGE, IDD_MODEL_PAGE, IDD_EXISTING_DRIVER_PAGE,
                   IDD_PRINTER_NAME_PAGE, IDD_TEST_PAGE_PAGE, IDD_FINISH_PAGE}) {
        HWND page = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(id), host,
                                       [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        ASSERT_TRUE(page) << id;
        // The port page's header text is its own, longer than the template's.
        if (id == IDD_PORT_SETTINGS_PAGE) SetDlgItemTextA(page, IDC_PAGE_HEADER, kPortSettingsHeader);
        CPageHeader header;
        ASSERT_TRUE(header.SubclassDlgItem(IDC_PAGE_HEADER, page));
        ShowWindow(page, SW_SHOW);
        RedrawWindow(header.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT client{};
        GetClientRect(header.GetSafeHwnd(), &client);
        EXPECT_GT(header.TextBottom(), 0) << "page " << id;
        EXPECT_LE(header.TextBottom(), client.bottom) << "page " << id << ": its header is cut";
        DestroyWindow(page);
    }
    DestroyWindow(host);
}

TEST(WindowFit, ThePortSettingsDialogShowsEveryTextWhole) {
    CPortSettingsDlg dialog("COM1:", nullptr);
    bool seen = false;
    Drive([&] { dialog.DoModal(); }, [&] {
        HWND window = WaitForDialog("COM1");
        if (!window) return;
        seen = true;
        ExpectWhole(window);
        EXPECT_TRUE(Centred(window));
        Click(window, IDCANCEL);
    });
    EXPECT_TRUE(seen);
}

TEST(WindowFit, ThePleaseWaitWindowShowsItsTextWhole) {
    CPleaseWaitDlg wait;
    ASSERT_TRUE(wait.Create(nullptr));
    HWND window = wait.GetSafeHwnd();
    ExpectWhole(window);
    EXPECT_TRUE(Centred(window));
    HWND text = GetDlgItem(window, IDC_PLEASE_WAIT_TEXT);
    EXPECT_EQ(WindowTextW(text), L"Attempting to install the printer  -  Please wait");
    wait.DestroyWindow();
}

namespace {

// The rectangle of control `id` in the dialog's client coordinates.
RECT ItemRect(HWND dialog, int id) {
    RECT rc = ScreenRect(GetDlgItem(dialog, id));
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

int Height(const RECT& rc) { return rc.bottom - rc.top; }

// The height of a line of text in the font of `window`.
int LineHeight(HWND window) {
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return tm.tmHeight;
}

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

TEST(WindowFit, TextsGrowToTheirLinesAndPushWhatIsBelowThemOnce) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SHORT_TEXTS),
                                     nullptr, PlainDialog, 0);
    ASSERT_TRUE(dialog);
    const int ids[] = {IDC_TEXT_FOUR_LINES, IDC_TEXT_TWO_LINES, IDC_BESIDE, IDC_BOX,
                       IDC_TEXT_IN_BOX, IDC_BELOW};
    std::vector<RECT> before;
    for (int id : ids) before.push_back(ItemRect(dialog, id));
    RECT clientBefore{};
    GetClientRect(dialog, &clientBefore);
    RECT windowBefore = ScreenRect(dialog);

    // A line of text is the font's height: the texts' own line breaks fix how many lines each
    // needs, whatever the font's widths.
    const int line = LineHeight(dialog);
    ASSERT_GT(line, 0);
    ASSERT_LT(Height(before[0]), 2 * line) << "the template gives each text one line";

    FitDialogTexts(dialog);

    const int four = 4 * line - Height(before[0]);
    const int two = 2 * line - Height(before[1]);
    const int three = 3 * line - Height(before[4]);
    RECT fourLines = ItemRect(dialog, IDC_TEXT_FOUR_LINES), twoLines = ItemRect(dialog, IDC_TEXT_TWO_LINES);
    EXPECT_EQ(fourLines.top, before[0].top);
    EXPECT_EQ(Height(fourLines), 4 * line);
    EXPECT_EQ(twoLines.top, before[1].top);
    EXPECT_EQ(Height(twoLines), 2 * line);
    RECT beside = ItemRect(dialog, IDC_BESIDE);
    EXPECT_TRUE(EqualRect(&before[2], &beside)) << "a button beside the texts stays";
    // Below the texts in a row: moved once, by the larger growth.
    RECT box = ItemRect(dialog, IDC_BOX), inBox = ItemRect(dialog, IDC_TEXT_IN_BOX);
    EXPECT_EQ(box.top, before[3].top + std::max(four, two));
    EXPECT_EQ(inBox.top, before[4].top + four);
    EXPECT_EQ(Height(inBox), 3 * line);
    EXPECT_EQ(Height(box), Height(before[3]) + three) << "the box grows around its text";
    RECT below = ItemRect(dialog, IDC_BELOW);
    EXPECT_EQ(below.top, before[5].top + four + three);
    EXPECT_EQ(Height(below), Height(before[5]));

    RECT clientAfter{};
    GetClientRect(dialog, &clientAfter);
    EXPECT_EQ(clientAfter.right, clientBefore.right);
    EXPECT_EQ(clientAfter.bottom, clientBefore.bottom + four + three) << "the margin below stays";
    RECT windowAfter = ScreenRect(dialog);
    EXPECT_EQ(windowAfter.top + windowAfter.bottom, windowBefore.top + windowBefore.bottom + ((four + three) & 1))
        << "grown about its centre";
    DestroyWindow(dialog);
}

TEST(WindowFit, ThePortSettingsDialogsFirstTextShowsAllItsLines) {
    // Five line breaks: six lines at the least, the first sentence wrapped to more.
    CPortSettingsDlg dialog("COM1:", nullptr);
    Drive([&] { dialog.DoModal(); }, [&] {
        HWND window = WaitForDialog("COM1");
        ASSERT_TRUE(window);
        HWND first = GetWindow(window, GW_CHILD);
        EXPECT_GE(Height(ScreenRect(first)), 6 * LineHeight(first));
        Click(window, IDCANCEL);
    });
}

// Runs the wizard with a page of template `templateId` first, and `script` once that page
// shows; then closes the wizard.
void WithFirstPage(UINT templateId, const std::function<void(HWND wizard, HWND page)>& script) {
    FreshChoices();
    CSetupDlg frame;
    frame.SetPage(CSetupDlg::kLicencePage, std::make_unique<CWizardPage>(templateId, frame));
    RunWizard(frame, [&](HWND wizard) {
        ASSERT_TRUE(wizard);
        HWND page = WaitForPage(wizard, IDC_STAND_IN_TEXT);
        ASSERT_TRUE(page);
        script(wizard, page);
        PostMessageA(wizard, WM_CLOSE, 0, 0);
    });
}

// The separator's distance to the bottom of the frame's client area.
LONG SeparatorMargin(HWND wizard) {
    RECT line = ScreenRect(GetDlgItem(wizard, IDC_SEPARATOR));
    return ClientOnScreen(wizard).bottom - line.bottom;
}

TEST(WindowFit, AFrameGrowsToAPageLargerThanItsTemplate) {
    LONG templateMargin = -1;
    WithFirstPage(IDD_STAND_IN_PAGE, [&](HWND wizard, HWND) { templateMargin = SeparatorMargin(wizard); });
    ASSERT_GE(templateMargin, 0);

    WithFirstPage(IDD_LARGE_PAGE, [&](HWND wizard, HWND page) {
        RECT templateSize{0, 0, 398, 303};
        MapDialogRect(wizard, &templateSize);
        RECT line = ScreenRect(GetDlgItem(wizard, IDC_SEPARATOR));
        MapWindowPoints(nullptr, wizard, reinterpret_cast<POINT*>(&line), 2);
        RECT pageRect = ScreenRect(page);
        const int gap = CSetupDlg::kPageGap;
        RECT client{};
        GetClientRect(wizard, &client);
        // Exactly as large as the page needs, with the gap's margin right of and below it.
        EXPECT_EQ(client.right, std::max<LONG>(templateSize.right, line.right + gap + (pageRect.right - pageRect.left) + gap));
        EXPECT_EQ(client.bottom, std::max<LONG>(templateSize.bottom, line.top + Height(pageRect) + gap));
        EXPECT_GT(client.right, templateSize.right);
        EXPECT_GT(client.bottom, templateSize.bottom);
        EXPECT_TRUE(Inside(pageRect, ClientOnScreen(wizard)));
        EXPECT_EQ(SeparatorMargin(wizard), templateMargin) << "the separator grows with the frame";
        EXPECT_TRUE(Centred(wizard));
    });
}

TEST(WindowFit, AFrameLargerThanTheScreenStaysOnItsTopLeft) {
    WithFirstPage(IDD_HUGE_PAGE, [&](HWND wizard, HWND page) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoA(MonitorFromWindow(wizard, MONITOR_DEFAULTTONEAREST), &monitor);
        RECT rc = ScreenRect(wizard);
        ASSERT_GT(rc.right - rc.left, monitor.rcWork.right - monitor.rcWork.left) << "a page wider than the screen";
        EXPECT_EQ(rc.left, monitor.rcWork.left);
        EXPECT_EQ(rc.top, monitor.rcWork.top) << "the caption stays reachable";
        EXPECT_TRUE(Inside(ScreenRect(page), ClientOnScreen(wizard)));
    });
}
