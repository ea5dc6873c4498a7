#include "message_front_end.h"

#include "message_box.h"
#include "port_settings_dlg.h"

int MessageFrontEnd::Ask(const std::string& text, UINT type) {
    return SetupMessageBox(nullptr, text.c_str(), type);
}

bool MessageFrontEnd::AskPortSettings(const std::string& portName, COMMCONFIG& config) {
    CPortSettingsDlg present(portName.c_str(), &config, nullptr);
    return present.DoModal() == IDOK;
}
