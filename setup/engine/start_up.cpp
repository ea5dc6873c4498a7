#include "start_up.h"

#include "setup_copy.h"

#include <windows.h>

#include <cstring>

namespace {

// The program's path, asked for in steps of 64 characters until it no longer fills the
// buffer; empty when it is longer than kMaxModulePathChars or cannot be had.
template <typename Text, typename Char>
Text ProgramPath(DWORD (WINAPI *get)(HMODULE, Char*, DWORD)) {
    for (DWORD size = 64; size <= kMaxModulePathChars; size += 64) {
        Text path(size, Char());
        DWORD n = get(nullptr, path.data(), size);
        if (n == 0) return {};
        if (n < size) {
            path.resize(n);
            return path;
        }
    }
    return {};
}

}  // namespace

std::string ModuleFilePath() {
    return ProgramPath<std::string>(GetModuleFileNameA);
}

std::wstring ModuleFilePathW() {
    return ProgramPath<std::wstring>(GetModuleFileNameW);
}

std::wstring FolderOf(const std::wstring& path) {
    size_t last = path.rfind(L'\\');
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

namespace {

// Index just past the last "\" of `path`, or 0 when there is none. The walk goes forward, a
// double-byte character at a time, so a trail byte with the code of "\" is not taken for one.
size_t FolderLength(const std::string& path) {
    size_t end = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        auto byte = static_cast<BYTE>(path[i]);
        if (IsDBCSLeadByte(byte) && i + 1 < path.size())
            ++i;
        else if (byte == '\\')
            end = i + 1;
    }
    return end;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    return path.substr(0, FolderLength(path));
}

std::string FileNameOf(const std::string& path) {
    return path.substr(FolderLength(path));
}

namespace {

template <typename Char>
const Char* SkipProgramName(const Char* commandLine) {
    static const Char kNone[] = {0};
    const Char* p = commandLine ? commandLine : kNone;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

}  // namespace

const char* CommandLineArguments(const char* commandLine) {
    return SkipProgramName(commandLine);
}

const wchar_t* CommandLineArguments(const wchar_t* commandLine) {
    return SkipProgramName(commandLine);
}

bool IsResumeCommand(const char* arguments) {
    return arguments && std::strcmp(arguments, kResumeArgument) == 0;
}

void RemoveRunEntry() {
    // Windows deletes a RunOnce entry itself before it starts the program; one left there
    // by a start of another kind must not start the installation a second time.
    for (const char* path : {kRunKey, kRunOnceKey}) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            continue;
        RegDeleteValueA(key, kRunValue);
        RegCloseKey(key);
    }
}

void StartInstallChoices(InstallChoices& choices, const char* commandLine,
                         const std::string& modulePath) {
    StartInstallChoices(choices, commandLine, FromAnsi(modulePath));
}

void StartInstallChoices(InstallChoices& choices, const char* commandLine,
                         const std::wstring& modulePath) {
    choices.gstrMediumDir = FolderOf(modulePath);
    // Kept for what only shows the folder; the files come from gstrMediumDir's copy.
    ToAnsi(choices.gstrMediumDir, choices.gstrSetupDir);
    choices.gbResume = false;
    choices.gResumeCount = 0;
    if (IsResumeCommand(CommandLineArguments(commandLine))) {
        choices.gbResume = true;
        RemoveRunEntry();
    }
    choices.gpModel = nullptr;
    choices.gbReplaceDriver = true;
    choices.gbDefaultPrinter = true;
    choices.gbTestPage = true;
}

void BeginSetupRun(const char* commandLine) {
    StartInstallChoices(Choices(), commandLine, ModuleFilePathW());
    // What the installation will copy is held from now on, as the person saw it start. Only
    // the copy itself has nothing to hold (a resume from anywhere else is refused, or goes on
    // as a fresh run when nothing was saved).
    if (!IsSetupCopy(ModuleFilePathW())) HoldSetupMedium(Choices().gstrMediumDir);
}
