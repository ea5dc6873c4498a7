// Links and tinted labels on a dialog of their own, and the page header band.
#include <gtest/gtest.h>

#include "dialog.h"
#include "hyperlink.h"
#include "link_opening.h"
#include "page_header.h"
#include "test_dialogs.h"
#include "tinted_label.h"

namespace {

// The host's own colour handling: red text and a brush of its own for every static.
HBRUSH g_hostBrush = nullptr;
INT_PTR CALLBACK HostProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_CTLCOLORSTATIC) {
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
        return reinterpret_cast<INT_PTR>(g_hostBrush);
    }
    return message == WM_INITDIALOG;
}

class Links : public ::testing::Test {
protected:
    void SetUp() override {
        g_hostBrush = CreateSolidBrush(RGB(1, 2, 3));
        host = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(IDD_LINK_HOST), nullptr, &HostProc, 0);
        ASSERT_TRUE(host);
        ShowWindow(host, SW_SHOW);
        dc = CreateCompatibleDC(nullptr);
        ReplaceLinkOpener(&Record);
        opened.clear();
    }
    void TearDown() override {
        ReplaceLinkOpener(nullptr);
        if (IsWindow(host)) DestroyWindow(host);
        DeleteDC(dc);
        DeleteObject(g_hostBrush);
    }
    HWND Item(int id) const { return GetDlgItem(host, id); }
    // What the host answers a static's colour request with, and the text colour it leaves.
    std::pair<LRESULT, COLORREF> Colour(int id) {
        SetTextColor(dc, RGB(9, 9, 9));
        LRESULT brush = SendMessageA(host, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(Item(id)));
        return {brush, GetTextColor(dc)};
    }
    HFONT Font(int id) { return reinterpret_cast<HFONT>(SendMessageA(Item(id), WM_GETFONT, 0, 0)); }
    static LOGFONTA Describe(HFONT font) {
        LOGFONTA lf{};
        GetObjectA(font, sizeof lf, &lf);
        return lf;
    }
    static void Record(const char* address) { opened.push_back(address); }

    HWND host = nullptr;
    HDC dc = nullptr;
    static inline std::vector<std::string> opened;
};

LPARAM At(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

// The fonts this process holds, counted in the GDI handle table: Wine resolves a handle by its
// table index alone when the handle's upper half is zero. (GetGuiResources, which Windows
// offers for counting, gives 0 under Wine.)
int LiveFonts() {
    int fonts = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index)
        fonts += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) == OBJ_FONT;
    return fonts;
}

}  // namespace

TEST_F(Links, LinksAreBlueAndLabelsTheirOwnColourWhateverTheHostSays) {
    WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(host, GWLP_WNDPROC));
    EXPECT_TRUE(MakeTintedLabel(host, IDC_LABEL, TRUE, FALSE, FALSE, RGB(0, 128, 0)));
    WNDPROC afterLabel = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(host, GWLP_WNDPROC));
    EXPECT_TRUE(MakeHyperlink(host, IDC_LINK_A, "https://a.example/"));
    EXPECT_TRUE(MakeHyperlink(host, IDC_LINK_B, "https://b.example/"));
    EXPECT_TRUE(MakeHyperlink(Item(IDC_LINK_C), "mailto:c@c.example"));

    // Each kind hooked the host once, the links behind the label.
    EXPECT_EQ(GetPropA(host, "_Static_Customized_Original_Proc_"), reinterpret_cast<HANDLE>(original));
    EXPECT_EQ(GetPropA(host, "_Hyperlink_Original_Proc_"), reinterpret_cast<HANDLE>(afterLabel));
    EXPECT_NE(afterLabel, original);

    for (int id : {IDC_LINK_A, IDC_LINK_B, IDC_LINK_C}) {
        auto [brush, colour] = Colour(id);
        EXPECT_EQ(brush, reinterpret_cast<LRESULT>(g_hostBrush)) << id;
        EXPECT_EQ(colour, kLinkColour) << id;
        EXPECT_TRUE(GetWindowLongPtrA(Item(id), GWL_STYLE) & SS_NOTIFY) << id;
    }
    auto [labelBrush, labelColour] = Colour(IDC_LABEL);
    EXPECT_EQ(labelBrush, reinterpret_cast<LRESULT>(g_hostBrush));
    EXPECT_EQ(labelColour, RGB(0, 128, 0));
    EXPECT_EQ(Colour(IDC_PLAIN).second, RGB(255, 0, 0)) << "other statics keep the host's colour";
}

TEST_F(Links, ALinkUnderlinesWhileTheMouseIsOverItAndOpensItsAddressWhenClicked) {
    MakeHyperlink(host, IDC_LINK_A, "https://a.example/");
    HWND link = Item(IDC_LINK_A);
    HFONT normal = Font(IDC_LINK_A);
    EXPECT_FALSE(Describe(normal).lfUnderline);

    EXPECT_TRUE(SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), HTCLIENT));
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));

    SendMessageA(link, WM_MOUSEMOVE, 0, At(3, 3));
    EXPECT_TRUE(Describe(Font(IDC_LINK_A)).lfUnderline);
    EXPECT_EQ(GetCapture(), link);
    SendMessageA(link, WM_MOUSEMOVE, 0, At(5, 4));
    EXPECT_TRUE(Describe(Font(IDC_LINK_A)).lfUnderline) << "still over the link";

    RECT rect;
    GetClientRect(link, &rect);
    SendMessageA(link, WM_MOUSEMOVE, 0, At(rect.right + 20, 3));
    EXPECT_EQ(Font(IDC_LINK_A), normal);
    EXPECT_EQ(GetCapture(), nullptr);

    SendMessageA(link, WM_MOUSEMOVE, 0, At(3, 3));
    EXPECT_TRUE(SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3)));
    EXPECT_EQ(opened, (std::vector<std::string>{"https://a.example/"}));
    EXPECT_EQ(Font(IDC_LINK_A), normal);
    EXPECT_EQ(GetCapture(), nullptr);

    // Made again it only takes the new address; without one a click does nothing.
    MakeHyperlink(host, IDC_LINK_A, "");
    EXPECT_TRUE(SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3)));
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(Colour(IDC_LINK_A).second, kLinkColour);
}

