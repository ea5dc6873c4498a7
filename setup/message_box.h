// The message boxes setup shows: captioned with the program's name.
#pragma once

#include <windows.h>

#include <string>

// The program's file name without folder and extension ("setup").
std::string ProgramTitle();
// Shows `text` with the program's name as caption; returns the button pressed.
int SetupMessageBox(HWND owner, const char* text, UINT type = MB_OK);
