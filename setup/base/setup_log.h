// The log of every run of setup, wizard or unattended: a header line per run, then one line
// per step and per question, each with the local time. Appended to one file, so that an
// administrator reads a machine's history from it. It holds what setup did and was told,
// never a password or other secret (setup is given none).
#pragma once

#include <windows.h>

#include <string>

// The log's name in the temporary folder when the command line names no other.
inline constexpr wchar_t kDefaultLogName[] = L"Vesk Setup.log";

// The default log: "<temporary folder>\Vesk Setup.log"; "" when there is no such folder.
std::wstring DefaultLogPath();

// Opens `path` for appending (creating it) and writes the run's header line: `version`,
// the command line and the Windows version. The file must be a plain file of its own: one
// that is a link to another file (a reparse point, or a name with further hard links), or
// one that another user owns, is refused, since setup runs with administrator rights and a
// temporary folder is often one that others can write to. False, with `error` set and no log kept, when it cannot be
// opened so.
bool OpenSetupLog(const std::wstring& path, const std::string& version,
                  const std::wstring& commandLine, DWORD& error);
// Ends the log with `text` as its last line and closes it.
void CloseSetupLog(const std::string& text);
// True while a log is open.
bool SetupLogOpen();

// Writes one time-stamped line; nothing when no log is open. Line breaks in `text` become
// " / " so that each entry stays on its line.
void LogLine(const std::string& text);
// One line for a step: its name and its result.
void LogStep(const std::string& step, bool succeeded);
