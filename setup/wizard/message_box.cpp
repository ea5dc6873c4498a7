#include "message_box.h"

#include "start_up.h"

std::string ProgramTitle() {
    std::string name = FileNameOf(ModuleFilePath());
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

namespace {
MessageBoxHook g_messageBoxHook = nullptr;
}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    MessageBoxHook previous = g_messageBoxHook;
    g_messageBoxHook = hook;
    return previous;
}

int SetupMessageBox(HWND owner, const char* text, UINT type) {
    if (g_messageBoxHook) return g_messageBoxHook(owner, text, type);
    return MessageBoxA(owner, text, ProgramTitle().c_str(), type);
}
