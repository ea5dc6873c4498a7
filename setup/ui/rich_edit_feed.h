// Feeding a text into a rich edit control through its stream-in operation.
#pragma once

#include <windows.h>

#include <string>

// Streams `text` into the control (format SF_TEXT or SF_RTF) and shows it from the top; the
// text is consumed.
void FeedRichEdit(HWND control, std::string& text, UINT format);
