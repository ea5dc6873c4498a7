#include "setup_fixture.h"

#include <gtest/gtest.h>

#include "install_choices.h"
#include "saved_state.h"
#include "setup_app.h"
#include "start_up.h"
#include "test_env.h"

namespace st {

void FreshChoices(const char* commandLine) {
    CSetupApp::PrepareControls();
    Choices() = InstallChoices{};
    StartInstallChoices(Choices(), commandLine, ModuleFilePath());
}

std::string ProgramFolder() {
    return FolderOf(ModuleFilePath());
}

std::string RunFolder(const char* name) {
    std::string folder = vt::Narrow(vt::RunDir()) + name + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string SetupFolderWithLicence(const char* name, const std::string& text, bool withLicence) {
    std::string folder = RunFolder(name);
    if (withLicence) {
        std::string licence = folder + "licence\\";
        CreateDirectoryA(licence.c_str(), nullptr);
        HANDLE file = CreateFileA((licence + "KVT_Lic.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    return folder;
}

std::optional<std::string> RunEntry() {
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data);
}

void SetRunEntry(const char* data) {
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   lstrlenA(data) + 1);
    RegCloseKey(key);
}

void DeleteRunEntry() {
    RemoveRunEntry();
}

RunEntryGuard::~RunEntryGuard() {
    if (saved_)
        SetRunEntry(saved_->c_str());
    else
        DeleteRunEntry();
}

std::string StoreFile() {
    return SavedStateFileName(ModuleFilePath());
}

void SaveValue(const char* key, const char* value) {
    WritePrivateProfileStringA(kSavedStateSection, key, value, StoreFile().c_str());
}

void RemoveStore() {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, StoreFile().c_str());  // flush
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    DeleteFileA((std::string(windows) + "\\" + StoreFile()).c_str());
}

}  // namespace st

namespace {

// Windows lists its COM ports in win.ini's [ports]; Wine lists none, and the port page goes on
// only with a port chosen. Every run of these tests starts with COM1: there, as Windows has it
// (setup.exe started by a test reads the same profile); a test that wants others sets its own.
class ComPortListed : public ::testing::Environment {
public:
    void SetUp() override { WriteProfileStringA("ports", "COM1:", "9600,n,8,1"); }
};

const ::testing::Environment* const kComPortListed =
    ::testing::AddGlobalTestEnvironment(new ComPortListed);

}  // namespace
