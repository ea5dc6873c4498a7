#include "system_error_text.h"

#include "install_front_end.h"
#include "setup_log.h"

namespace {

const char* ButtonName(int button) {
    switch (button) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "none";
    }
}

}  // namespace

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

int EngineMessage(const std::string& text, UINT type, InstallQuestion kind) {
    if ((type & MB_TYPEMASK) == MB_OK) {
        LogLine("message: " + text);
        return CurrentFrontEnd().AskQuestion(kind, text, type);
    }
    LogLine("question: " + text);
    int answer = CurrentFrontEnd().AskQuestion(kind, text, type);
    LogLine(std::string("answer: ") + ButtonName(answer));
    return answer;
}

void ShowSystemError(DWORD code) {
    EngineMessage(SystemErrorText(code), MB_OK);
}

void ShowEngineMessage(const std::string& text) {
    EngineMessage(text, MB_OK);
}

int AskEngineQuestion(const std::string& text, InstallQuestion kind) {
    return EngineMessage(text, MB_YESNO, kind);
}
