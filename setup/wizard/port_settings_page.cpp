#include "port_settings_page.h"

#include "command_options.h"

#include <vector>

#include "install_choices.h"
#include "line_setting_boxes.h"
#include "resource.h"
#include "settings.h"

const char kPortSettingsHeader[] =
    "Printer Port Settings\n"
    "Vesk Systems Printers are normally supplied pre-set to operate using the default settings "
    "shown below.\nIn most cases you should press Next without making any changes.\n\tIf you "
    "want to operate the printer using different settings, enter the changes below and then "
    "press Next.";

CPortSettingsPage::CPortSettingsPage(WizardNavigation& frame)
    : CWizardPage(IDD_PORT_SETTINGS_PAGE, frame) {}

const MessageMap* CPortSettingsPage::GetMessageMap() const {
    static const MessageEntry entries[] = {
        OnClicked<&CPortSettingsPage::OnRestoreDefaults>(IDC_RESTORE_DEFAULTS),
        OnCommand<&CPortSettingsPage::UpdateNext>(IDC_COM_PORT, CBN_SELCHANGE),
    };
    static const MessageMap map(CWizardPage::GetMessageMap(), entries);
    return &map;
}

BOOL CPortSettingsPage::OnInitDialog() {
    m_header.SubclassDlgItem(IDC_PAGE_HEADER, m_hWnd);
    SetDlgItemTextA(m_hWnd, IDC_PAGE_HEADER, kPortSettingsHeader);
    FillComPorts();
    FillLineSettingBoxes(m_hWnd);
    SelectByText(Item(IDC_COM_PORT), "COM1:");
    SelectLineDefaults(m_hWnd);
    // A prepared installation opens with the command line's choices.
    const SetupOptions& prepared = CommandOptions();
    if (!prepared.port.empty()) SelectByText(Item(IDC_COM_PORT), prepared.port.c_str());
    if (!prepared.settings.empty()) SelectLineSettings(m_hWnd, prepared.settings);
    if (prepared.noConfirm) CheckDlgButton(m_hWnd, IDC_NO_CONFIRM, BST_CHECKED);
    // Without a port there is nothing to install on: the page says so and goes no further.
    bool none = SendMessageA(Item(IDC_COM_PORT), CB_GETCOUNT, 0, 0) <= 0;
    ShowWindow(Item(IDC_NO_COM_PORT), none ? SW_SHOW : SW_HIDE);
    UpdateNext();
    return TRUE;
}

bool CPortSettingsPage::PortChosen() {
    return SendMessageA(Item(IDC_COM_PORT), CB_GETCURSEL, 0, 0) != CB_ERR;
}

void CPortSettingsPage::UpdateNext() {
    EnableWindow(Item(IDC_NEXT), PortChosen());
}

void CPortSettingsPage::FillComPorts() {
    DWORD chars = GetComPorts(nullptr, 0);
    if (chars == 0) return;
    std::vector<char> list(chars + 1, '\0');
    // The profile may have grown between the two reads; what does not fit is left out.
    GetComPorts(list.data(), chars);
    HWND combo = Item(IDC_COM_PORT);
    const char* first = nullptr;
    for (const char* name = list.data(); name < list.data() + chars && *name;
         name += lstrlenA(name) + 1) {
        if (!first) first = name;
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    // The list is sorted; the profile's first port is the one chosen when COM1: is absent.
    if (first) SelectByText(combo, first);
}

void CPortSettingsPage::OnRestoreDefaults() {
    SelectLineDefaults(m_hWnd);
}

void CPortSettingsPage::OnNext() {
    if (!PortChosen()) return;
    InstallChoices& choices = Choices();
    choices.gbTalkToPrinter = IsDlgButtonChecked(m_hWnd, IDC_NO_CONFIRM) != BST_CHECKED;
    choices.gstrPort = SelectedText(Item(IDC_COM_PORT));
    choices.gstrSettings = LineSettingsText(m_hWnd);
    m_frame.ShowNextPage();
}
