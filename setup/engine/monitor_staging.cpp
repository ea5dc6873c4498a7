#include "monitor_staging.h"

#include <windows.h>

#include "file_version.h"
#include "install_choices.h"
#include "monitor_install.h"
#include "resource.h"
#include "setup_files.h"
#include "string_table.h"
#include "system_error_text.h"
#include "windows_family.h"

namespace {

// The largest library compared byte by byte; the monitor's are a small part of it.
constexpr DWORD kMaxComparedBytes = 64u << 20;

bool ReadWhole(const std::string& path, std::vector<char>& content) {
    content.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= kMaxComparedBytes;
    if (ok) {
        content.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = content.empty() ||
             (ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr) &&
              read == content.size());
    }
    CloseHandle(file);
    return ok;
}

bool SameContent(const std::string& first, const std::string& second) {
    std::vector<char> a, b;
    return ReadWhole(first, a) && ReadWhole(second, b) && a == b;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

StagedMonitor::~StagedMonitor() {
    Discard();
}

void StagedMonitor::Discard() {
    for (const std::string& file : m_files) DeleteFileA(StagedPath(file).c_str());
    m_files.clear();
}

std::string StagedMonitor::StagedPath(const std::string& file) const {
    return m_folder + file + kStagedSuffix;
}

bool StagedMonitor::Stage(const std::string& sourceFolder, const std::vector<std::string>& files,
                          const std::string& targetFolder) {
    Discard();
    m_folder = targetFolder;
    for (const std::string& file : files) {
        std::string source = SetupFileSource(sourceFolder, file);
        std::string staged = m_folder + file + kStagedSuffix;
        m_files.push_back(file);
        if (!CopyFileA(source.c_str(), staged.c_str(), FALSE)) {
            Discard();
            ShowEngineMessage(CopyFailureText(sourceFolder, file));
            return false;
        }
        if (!SameContent(source, staged)) {
            Discard();
            ShowEngineMessage(std::string(kStagedCopyDiffersText) + "\n" + source);
            return false;
        }
    }
    return true;
}

bool StagedMonitor::SwapIn() {
    m_restored = true;
    // Each file: the installed one moves aside, the staged one takes its name.
    std::vector<std::pair<std::string, bool>> done;  // file, whether one was installed before
    DWORD error = 0;
    std::string failed;
    for (const std::string& file : m_files) {
        std::string target = m_folder + file, old = target + kReplacedSuffix;
        bool had = Exists(target);
        if (had && !MoveFileExA(target.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            error = GetLastError();
            failed = target;
            break;
        }
        if (!MoveFileExA(StagedPath(file).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            error = GetLastError();
            failed = target;
            // This one counts as done: it is put back below with the others.
            done.emplace_back(file, had);
            break;
        }
        done.emplace_back(file, had);
    }
    if (failed.empty()) {
        // A replaced library still loaded somewhere goes at the next start of Windows.
        for (const auto& [file, had] : done) {
            std::string old = m_folder + file + kReplacedSuffix;
            if (had && !DeleteFileA(old.c_str()))
                MoveFileExA(old.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        }
        m_files.clear();
        return true;
    }
    // What was already replaced is put back; a file that cannot be is named, as the monitor
    // is then not as it was.
    std::string text = "Could not replace file " + failed + "\n" + SystemErrorText(error);
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        std::string target = m_folder + it->first, old = target + kReplacedSuffix;
        bool back = it->second ? MoveFileExA(old.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)
                               : (DeleteFileA(target.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
        if (!back) {
            m_restored = false;
            text += "\n" + std::string(kNotRestoredText) + " " + target + "\n" + SystemErrorText(GetLastError());
        }
    }
    Discard();
    ShowEngineMessage(text);
    return false;
}

bool StageMonitor(StagedMonitor& staged) {
    std::string system;
    if (!SystemDirectory(system)) {
        ShowEngineMessage(ResourceString(IDS_NO_SYSTEM_DIRECTORY));
        return false;
    }
    std::string library = ResourceString(IDS_MONITOR_DLL);
    std::vector<std::string> files = {library};
    if (WindowsFamily() == kWin2000Family) files.push_back(ResourceString(IDS_MONITOR_UI_DLL));
    std::string source = Choices().gstrSetupDir + MonitorSourceFolder();
    if (!staged.Stage(source, files, system)) return false;
    // The update was decided on the medium's file; it is carried out only if the copy that
    // goes in decides the same.
    if (FileVersion(staged.StagedPath(library)) <= FileVersion(system + library)) {
        ShowEngineMessage(std::string(kStagedCopyDiffersText) + "\n" + source + library);
        staged.Discard();
        return false;
    }
    return true;
}
