// Texts of the program's string table, in the system's ANSI code page.
#pragma once

#include <windows.h>

#include <string>

// The string `id`; false (and "") when the table has no such string.
bool LoadResourceString(UINT id, std::string& text);
// The string `id`, or "" when there is none.
std::string ResourceString(UINT id);
