#include "restart_windows.h"

#include "install_choices.h"
#include "saved_state.h"
#include "start_up.h"
#include "system_error_text.h"
#include "windows_family.h"

namespace {

// On Windows NT a process may restart the machine only once it has switched on the right
// to, which every administrator holds but no process has on by default.
void EnableShutdownRight() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
}

void RestartThroughPlatform() {
    OSVERSIONINFOA version;
    if (QueryWindowsVersion(version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT)
        EnableShutdownRight();
    ExitWindowsEx(EWX_REBOOT, 0);
}

RestartCall g_restartCall = RestartThroughPlatform;

}  // namespace

std::string ResumeCommand(const std::string& modulePath) {
    return "\"" + modulePath + "\" " + kResumeArgument;
}

const char* ResumeKey() {
    OSVERSIONINFOA version;
    bool elevation = QueryWindowsVersion(version) &&
                     version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6;
    return elevation ? kRunOnceKey : kRunKey;
}

void RegisterResume(const std::string& modulePath) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ResumeKey(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    std::string command = ResumeCommand(modulePath);
    RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
}

RestartCall SetRestartCall(RestartCall call) {
    RestartCall previous = g_restartCall;
    g_restartCall = call ? call : RestartThroughPlatform;
    return previous;
}

void SaveStateAndRestart() {
    std::string program = ModuleFilePath();
    WriteSavedState(Choices(), SavedStateFileName(program));
    RegisterResume(program);
    if (AskEngineQuestion(kRestartQuestion) == IDYES) g_restartCall();
}
