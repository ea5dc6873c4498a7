#include "licence_page.h"

#include <richedit.h>

#include "install_choices.h"
#include "licence_file.h"
#include "message_box.h"
#include "resource.h"
#include "rich_edit_feed.h"
#include "start_up.h"
#include "string_table.h"

const char kLicenceMissingText[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}"
    "{\\colortbl ;\\red255\\green0\\blue0;}\\viewkind4\\uc1\\pard\\cf1\\b\\f0\\fs36 "
    "\\par\\fs20\\par\\cf0 Licence File Not Found!\\par\\cf0\\b0\\par}";

CLicencePage::CLicencePage(WizardNavigation& frame) : CWizardPage(IDD_LICENCE_PAGE, frame) {}

const MessageMap* CLicencePage::GetMessageMap() const {
    static const MessageEntry entries[] = {
        OnClicked<&CLicencePage::OnAccept>(IDC_ACCEPT),
        OnClicked<&CLicencePage::OnDecline>(IDC_DECLINE),
    };
    static const MessageMap map(CWizardPage::GetMessageMap(), entries);
    return &map;
}

BOOL CLicencePage::OnInitDialog() {
    CheckDlgButton(m_hWnd, IDC_DECLINE, BST_CHECKED);
    CheckDlgButton(m_hWnd, IDC_ACCEPT, BST_UNCHECKED);
    EnableWindow(Item(IDC_NEXT), FALSE);

    HWND licence = Item(IDC_LICENCE_TEXT);
    SendMessageA(licence, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
    SendMessageA(licence, EM_SETTEXTMODE, TM_RICHTEXT | TM_MULTICODEPAGE, 0);
    // The control's default limit would cut a licence of more than 32767 characters.
    SendMessageA(licence, EM_EXLIMITTEXT, 0, kMaxLicenceBytes);
    HWND instruction = Item(IDC_INSTRUCTION);
    SendMessageA(instruction, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));

    std::string text;
    if (!LoadResourceString(IDS_LICENCE_INSTRUCTION, text))
        SetupMessageBox(m_hWnd, "Error loading string");
    FeedRichEdit(instruction, text, SF_TEXT);

    std::wstring path = Choices().gstrMediumDir + FromAnsi(ResourceString(IDS_LICENCE_FILE));
    if (ReadLicenceFile(path, m_strLicence)) {
        FeedRichEdit(licence, m_strLicence, SF_TEXT);
    } else {
        m_strLicence = kLicenceMissingText;
        FeedRichEdit(licence, m_strLicence, SF_RTF);
        EnableWindow(Item(IDC_ACCEPT), FALSE);
    }
    return TRUE;
}

void CLicencePage::OnAccept() {
    EnableWindow(Item(IDC_NEXT), TRUE);
}

void CLicencePage::OnDecline() {
    EnableWindow(Item(IDC_NEXT), FALSE);
}
