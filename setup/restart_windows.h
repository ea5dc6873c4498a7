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
std::string ResumeCommand(const std::string& modulePath);

// The key the automatic-restart entry is written to on the running Windows. Windows Vista
// and later do not start a program that asks for administrator rights from "Run" at logon,
// and setup asks for them; they do start one named under the machine's "RunOnce" when an
// administrator logs on, and delete the entry before they start it. Earlier versions have
// no such rights to ask for and keep "Run".
const char* ResumeKey();

// Writes the automatic-restart entry for the program at `modulePath`; failures are not
// reported (without the rights to write it nothing resumes).
void RegisterResume(const std::string& modulePath);

// The platform's restart of Windows, replaceable so that a test can see it asked for
// without restarting the machine it runs on. Returns the hook it replaces.
using RestartCall = void (*)();
RestartCall SetRestartCall(RestartCall call);

// Saves the record's choices, registers the resume, and asks whether to restart Windows now.
void SaveStateAndRestart();
