// What a run of setup learns before its first window: the program's folder, whether it
// resumes an installation interrupted by a restart of Windows, and the clearing of the
// automatic-restart entry that brought it back.
#pragma once

#include <string>

#include "ansi_text.h"
#include "install_choices.h"

// The only argument setup takes: the automatic-restart entry passes it.
inline constexpr char kResumeArgument[] = "install";
// Registry keys (HKEY_LOCAL_MACHINE) and value of the automatic-restart entry: "Run" where
// Windows starts what it names at every logon, "RunOnce" where a program that asks for
// administrator rights is started only from there (see restart_windows.h).
inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr char kRunValue[] = "KVT";

// Longest program path asked for; a longer answer counts as a failed query.
inline constexpr unsigned kMaxModulePathChars = 32768;

// Full path of the running program, whatever its length; "" when the query fails. The
// single-byte form turns characters the ANSI code page lacks into "?": a file call takes
// the wide one.
std::string ModuleFilePath();
std::wstring ModuleFilePathW();
// The folder part of a wide path, up to and with its last "\"; "" when it holds none.
std::wstring FolderOf(const std::wstring& path);
// The folder part of `path`, up to and with its last "\" (double-byte characters of the
// ANSI code page are stepped over whole); "" when the path holds no "\".
std::string FolderOf(const std::string& path);
// The part after the folder.
std::string FileNameOf(const std::string& path);

// The command line after the program name and the blanks that follow it.
const char* CommandLineArguments(const char* commandLine);
const wchar_t* CommandLineArguments(const wchar_t* commandLine);
// True exactly when the arguments are "install": case, blanks and further words count.
bool IsResumeCommand(const char* arguments);

// Deletes the automatic-restart entry from both keys; failures are of no consequence to the
// run.
void RemoveRunEntry();

// Sets the record's start values for the command line, in the order a run sets them, and
// deletes the automatic-restart entry of a resumed run. `modulePath` is the program's path.
void StartInstallChoices(InstallChoices& choices, const char* commandLine,
                         const std::wstring& modulePath);
void StartInstallChoices(InstallChoices& choices, const char* commandLine,
                         const std::string& modulePath);

// The start of every run of setup that installs: the record's start values for the command
// line and, unless the program is the copy, the medium's files held as they are now.
void BeginSetupRun(const char* commandLine);
