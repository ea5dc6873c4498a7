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
    // Changing a link's attributes would change those of what it points to: a read-only link
    // stays, and its deletion fails.
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
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

// Schedules `path` for deletion when Windows starts, noting in `scheduled` that something
// stays until then; false when it cannot be scheduled (shown).
bool Later(const std::wstring& path, bool& scheduled) {
    if (!DeleteAtRestart(path)) return false;
    scheduled = true;
    return true;
}

// What the emptying of setup's copy leaves for last: the running program, found as `keep`
// (its long path), and the folders that hold it, innermost first.
struct LeftForLast {
    std::wstring keep, program;
    std::vector<std::wstring> folders;
};

// Deletes what `folder` (ending in "\") holds, then the folder. What cannot go now is
// scheduled, a folder's content before the folder: the order Windows deletes them in. A
// folder whose content stays is not scheduled: Windows cannot delete it then either.
bool EmptyAndRemove(const std::wstring& folder, int depth, LeftForLast& last, bool& scheduled) {
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
                if (!last.keep.empty() && lstrcmpiW(LongPath(path).c_str(), last.keep.c_str()) == 0)
                    last.program = path;
                else if (!DeleteNow(path))
                    ok = Later(path, scheduled) && ok;
            } else if (!link && depth < kMaxMediumDepth) {
                ok = EmptyAndRemove(path + L"\\", depth + 1, last, scheduled) && ok;
            } else if (!RemoveDirectoryW(path.c_str())) {
                // A link goes as a link; what lies where it points stays. A folder deeper than
                // the copy nests is not emptied.
                if (!link && GetLastError() == ERROR_DIR_NOT_EMPTY) {
                    ShowEngineMessage(std::string(kFolderStaysText) + "\n" + Narrow(path));
                    ok = false;
                } else {
                    ok = Later(path, scheduled) && ok;
                }
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    std::wstring self = WithoutSeparator(folder);
    // A folder that holds the program waits for it.
    if (!last.program.empty() && last.program.compare(0, folder.size(), folder) == 0) {
        last.folders.push_back(self);
        return ok;
    }
    if (!RemoveDirectoryW(self.c_str()) && !Missing(GetLastError())) ok = ok && Later(self, scheduled);
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

bool RemoveSetupCopy(const std::wstring& folder, const std::wstring& runningProgram, bool& scheduled) {
    if (folder.empty() || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    LeaveFolder(folder);
    LeftForLast last;
    if (!runningProgram.empty() && Inside(runningProgram, folder)) last.keep = LongPath(runningProgram);
    // While anything else of the copy stays, the program that the entry starts stays with it.
    if (!EmptyAndRemove(folder, 0, last, scheduled)) return false;
    if (last.program.empty()) return true;
    // Not moved: the program stays in the folder, and both go when Windows starts.
    std::wstring moved = MoveAside(last.program, FolderOf(WithoutSeparator(folder)));
    bool ok = DeleteAtRestart(moved.empty() ? last.program : moved);
    for (const std::wstring& held : last.folders)
        if (!RemoveDirectoryW(held.c_str()) && !Missing(GetLastError())) ok = ok && Later(held, scheduled);
    return ok;
}
