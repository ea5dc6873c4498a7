// Keeping dialogs whole whatever font they get. A dialog's size in pixels follows the font
// its template names, and a machine that lacks that font (or runs at another DPI) gives it a
// stand-in whose proportions differ: a text may then need more lines than its control has,
// and a page made from one template may no longer fit the frame made from another.
#pragma once

#include <windows.h>

// Grows `window` by `dx` and `dy` pixels (never less than it is) about its centre, kept on
// the work area of its monitor.
void GrowWindowAboutCentre(HWND window, int dx, int dy);

// Makes every text of `dialog` tall enough for its lines at the control's width: a text
// that needs more height grows, whatever lies below it moves down by as much, and the
// dialog grows about its centre. Call it from OnInitDialog, before the dialog shows.
void FitDialogTexts(HWND dialog);
