#include "removal_files.h"

#include <algorithm>

#include "medium_snapshot.h"
#include "setup_copy.h"
#include "setup_log.h"
#include "start_up.h"
#include "system_error_text.h"

namespace {

bool Missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::string Narrow(const std::wstring& path) {
    std::string text;
    ToAnsi(path, text);
    return text;
}

// Deletes the file `path` (a read-only one too); true when it is not there afterwards.
bool DeleteNow(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Missing(GetLastError());
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) || Missing(GetLastError());
}

std::wstring WithoutSeparator(std::wstring folder) {
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

// True when `path` lies in `folder` (ending in "\"), letter case and short names aside.
bool Inside(const std::wstring& path, const std::wstring& folder) {
    std::wstring where = LongPath(path), within = LongPath(folder);
    if (within.empty() || within.back() != L'\\') within += L'\\';
    return where.size() > within.size() &&
           lstrcmpiW(where.substr(0, within.size()).c_str(), within.c_str()) == 0;
}

// A folder that is any program's current directory cannot be removed: the removal's own
// current directory leaves it (for the system directory, which stays).
void LeaveFolder(const std::wstring& folder) {
    wchar_t current[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, current);
    if (n == 0 || n > MAX_PATH) return;
    std::wstring here(current, n);
    if (!Inside(here + L"\\", folder)) return;
    wchar_t system[MAX_PATH + 1];
    UINT chars = GetSystemDirectoryW(system, MAX_PATH + 1);
    if (chars && chars <= MAX_PATH) SetCurrentDirectoryW(system);
}

// Moves `program` to a new name of its own in `parent`; that name, or "" when it cannot be
// moved. The parent of setup's copy is the program files folder: only administrators can
// change a name there, and the name is deleted when Windows starts, by the system. A folder
// that others can write (a temporary folder) could by then hold a link in its place that
// sends the deletion elsewhere.
std::wstring MoveAside(const std::wstring& program, const std::wstring& parent) {
    wchar_t name[MAX_PATH];
    if (parent.empty() || !GetTempFileNameW(parent.c_str(), L"vsk", 0, name)) return {};
    if (MoveFileExW(program.c_str(), name, MOVEFILE_REPLACE_EXISTING)) return name;
    DeleteFileW(name);
    return {};
}

// Deletes what `folder` (ending in "\") holds, then the folder. What cannot go now is
// scheduled, a folder's content before the folder: the order Windows deletes them in.
bool EmptyAndRemove(const std::wstring& folder, int depth) {
    bool ok = true;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + name;
            bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                if (!DeleteNow(path)) ok = DeleteAtRestart(path) && ok;
            } else if (!link && depth < kMaxMediumDepth) {
                ok = EmptyAndRemove(path + L"\\", depth + 1) && ok;
            } else if (!RemoveDirectoryW(path.c_str())) {
                // A link goes as a link; what lies where it points stays.
                ok = DeleteAtRestart(path) && ok;
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    std::wstring self = WithoutSeparator(folder);
    if (!RemoveDirectoryW(self.c_str()) && !Missing(GetLastError())) ok = DeleteAtRestart(self) && ok;
    return ok;
}

}  // namespace

void FileRemoval::Delete(const std::wstring& path) {
    if (DeleteNow(path)) return;
    LogLine("in use, deleted later: " + Narrow(path));
    if (std::find(held_.begin(), held_.end(), path) == held_.end()) held_.push_back(path);
}

void FileRemoval::Retry() {
    std::vector<std::wstring> again;
    for (const std::wstring& path : held_)
        if (!DeleteNow(path)) again.push_back(path);
    held_ = std::move(again);
}

bool FileRemoval::ScheduleHeld(bool& scheduled) {
    bool ok = true;
    for (const std::wstring& path : held_) {
        if (DeleteAtRestart(path)) scheduled = true;
        else ok = false;
    }
    held_.clear();
    return ok;
}

bool DeleteAtRestart(const std::wstring& path) {
    if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        LogLine("deleted when Windows starts: " + Narrow(path));
        return true;
    }
    ShowSystemError(GetLastError());
    return false;
}

bool RemoveSetupCopy(const std::wstring& folder, const std::wstring& runningProgram) {
    if (folder.empty() || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    LeaveFolder(folder);
    bool ok = true;
    if (!runningProgram.empty() && Inside(runningProgram, folder)) {
        std::wstring moved = MoveAside(runningProgram, FolderOf(WithoutSeparator(folder)));
        // Not moved: the program stays in the folder, and both go when Windows starts.
        if (!moved.empty()) ok = DeleteAtRestart(moved);
    }
    return EmptyAndRemove(folder, 0) && ok;
}
