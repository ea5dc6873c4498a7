// Texts between the wide form the system's file calls take and the ANSI code page setup's
// own texts are in.
#pragma once

#include <string>

// `text` in the ANSI code page; false when a character has no equivalent there (the text
// then holds "?" in its place).
bool ToAnsi(const std::wstring& text, std::string& ansi);
std::wstring FromAnsi(const std::string& text);
