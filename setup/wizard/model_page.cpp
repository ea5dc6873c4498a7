#include "model_page.h"

#include "command_options.h"

#include "install_choices.h"
#include "message_box.h"
#include "resource.h"
#include "string_table.h"

CModelPage::CModelPage(WizardNavigation& frame) : CWizardPage(IDD_MODEL_PAGE, frame) {}

const MessageMap* CModelPage::GetMessageMap() const {
    static const MessageEntry entries[] = {
        OnCommand<&CModelPage::OnSelectionChange>(IDC_MODEL_LIST, LBN_SELCHANGE),
    };
    static const MessageMap map(CWizardPage::GetMessageMap(), entries);
    return &map;
}

BOOL CModelPage::OnInitDialog() {
    m_header.SubclassDlgItem(IDC_PAGE_HEADER, m_hWnd);
    HWND list = Item(IDC_MODEL_LIST);
    const ModelCatalogue& models = Choices().gModels;
    for (size_t i = 0; i < models.size(); ++i) {
        LRESULT item = SendMessageA(list, LB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(models[i]->pName.c_str()));
        if (item >= 0) SendMessageA(list, LB_SETITEMDATA, item, static_cast<LPARAM>(i));
    }
    // A prepared installation opens with its model chosen.
    const std::string& prepared = CommandOptions().model;
    LRESULT chosen =
        prepared.empty() ? LB_ERR
                         : SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(prepared.c_str()));
    if (chosen != LB_ERR) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    EnableWindow(Item(IDC_NEXT), chosen != LB_ERR);
    return TRUE;
}

void CModelPage::OnSelectionChange() {
    EnableWindow(Item(IDC_NEXT), SendMessageA(Item(IDC_MODEL_LIST), LB_GETCURSEL, 0, 0) != LB_ERR);
}

void CModelPage::OnNext() {
    InstallChoices& choices = Choices();
    HWND list = Item(IDC_MODEL_LIST);
    LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
    LRESULT index = item == LB_ERR ? -1 : SendMessageA(list, LB_GETITEMDATA, item, 0);
    if (index < 0 || static_cast<size_t>(index) >= choices.gModels.size()) {
        SetupMessageBox(m_hWnd, ResourceString(IDS_SELECT_MODEL).c_str());
        return;
    }
    choices.gModelIndex = static_cast<int>(index);
    choices.gpModel = choices.gModels[static_cast<size_t>(index)].get();
    choices.PrinterInfo.DriverName = choices.gpModel->pName;
    m_frame.ShowNextPage();
}
