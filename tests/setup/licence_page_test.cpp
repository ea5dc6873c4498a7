// The licence page: the licence from the setup folder, accepting and declining, and the
// notice when the licence cannot be shown.
#include <gtest/gtest.h>

#include "install_choices.h"
#include "licence_file.h"
#include "resource.h"
#include "setup_fixture.h"
#include "start_up.h"
#include "string_table.h"
#include "wizard_test.h"

using namespace st;

namespace {

struct LicenceView {
    std::string licence;
    std::string instruction;
    bool acceptEnabled = false;
    bool nextEnabledAfterAccept = false;
    bool nextEnabledAfterDecline = true;
};

// Opens the wizard on `setupDir`, looks at the licence page, accepts (when it can) and
// declines again.
LicenceView ViewLicence(const std::string& setupDir) {
    FreshChoices();
    Choices().gstrMediumDir = FromAnsi(setupDir);
    LicenceView view;
    CSetupDlg frame;
    RunWizard(frame, [&](HWND wizard) {
        HWND page = wizard ? WaitForPage(wizard, IDC_ACCEPT) : nullptr;
        ASSERT_TRUE(page);
        EXPECT_TRUE(ItemChecked(page, IDC_DECLINE));
        EXPECT_FALSE(ItemChecked(page, IDC_ACCEPT));
        EXPECT_FALSE(ItemEnabled(page, IDC_NEXT));
        EXPECT_FALSE(GetDlgItem(page, IDC_BACK)) << "the first page has no Back";
        view.licence = ItemText(page, IDC_LICENCE_TEXT);
        view.instruction = ItemText(page, IDC_INSTRUCTION);
        view.acceptEnabled = ItemEnabled(page, IDC_ACCEPT);
        if (view.acceptEnabled) Click(page, IDC_ACCEPT);
        view.nextEnabledAfterAccept = ItemEnabled(page, IDC_NEXT);
        Click(page, IDC_DECLINE);
        view.nextEnabledAfterDecline = ItemEnabled(page, IDC_NEXT);
        Click(page, IDC_PAGE_CANCEL);
    });
    return view;
}

// The control shows paragraphs ended by CR; compare texts without line ends.
std::string WithoutLineEnds(std::string text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

}  // namespace

TEST(LicencePage, ShowsTheShippedLicenceAndGoesOnOnlyWhenAccepted) {
    LicenceView view = ViewLicence(ProgramFolder());
    EXPECT_EQ(view.licence.rfind("VESK SYSTEMS LTD - SOFTWARE LICENCE AGREEMENT", 0), 0u) << view.licence.substr(0, 80);
    EXPECT_EQ(WithoutLineEnds(view.instruction), ResourceString(IDS_LICENCE_INSTRUCTION));
    EXPECT_TRUE(view.acceptEnabled);
    EXPECT_TRUE(view.nextEnabledAfterAccept);
    EXPECT_FALSE(view.nextEnabledAfterDecline);
}

TEST(LicencePage, WithoutTheLicenceFileTheTermsCannotBeAccepted) {
    LicenceView view = ViewLicence(SetupFolderWithLicence("no-licence", "", false));
    EXPECT_EQ(WithoutLineEnds(view.licence), "Licence File Not Found!");
    EXPECT_FALSE(view.acceptEnabled);
    EXPECT_FALSE(view.nextEnabledAfterAccept);
    EXPECT_FALSE(view.nextEnabledAfterDecline);
}

TEST(LicencePage, AnEmptyLicenceCanBeAccepted) {
    LicenceView view = ViewLicence(SetupFolderWithLicence("empty", "", true));
    EXPECT_EQ(view.licence, "");
    EXPECT_TRUE(view.nextEnabledAfterAccept);
}

TEST(LicencePage, RichTextInTheFileIsShownAsItsCharacters) {
    const std::string rtf = "{\\rtf1\\ansi {\\b Bold?} \\par}";
    LicenceView view = ViewLicence(SetupFolderWithLicence("rtf", rtf, true));
    EXPECT_EQ(view.licence, rtf);
}

TEST(LicencePage, TextEndsAtTheFirstNulByte) {
    LicenceView view = ViewLicence(SetupFolderWithLicence("nul", std::string("Terms\0hidden", 12), true));
    EXPECT_EQ(view.licence, "Terms");
}

TEST(LicencePage, ALongLicenceIsShownWhole) {
    std::string text;
    for (int i = 0; text.size() < 100000; ++i) text += "Clause " + std::to_string(i) + " of the terms. ";
    LicenceView view = ViewLicence(SetupFolderWithLicence("long", text, true));
    EXPECT_EQ(view.licence.size(), text.size());
    EXPECT_EQ(view.licence.substr(view.licence.size() - 40), text.substr(text.size() - 40));
}

TEST(LicencePage, AFileTooLargeForALicenceIsNotReadAndBlocksAcceptance) {
    std::string folder = SetupFolderWithLicence("huge", "", true);
    HANDLE file = CreateFileA((folder + "licence\\KVT_Lic.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;  // 3 GiB, sparse
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);

    // The whole wizard run, on a machine that may be busy: reading 3 GiB would take longer,
    // and the texts below tell that nothing was read.
    DWORD start = GetTickCount();
    LicenceView view = ViewLicence(folder);
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(WithoutLineEnds(view.licence), "Licence File Not Found!");
    EXPECT_FALSE(view.acceptEnabled);
    EXPECT_FALSE(view.nextEnabledAfterAccept);

    std::string text;
    std::string atLimit(kMaxLicenceBytes, 'x');
    EXPECT_TRUE(ReadLicenceFile(FromAnsi(SetupFolderWithLicence("limit", atLimit, true) + "licence\\KVT_Lic.txt"), text));
    EXPECT_EQ(text.size(), kMaxLicenceBytes);
    EXPECT_FALSE(ReadLicenceFile(FromAnsi(SetupFolderWithLicence("over", atLimit + "x", true) + "licence\\KVT_Lic.txt"), text));
}
