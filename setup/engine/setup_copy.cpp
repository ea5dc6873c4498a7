#include "setup_copy.h"

#include <windows.h>

#include "driver_install.h"
#include "medium_snapshot.h"
#include "resource.h"
#include "start_up.h"
#include "string_table.h"
#include "system_error_text.h"

namespace {

constexpr wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::wstring WithSeparator(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

// Empties the folder `folder` (ending in "\"), its sub-folders too; a link is removed, never
// followed. What an earlier medium left there must not be installed from this one.
void ClearFolder(const std::wstring& folder, int depth) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = folder + name;
        bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!link && depth < kMaxMediumDepth) ClearFolder(path + L"\\", depth + 1);
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// The medium as setup found it when it started; every copy of this process comes from it.
MediumSnapshot& HeldMedium() {
    static MediumSnapshot snapshot;
    return snapshot;
}

// The medium's folders that an installation on this Windows takes files from.
DWORD CopyMedium(const std::wstring& copy, std::wstring& failedPath) {
    // (The snapshot makes the copy's folder as it writes.)
    // What an earlier medium left in the family's folder must not be installed from this one.
    std::wstring family = FromAnsi(DriverSourceFolder());
    if (!family.empty()) ClearFolder(copy + family, 0);
    return HeldMedium().WriteTo(copy, failedPath);
}

}  // namespace

std::wstring SetupCopyFolder() {
    WCHAR value[MAX_PATH] = {};
    DWORD size = sizeof value - sizeof(WCHAR);
    DWORD type = 0;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    LONG status = RegQueryValueExW(key, L"ProgramFilesDir", nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || value[0] == 0) return {};
    std::wstring folder = value;
    if (type == REG_EXPAND_SZ) {
        WCHAR expanded[MAX_PATH];
        DWORD n = ExpandEnvironmentStringsW(value, expanded, MAX_PATH);
        if (n == 0 || n > MAX_PATH) return {};
        folder = expanded;
    }
    return WithSeparator(folder) + kSetupCopyFolderName + L"\\";
}

std::wstring LongPath(const std::wstring& path) {
    DWORD n = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::wstring result(n, L'\0');
    n = GetLongPathNameW(path.c_str(), result.data(), n);
    if (n == 0 || n >= result.size()) return path;
    result.resize(n);
    return result;
}

std::wstring SetupCopyProgram() {
    std::wstring folder = SetupCopyFolder();
    return folder.empty() ? folder : folder + kSetupCopyProgramName;
}

bool IsSetupCopy(const std::wstring& programPath) {
    std::wstring copy = SetupCopyProgram();
    return !copy.empty() && !programPath.empty() &&
           lstrcmpiW(LongPath(programPath).c_str(), LongPath(copy).c_str()) == 0;
}

void HoldSetupMedium(const std::wstring& medium) {
    HeldMedium().Take(medium, ModuleFilePathW(), kSetupCopyProgramName,
                      FromAnsi(ResourceString(IDS_LICENCE_FILE)), FromAnsi(DriverSourceFolder()));
}

bool PrepareSetupCopy(InstallChoices& choices) {
    std::wstring copy = SetupCopyFolder();
    bool runsAsCopy = IsSetupCopy(ModuleFilePathW());
    // Whatever named the program to resume could have named any program: only the copy
    // goes on, as only an administrator could have put it there.
    if (choices.gbResume && !runsAsCopy) {
        ShowEngineMessage(kResumeRefusedText);
        return false;
    }
    if (copy.empty()) {
        ShowEngineMessage(kCopyFailedText);
        return false;
    }
    if (!runsAsCopy) {
        // A run that did not hold the medium from its start (one driven without the
        // wizard) holds it now.
        MediumSnapshot& held = HeldMedium();
        if (!held.Taken() || lstrcmpiW(held.Medium().c_str(), choices.gstrMediumDir.c_str()) != 0)
            HoldSetupMedium(choices.gstrMediumDir);
        std::wstring failed;
        if (DWORD error = CopyMedium(copy, failed)) {
            std::string path;
            ToAnsi(failed, path);
            ShowEngineMessage(std::string(kCopyFailedText) + "\n" + path + "\n" + SystemErrorText(error));
            return false;
        }
    }
    // The engine names its files in the ANSI code page; the copy's folder is the system's.
    std::string folder;
    if (!ToAnsi(copy, folder)) {
        ShowEngineMessage(kCopyFailedText);
        return false;
    }
    choices.gstrSetupDir = folder;
    return true;
}
