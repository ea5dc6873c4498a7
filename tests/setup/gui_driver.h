// Driving setup's real dialogs from a test: the test's thread runs a dialog modally while a
// helper thread finds its windows, sets controls and presses buttons, as a person would.
// Every wait is bounded, and whatever the script leaves open is closed, so a failing test
// cannot hang.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace st {

inline constexpr DWORD kWaitMs = 5000;

// Runs `modal` on this thread and `script` on a helper thread started just before it.
void Drive(const std::function<void()>& modal, const std::function<void()>& script);

// Waits until `done` holds (polled); false after `ms`.
bool WaitUntil(const std::function<bool()>& done, DWORD ms = kWaitMs);

// A visible top-level dialog of this process with that caption (null after the wait).
HWND WaitForDialog(const char* caption, DWORD ms = kWaitMs);
// The same, of another process.
HWND WaitForDialogOf(DWORD processId, const char* caption, DWORD ms = kWaitMs);
// The visible page (child dialog) of `frame` that holds control `controlId`.
HWND VisiblePage(HWND frame, int controlId);
HWND WaitForPage(HWND frame, int controlId, DWORD ms = kWaitMs);

// Presses a button (BM_CLICK).
void Click(HWND dialog, int id);
// Chooses an entry of a list box or combo box by its exact text and tells the dialog, as a
// click on the entry does. False when there is no such entry.
bool ChooseListItem(HWND dialog, int id, const char* text);
bool ChooseComboItem(HWND dialog, int id, const char* text);
// Presses and releases a key on the control that has the keyboard focus in the thread of
// `window`, through that thread's message queue (so the dialog manager sees it).
void PressKey(HWND window, WORD key);
// Waits until the thread of `window` has handled everything posted to it before.
void Settle(HWND window);

std::string Text(HWND window);
std::string ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
bool ItemChecked(HWND dialog, int id);
// The text of a message box's message.
std::string MessageText(HWND box);

}  // namespace st
