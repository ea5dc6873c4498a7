// The text a failed platform call is reported with, and the message box that shows it.
#pragma once

#include <windows.h>

#include <string>

#include "install_front_end.h"

// Appended to the text of "access denied": the usual cause when setup is refused.
inline constexpr char kAdministratorHint[] =
    "\nPlease ensure you have Administrator rights and then try again.";

// The system's own text for a Win32 error code, with the administrator hint for code 5.
std::string SystemErrorText(DWORD code);

// Shows SystemErrorText(code) with an OK button, through the run's front end.
void ShowSystemError(DWORD code);
// Shows `text` with the buttons of `type` through the run's front end (install_front_end.h);
// returns the button pressed. The text and the answer go to the log.
int EngineMessage(const std::string& text, UINT type,
                  InstallQuestion kind = InstallQuestion::Notice);
// Shows `text` with an OK button.
void ShowEngineMessage(const std::string& text);
// Asks `text` with Yes and No; returns the button pressed.
int AskEngineQuestion(const std::string& text, InstallQuestion kind = InstallQuestion::Notice);
