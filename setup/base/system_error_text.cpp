#include "system_error_text.h"

#include "install_front_end.h"

std::string SystemErrorText(DWORD code) {
    std::string text;
    char* system = nullptr;
    auto format = [&](DWORD language) {
        return FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                  FORMAT_MESSAGE_IGNORE_INSERTS,
                              nullptr, code, language, reinterpret_cast<LPSTR>(&system), 0,
                              nullptr);
    };
    // The neutral default language first; where the system has no text in it, whichever
    // language it has one in.
    if (format(MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)) || format(0)) {
        text = system;
        LocalFree(system);
    } else {
        text = "Error " + std::to_string(code) + ".";
    }
    if (code == ERROR_ACCESS_DENIED) text += kAdministratorHint;
    return text;
}

int EngineMessage(const std::string& text, UINT type) {
    return CurrentFrontEnd().Ask(text, type);
}

void ShowSystemError(DWORD code) {
    EngineMessage(SystemErrorText(code), MB_OK);
}

void ShowEngineMessage(const std::string& text) {
    EngineMessage(text, MB_OK);
}

int AskEngineQuestion(const std::string& text) {
    return EngineMessage(text, MB_YESNO);
}
