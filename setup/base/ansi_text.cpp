#include "ansi_text.h"

#include <windows.h>

bool ToAnsi(const std::wstring& text, std::string& ansi) {
    ansi.clear();
    if (text.empty()) return true;
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    ansi.resize(static_cast<size_t>(n));
    // No best fit: a character the code page lacks must show as lost, not as a look-alike
    // ("a" for "\u0101") that names another printer or file.
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                        ansi.data(), n, nullptr, &lossy);
    return !lossy;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}