TEST_F(Links, LabelsGetTheFontVariantAskedFor) {
    LOGFONTA before = Describe(Font(IDC_LABEL));
    MakeTintedLabel(host, IDC_LABEL, FALSE, TRUE, TRUE, RGB(0, 0, 0));
    LOGFONTA after = Describe(Font(IDC_LABEL));
    EXPECT_EQ(after.lfWeight, before.lfWeight);
    EXPECT_TRUE(after.lfItalic);
    EXPECT_TRUE(after.lfUnderline);
    EXPECT_STREQ(after.lfFaceName, before.lfFaceName);
    MakeTintedLabel(host, IDC_PLAIN, TRUE, FALSE, FALSE, RGB(0, 0, 255));
    EXPECT_EQ(Describe(Font(IDC_PLAIN)).lfWeight, FW_BOLD);
    EXPECT_FALSE(Describe(Font(IDC_PLAIN)).lfItalic);
}

TEST_F(Links, DestroyingTheDialogLeavesNoFontBehind) {
    // Once, so that the objects the first dialog of a process makes for good are made.
    MakeHyperlink(host, IDC_LINK_A, "x");
    DestroyWindow(host);
    int fontsBefore = LiveFonts();
    host = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(IDD_LINK_HOST), nullptr, &HostProc, 0);
    ASSERT_TRUE(host);
    int fontsOfTheDialog = LiveFonts();

    MakeTintedLabel(host, IDC_LABEL, TRUE, FALSE, FALSE, RGB(0, 0, 0));
    MakeTintedLabel(host, IDC_PLAIN, TRUE, TRUE, FALSE, RGB(0, 0, 0));
    for (int id : {IDC_LINK_A, IDC_LINK_B, IDC_LINK_C}) MakeHyperlink(host, id, "https://a.example/");
    std::vector<HGDIOBJ> made;
    for (int id : {IDC_LABEL, IDC_PLAIN}) made.push_back(GetPropA(Item(id), "_Static_Customized_Font_"));
    for (int id : {IDC_LINK_A, IDC_LINK_B, IDC_LINK_C}) made.push_back(GetPropA(Item(id), "_Hyperlink_Underline_Font_"));
    for (HGDIOBJ font : made) ASSERT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    // The count sees them: one font for each label and each link, and no other.
    EXPECT_EQ(LiveFonts(), fontsOfTheDialog + static_cast<int>(made.size()));

    DestroyWindow(host);
    for (HGDIOBJ font : made) EXPECT_EQ(GetObjectType(font), 0u) << "every font made is deleted";
    EXPECT_EQ(LiveFonts(), fontsBefore) << "no font is left behind";
}

TEST(PageHeader, SplitsItsTextIntoTitleAndSubtitleWhenPainted) {
    HWND host = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(IDD_LINK_HOST), nullptr, &HostProc, 0);
    ASSERT_TRUE(host);
    ShowWindow(host, SW_SHOW);
    {
        CPageHeader header;
        ASSERT_TRUE(header.SubclassDlgItem(IDC_HEADER, host));
        EXPECT_EQ(header.Title(), "") << "both empty until painted";
        UpdateWindow(host);
        RedrawWindow(header.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(header.Title(), "Title");
        EXPECT_EQ(header.Subtitle(), "Subtitle of the band");
    }
    {
        SetDlgItemTextA(host, IDC_PLAIN, "A title alone");
        CPageHeader header;
        ASSERT_TRUE(header.SubclassDlgItem(IDC_PLAIN, host));
        RedrawWindow(header.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(header.Title(), "A title alone");
        EXPECT_EQ(header.Subtitle(), "");
    }
    EXPECT_FALSE(CPageHeader().SubclassDlgItem(12345, host));
    DestroyWindow(host);
}

namespace {

std::vector<std::string> g_here, g_desktop;
bool g_desktopAnswers = true;
void OpenHere(const char* address) { g_here.push_back(address); }
bool OpenThroughDesktop(const char* address) {
    g_desktop.push_back(address);
    return g_desktopAnswers;
}

}  // namespace

// Wine runs every process elevated, as setup runs on Windows: a click hands the address to the
// desktop's shell, and when that cannot take it, nothing opens it from here.
TEST_F(Links, AClickWhileElevatedNeverOpensTheAddressFromThisProcess) {
    ASSERT_TRUE(RunsElevated()) << "this lane runs elevated, as setup does";
    ReplaceLinkOpener(nullptr);
    ShellRoutes previous = ReplaceShellRoutes({&OpenHere, &OpenThroughDesktop});
    g_here.clear();
    g_desktop.clear();
    MakeHyperlink(host, IDC_LINK_A, "https://a.example/");
    for (bool answers : {true, false}) {
        g_desktopAnswers = answers;
        SendMessageA(Item(IDC_LINK_A), WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
    }
    ReplaceShellRoutes(previous);
    EXPECT_EQ(g_desktop, std::vector<std::string>(2, "https://a.example/"));
    EXPECT_EQ(g_here, std::vector<std::string>{}) << "opened with this process's token";
}
