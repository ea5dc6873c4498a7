// veskportdlg: shows setup's port settings dialog on its own, as the installation shows it
// when the printer does not answer at the chosen settings, and prints what it gave back.
//   veskportdlg [PORT [SETTINGS]]   for example: veskportdlg COM1 19200,e,7,1
#include <windows.h>

#include <cstdio>

#include "port_settings_dlg.h"
#include "setup_app.h"

int main(int argc, char** argv) {
    const char* port = argc > 1 ? argv[1] : "COM1";
    const char* settings = argc > 2 ? argv[2] : "19200,e,7,1";
    CSetupApp::PrepareControls();
    COMMCONFIG config{};
    config.dwSize = sizeof config;
    config.dcb.DCBlength = sizeof config.dcb;
    BuildCommDCBA(settings, &config.dcb);
    CPortSettingsDlg dialog(port, &config);
    if (dialog.DoModal() != IDOK) {
        std::printf("Cancel: the configuration stays %s\n", settings);
        return 0;
    }
    const char parity[] = "noems";
    std::printf("Proceed: %lu,%c,%u,%s\n", config.dcb.BaudRate,
                config.dcb.Parity < 5 ? parity[config.dcb.Parity] : '?', config.dcb.ByteSize,
                config.dcb.StopBits == TWOSTOPBITS ? "2" : config.dcb.StopBits == ONE5STOPBITS ? "1.5" : "1");
    return 0;
}
