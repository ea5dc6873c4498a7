// Files of the setup medium: where each comes from and the copy into the system's folders.
#pragma once

#include <windows.h>

#include <string>

// The system directory's buffer size (characters, with the terminator).
inline constexpr unsigned kSystemDirectoryChars = MAX_PATH;

// The system directory, ending in "\" where that still fits its buffer. False when the
// system does not give it.
bool SystemDirectory(std::string& directory);

// `folder` with a "\" at its end (an empty folder stays empty).
std::string WithBackslash(std::string folder);

// Where `fileName` lies on the medium below `sourceFolder` (see CopySetupFile).
std::string SetupFileSource(const std::string& sourceFolder, const std::string& fileName);

// Copies `fileName` from `sourceFolder` into `targetFolder` (both ending in "\"), over a file
// already there. Files whose names begin with "uni" are the platform's universal driver
// files, which the medium keeps in the sub-folder "Unidrv\" of the source folder, except for
// Windows 98, whose folder holds them itself. Shows no message.
bool CopySetupFile(const std::string& sourceFolder, const std::string& fileName,
                   const std::string& targetFolder);

// True when a copy failed with `error` because the target is in use (Windows 98 replaces such
// a file only after a restart); any other failure, a file missing from the medium for one,
// would fail again after the restart.
bool FileInUse(DWORD error);

// The text shown when a file cannot be copied from the medium: "Could not copy file " with
// the folder the step copies from and the file's name.
std::string CopyFailureText(const std::string& sourceFolder, const std::string& fileName);
