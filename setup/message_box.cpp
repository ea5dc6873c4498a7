#include "message_box.h"

#include "start_up.h"

std::string ProgramTitle() {
    std::string name = FileNameOf(ModuleFilePath());
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

int SetupMessageBox(HWND owner, const char* text, UINT type) {
    return MessageBoxA(owner, text, ProgramTitle().c_str(), type);
}
