// Static text controls given a bold, italic or underlined variant of their font and a text
// colour of their own. Kept in window properties of the control and its parent, and undone
// when they are destroyed. On one parent, make the labels before the links.
#pragma once

#include <windows.h>

BOOL MakeTintedLabel(HWND control, BOOL bold, BOOL italic, BOOL underline, COLORREF colour);
BOOL MakeTintedLabel(HWND dialog, int controlId, BOOL bold, BOOL italic, BOOL underline,
                     COLORREF colour);
