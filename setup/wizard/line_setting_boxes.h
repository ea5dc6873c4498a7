// The four line-setting drop-down lists that the port settings page and dialog share:
// bits per second, data bits, parity and stop bits, and the settings text they give.
#pragma once

#include <windows.h>

#include <string>

// Fills the four lists of `dialog` with their items, in their order.
void FillLineSettingBoxes(HWND dialog);
// Selects "9600", "8", "None" and "1".
void SelectLineDefaults(HWND dialog);
// Selects what a settings text such as 9600,n,8,1 names; a part no list holds is left as it is.
void SelectLineSettings(HWND dialog, const std::string& settings);
// Selects the first entry that begins with `text` (case ignored), searching from the second
// entry on and wrapping to the first. False, with the selection unchanged, when none does.
bool SelectByText(HWND combo, const char* text);
// The selected entry's text, or "" when none is selected.
std::string SelectedText(HWND combo);
// The settings text of the four lists, for example 9600,n,8,1; a list without a selection
// gives its default.
std::string LineSettingsText(HWND dialog);
