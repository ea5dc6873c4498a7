// The versions of the files setup installs, compared whole (major, minor, build, revision),
// and the rule that a medium never puts an older file over a newer one that is installed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The file version of a file's version resource as one number, its major part highest; 0 for
// a file without one, or no file.
ULONGLONG FileVersion(const std::string& path);
// The same for a path the ANSI code page may not spell (the copy's folder is the system's).
ULONGLONG FileVersion(const std::wstring& path);
// The running program's own version, from its resource in memory: the file it was started
// from may have been changed since.
ULONGLONG RunningProgramVersion();
// "2.0.0.5".
std::string VersionText(ULONGLONG version);

// An installed file kept because it is newer than the medium's.
struct KeptFile {
    std::string name;
    ULONGLONG installed = 0;
    ULONGLONG medium = 0;
};

// True, with `kept` filled, when `installedPath` holds a newer version than `mediumPath`. A
// file without a version on either side decides nothing: it is replaced as before.
bool InstalledIsNewer(const std::string& mediumPath, const std::string& installedPath,
                      const std::string& name, KeptFile& kept);

// Copies like CopySetupFile, unless the file in `targetFolder` is newer than the medium's:
// that one stays, and is added to `kept`. False only when a copy failed.
bool CopySetupFileUnlessOlder(const std::string& sourceFolder, const std::string& fileName,
                              const std::string& targetFolder, std::vector<KeptFile>& kept);

// The message that the medium is older than what is installed, naming the files kept.
inline constexpr char kMediumOlderText[] =
    "The setup medium is older than the software installed on this computer. "
    "These installed files are newer and are kept:";
std::string MediumOlderText(const std::vector<KeptFile>& kept);
// Shows MediumOlderText when anything was kept.
void ReportKeptFiles(const std::vector<KeptFile>& kept);
