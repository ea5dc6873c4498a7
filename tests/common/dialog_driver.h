// Driving real dialogs from a test, as a person would: the test's thread runs the code that
// shows them (modally) while a helper thread finds the windows, reads them, chooses list
// entries and presses buttons. Every wait is bounded, and a dialog the script leaves open is
// closed (and fails the test), so a failing test cannot hang.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vt {

// The bound of a wait for something that must happen (a dialog, a page, a state). A wait
// ends as soon as its condition holds, so the bound is generous: a busy machine stretches
// every step, and only a failing test waits it out.
inline constexpr DWORD kWaitMs = 20000;

// Polls `done` until it holds; false once `ms` have passed without.
bool WaitUntil(const std::function<bool()>& done, DWORD ms = kWaitMs);

// Runs `modal` on this thread and `script` on a helper thread started just before it, and
// joins the helper before it returns. A script ends its dialogs itself: whatever dialog of
// this process is still open a while after the script has ended is answered (Cancel, No, OK,
// then the close box), and the test fails (a result such as IDCANCEL then says nothing about
// what the dialog did). False then. A dialog that nothing closes ends the test program with
// a message, rather than letting the run hang.
bool Drive(const std::function<void()>& modal, const std::function<void()>& script);

// How a caption is matched: the whole caption, or a part of it (for the platform's own
// dialogs, whose captions add words of their own around a port's name).
enum class Caption { Exact, Contains };

// A visible top-level dialog (message boxes included) with that caption, of this process or
// of `processId`; null once `ms` have passed without one.
HWND WaitForDialog(const std::wstring& caption, DWORD ms = kWaitMs, Caption match = Caption::Exact,
                   DWORD processId = 0);
// The same for a caption in the ANSI code page (setup's windows).
HWND WaitForDialog(const char* caption, DWORD ms = kWaitMs, Caption match = Caption::Exact,
                   DWORD processId = 0);
// The visible page (child dialog) of `frame` that holds control `controlId`.
HWND VisiblePage(HWND frame, int controlId);
HWND WaitForPage(HWND frame, int controlId, DWORD ms = kWaitMs);

// Presses a button (BM_CLICK) and returns once the dialog has handled it; a dialog that does
// not handle it within kWaitMs fails the test.
void Click(HWND dialog, int id);
// Presses a button without waiting for its handler: for buttons whose handler shows a window
// of its own that the script must then answer.
void PostClick(HWND dialog, int id);
// Chooses an entry of a list box or combo box by its exact text and tells the dialog, as a
// click on the entry does. False when there is no such entry.
bool ChooseListItem(HWND dialog, int id, const char* text);
bool ChooseComboItem(HWND dialog, int id, const std::wstring& text);
bool ChooseComboItem(HWND dialog, int id, const char* text);
// The same for the combo box that follows the static text `label` (dialogs whose control
// identifiers are not ours).
bool ChooseComboItemByLabel(HWND dialog, const std::wstring& label, const std::wstring& text);
// Types `text` into control `id` key by key, as a person does (the field's limit applies).
void TypeKeys(HWND dialog, int id, const std::wstring& text);
// Presses and releases a key on the control that has the keyboard focus in the thread of
// `window`, through that thread's message queue (so the dialog manager sees it).
void PressKey(HWND window, WORD key);
// Waits until the thread of `window` has handled everything posted to it before.
void Settle(HWND window);

// Texts in the ANSI code page (setup's windows) and wide (the monitor's and the platform's).
std::string Text(HWND window);
std::string ItemText(HWND dialog, int id);
std::wstring WideText(HWND window);
// The text of a message box's message.
std::string MessageText(HWND box);
std::wstring WideMessageText(HWND box);
// All texts of the dialog's children, joined by newlines.
std::wstring DialogTexts(HWND dialog);
bool ItemEnabled(HWND dialog, int id);
bool ItemChecked(HWND dialog, int id);
// The items of combo box `id`; `selected` (when given) receives the selected index.
std::vector<std::wstring> ComboItems(HWND dialog, int id, int* selected = nullptr);

}  // namespace vt
