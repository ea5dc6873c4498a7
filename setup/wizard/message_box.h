// The message boxes setup shows: captioned with the program's name.
#pragma once

#include <windows.h>

#include <string>

// The program's file name without folder and extension ("setup").
std::string ProgramTitle();
// Shows `text` with the program's name as caption; returns the button pressed.
int SetupMessageBox(HWND owner, const char* text, UINT type = MB_OK);

// Where SetupMessageBox's messages go instead of the screen (the installation steps run
// unattended by the step runner and the tests); null restores the message box. Returns the
// hook it replaces.
using MessageBoxHook = int (*)(HWND owner, const char* text, UINT type);
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
