// The saved installation state: a run that must restart Windows keeps the user's choices in
// the program's private profile file, and the run that resumes afterwards takes them back.
#pragma once

#include <string>

#include "install_choices.h"

inline constexpr char kSavedStateSection[] = "SavedData";
// A saved text longer than this is taken cut to it.
inline constexpr unsigned kMaxSavedChars = 4096;

// The store: the program's file name with its extension replaced by ".INI", without a
// folder, so the profile functions keep it in the Windows directory.
std::string SavedStateFileName(const std::string& modulePath);

// Reads the saved values into `choices`, in the order they were written, each key defaulting
// to the field's current value (the port page's two texts to ""). The catalogue must be
// built. A saved model index outside the catalogue cannot name the model to install: the
// record is then left as it was and the result is false. The resumes counted in the store
// and the one reading it make choices.gResumeCount.
bool ReadSavedState(InstallChoices& choices, const std::string& storeFile);

// Writes the user's choices into `storeFile`, in the order ReadSavedState reads them back;
// a run with no window adds its policy and its log.
// Failures are not reported: a store that cannot be written leaves a resume to its defaults.
void WriteSavedState(const InstallChoices& choices, const std::string& storeFile);

// True when `storeFile` holds the state of a run with no window (then `logPath` receives its
// log, "" for the default one).
bool SavedStateIsQuiet(const std::string& storeFile, std::string& logPath);
