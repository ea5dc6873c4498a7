// An installation that cannot finish before Windows restarts: the user's choices saved, setup
// registered to start again with "install" when Windows comes back, and the restart offered.
#pragma once

#include <windows.h>

#include <string>

inline constexpr char kRestartQuestion[] =
    "You need to restart the computer for the changes to take effect.\n"
    "Do you want to restart the computer.";

// The automatic-restart entry's data for the program at `modulePath`: the path in double
// quotes, a blank, then the resume argument.
std::wstring ResumeCommand(const std::wstring& modulePath);

// The key the automatic-restart entry is written to on the running Windows. Windows Vista
// and later do not start a program that asks for administrator rights from "Run" at logon,
// and setup asks for them; they do start one named under the machine's "RunOnce" when an
// administrator logs on, and delete the entry before they start it. Earlier versions have
// no such rights to ask for and keep "Run".
const char* ResumeKey();

// Writes the automatic-restart entry for the program at `modulePath`; failures are not
// reported (without the rights to write it nothing resumes).
void RegisterResume(const std::wstring& modulePath);

// The saved-state store of the program that resumes (the copy in setup_copy.h).
std::string ResumeStoreFile();

// The platform's restart of Windows, replaceable so that a test can see it asked for
// without restarting the machine it runs on. Returns the hook it replaces.
using RestartCall = void (*)();
RestartCall SetRestartCall(RestartCall call);

// Resumes an installation may take: a failure that two restarts of Windows did not cure, a
// third will not either.
inline constexpr int kMaxResumes = 2;
inline constexpr char kResumesExhaustedText[] =
    "The installation could not be completed, although the computer has been restarted twice "
    "for it. Please correct the problem reported and run setup again.";

// False when the run is already the last resume allowed: a restart would not resume it.
bool ResumeAllowed();

// Saves the record's choices for the copy of setup the run installs from, registers that copy
// to resume, and asks whether to restart Windows now. A run that is already the last resume
// allowed says so instead, forgets the saved installation and returns false.
bool SaveStateAndRestart();

// Forgets an interrupted installation: its saved state and its automatic-restart entry. A run
// that completes leaves nothing to be replayed at the next logon.
void ForgetSavedInstallation();
