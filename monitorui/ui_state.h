// State of the user-interface library: only its instance handle.
#pragma once

#include <windows.h>

extern HINSTANCE g_uiInstance;

// A message from the string table, text formatted with the arguments; nothing is shown
// when a string cannot be loaded. Returns the box's result or 0.
int UiMessage(HWND owner, UINT icon, UINT textId, ...);
// The system's text for `code` with the library's caption and the error icon; nothing when
// the system has no text for it.
int UiSystemError(HWND owner, DWORD code);
// A copy of `text` in memory from GlobalAlloc, which its receiver frees with GlobalFree; null
// when there is no memory.
LPWSTR CopyText(LPCWSTR text);
