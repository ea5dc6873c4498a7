#include "restart_windows.h"

#include "install_choices.h"
#include "saved_state.h"
#include "setup_copy.h"
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

std::wstring ResumeCommand(const std::wstring& modulePath) {
    return L"\"" + modulePath + L"\" " + FromAnsi(kResumeArgument);
}

const char* ResumeKey() {
    OSVERSIONINFOA version;
    bool elevation = QueryWindowsVersion(version) &&
                     version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6;
    return elevation ? kRunOnceKey : kRunKey;
}

void RegisterResume(const std::wstring& modulePath) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, FromAnsi(ResumeKey()).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    std::wstring command = ResumeCommand(modulePath);
    RegSetValueExW(key, FromAnsi(kRunValue).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

RestartCall SetRestartCall(RestartCall call) {
    RestartCall previous = g_restartCall;
    g_restartCall = call ? call : RestartThroughPlatform;
    return previous;
}

std::string ResumeStoreFile() {
    std::string program;
    ToAnsi(kSetupCopyProgramName, program);
    return SavedStateFileName(program);
}

void ForgetSavedInstallation() {
    WritePrivateProfileStringA(kSavedStateSection, nullptr, nullptr, ResumeStoreFile().c_str());
    RemoveRunEntry();
}

bool ResumeAllowed() {
    return Choices().gResumeCount < kMaxResumes;
}

bool SaveStateAndRestart() {
    if (!ResumeAllowed()) {
        ForgetSavedInstallation();
        ShowEngineMessage(kResumesExhaustedText);
        return false;
    }
    // What resumes is the copy the run installed from, never the program on the medium.
    WriteSavedState(Choices(), ResumeStoreFile());
    RegisterResume(SetupCopyProgram());
    if (AskEngineQuestion(kRestartQuestion, InstallQuestion::Restart) == IDYES) g_restartCall();
    return true;
}
