#include "setup_copy.h"

#include <windows.h>

#include "driver_install.h"
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

// The long form of `path`, for comparing; the path itself when it does not exist.
std::wstring LongPath(const std::wstring& path) {
    DWORD n = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::wstring result(n, L'\0');
    n = GetLongPathNameW(path.c_str(), result.data(), n);
    if (n == 0 || n >= result.size()) return path;
    result.resize(n);
    return result;
}

// Copies the folder `from` into `to` (both ending in "\"), its sub-folders too. Links to
// elsewhere are not followed: the copy holds what the medium itself holds.
DWORD CopyFolder(const std::wstring& from, const std::wstring& to, int depth) {
    if (!CreateDirectoryW(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return GetLastError();
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((from + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = 0;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth < kMaxCopyDepth) error = CopyFolder(from + name + L"\\", to + name + L"\\", depth + 1);
        } else if (!CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE)) {
            error = GetLastError();
        }
    } while (error == 0 && FindNextFileW(find, &entry));
    FindClose(find);
    return error;
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
            if (!link && depth < kMaxCopyDepth) ClearFolder(path + L"\\", depth + 1);
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// The medium's folders that an installation on this Windows takes files from.
DWORD CopyMedium(const std::wstring& medium, const std::wstring& copy) {
    std::wstring program = ModuleFilePathW();
    if (program.empty()) return GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
    if (!CreateDirectoryW(copy.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return GetLastError();
    if (!CopyFileW(program.c_str(), (copy + kSetupCopyProgramName).c_str(), FALSE))
        return GetLastError();
    std::wstring licence = FromAnsi(ResourceString(IDS_LICENCE_FILE));
    std::wstring licenceFolder = FolderOf(licence);
    // The licence only shows: one missing from the medium is not the copy's concern.
    if (!licenceFolder.empty()) CreateDirectoryW((copy + licenceFolder).c_str(), nullptr);
    CopyFileW((medium + licence).c_str(), (copy + licence).c_str(), FALSE);
    // The family's folder ("win2000\i386\" and the like): created a level at a time.
    std::wstring family = FromAnsi(DriverSourceFolder());
    if (family.empty()) return 0;
    for (size_t at = family.find(L'\\'); at != std::wstring::npos && at + 1 < family.size();
         at = family.find(L'\\', at + 1))
        CreateDirectoryW((copy + family.substr(0, at + 1)).c_str(), nullptr);
    ClearFolder(copy + family, 0);
    return CopyFolder(medium + family, copy + family, 0);
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

std::wstring SetupCopyProgram() {
    std::wstring folder = SetupCopyFolder();
    return folder.empty() ? folder : folder + kSetupCopyProgramName;
}

bool IsSetupCopy(const std::wstring& programPath) {
    std::wstring copy = SetupCopyProgram();
    return !copy.empty() && !programPath.empty() &&
           lstrcmpiW(LongPath(programPath).c_str(), LongPath(copy).c_str()) == 0;
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
        if (DWORD error = CopyMedium(choices.gstrMediumDir, copy)) {
            ShowEngineMessage(std::string(kCopyFailedText) + "\n" + SystemErrorText(error));
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
