#include "rich_edit_feed.h"

#include <richedit.h>

#include <cstring>

namespace {

// Hands the control as much of the front of the text as it asks for and removes it.
DWORD CALLBACK StreamOut(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
    auto& text = *reinterpret_cast<std::string*>(cookie);
    size_t count = wanted > 0 ? static_cast<size_t>(wanted) : 0;
    if (count > text.size()) count = text.size();
    std::memcpy(buffer, text.data(), count);
    text.erase(0, count);
    *given = static_cast<LONG>(count);
    return 0;
}

}  // namespace

void FeedRichEdit(HWND control, std::string& text, UINT format) {
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&text);
    stream.pfnCallback = &StreamOut;
    SendMessageA(control, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
    // Shown from its beginning, not from where the stream ended.
    SendMessageA(control, EM_SETSEL, 0, 0);
    SendMessageA(control, WM_VSCROLL, SB_TOP, 0);
}
