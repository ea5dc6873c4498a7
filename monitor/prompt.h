// The one place where the monitor asks a person something. Tests put their own answerer in.
#pragma once

#include <windows.h>

// Shows `text` and returns the button pressed (IDOK, IDYES, ...). 0 when no answer can be had.
int AskUser(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

using PromptFunction = int (*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// Puts `prompt` in place of the message box (null restores it).
void ReplacePrompt(PromptFunction prompt);
