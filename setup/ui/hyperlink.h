// Static text controls turned into links: a hand cursor, blue text, underlined while the
// mouse is over them, and a click opens their address with the shell ("open" verb): a web
// address, or "mailto:" and an e-mail address. Everything the link needs is kept in window
// properties of the control and its parent, and is undone when they are destroyed.
#pragma once

#include <windows.h>

// The colour of every link.
inline constexpr COLORREF kLinkColour = RGB(0, 0, 192);

BOOL MakeHyperlink(HWND control, const char* address);
BOOL MakeHyperlink(HWND dialog, int controlId, const char* address);

// Opens an address for a clicked link. Tests put their own in place of the shell's.
using LinkOpener = void (*)(const char* address);
void ReplaceLinkOpener(LinkOpener opener);  // null restores OpenLinkAsDesktopUser
