#include "printer_name_page.h"

#include "command_options.h"

#include "install_choices.h"
#include "resource.h"

CPrinterNamePage::CPrinterNamePage(WizardNavigation& frame)
    : CWizardPage(IDD_PRINTER_NAME_PAGE, frame) {}

const MessageMap* CPrinterNamePage::GetMessageMap() const {
    static const MessageEntry entries[] = {
        OnCommand<&CPrinterNamePage::OnNameChange>(IDC_PRINTER_NAME, EN_CHANGE),
        OnClicked<&CPrinterNamePage::OnShared>(IDC_SHARED),
        OnClicked<&CPrinterNamePage::OnNotShared>(IDC_NOT_SHARED),
    };
    static const MessageMap map(CWizardPage::GetMessageMap(), entries);
    return &map;
}

BOOL CPrinterNamePage::OnInitDialog() {
    m_header.SubclassDlgItem(IDC_PAGE_HEADER, m_hWnd);
    const InstallChoices& choices = Choices();
    // The share name starts as the printer's name, for the user to shorten if need be: the
    // page does not judge names, the spooler does when the printer is added.
    // A prepared installation opens with the command line's name, sharing and default.
    const SetupOptions& prepared = CommandOptions();
    const std::string& name = prepared.name.empty() ? choices.PrinterInfo.PrinterName : prepared.name;
    if (choices.gpModel || !prepared.name.empty()) {
        SetDlgItemTextA(m_hWnd, IDC_PRINTER_NAME, name.c_str());
        SetDlgItemTextA(m_hWnd, IDC_SHARE_NAME, prepared.share.empty() ? name.c_str() : prepared.share.c_str());
    }
    CheckRadioButton(m_hWnd, IDC_DEFAULT_YES, IDC_DEFAULT_NO,
                     prepared.noDefault ? IDC_DEFAULT_NO : IDC_DEFAULT_YES);
    CheckRadioButton(m_hWnd, IDC_NOT_SHARED, IDC_SHARED,
                     prepared.share.empty() ? IDC_NOT_SHARED : IDC_SHARED);
    if (!prepared.share.empty()) OnShared();
    return TRUE;
}

void CPrinterNamePage::OnNameChange() {
    // A printer needs a name; anything else about it is the spooler's to refuse.
    EnableWindow(Item(IDC_NEXT), GetWindowTextLengthA(Item(IDC_PRINTER_NAME)) > 0);
}

void CPrinterNamePage::OnShared() {
    EnableWindow(Item(IDC_SHARE_NAME), IsDlgButtonChecked(m_hWnd, IDC_SHARED) == BST_CHECKED);
}

void CPrinterNamePage::OnNotShared() {
    EnableWindow(Item(IDC_SHARE_NAME), IsDlgButtonChecked(m_hWnd, IDC_NOT_SHARED) != BST_CHECKED);
}

void CPrinterNamePage::OnNext() {
    InstallChoices& choices = Choices();
    choices.gbDefaultPrinter = IsDlgButtonChecked(m_hWnd, IDC_DEFAULT_YES) == BST_CHECKED;
    choices.PrinterInfo.PrinterName = ItemText(IDC_PRINTER_NAME);
    // An empty share name leaves the printer unshared, as "Do not share" does.
    choices.PrinterInfo.ShareName =
        IsDlgButtonChecked(m_hWnd, IDC_SHARED) == BST_CHECKED ? ItemText(IDC_SHARE_NAME) : "";
    m_frame.ShowNextPage();
}
