// Reading the licence agreement from the setup medium.
#pragma once

#include <windows.h>

#include <string>

// Largest licence file read. A licence is a few pages of text; a larger file is not one, and
// reading it could exhaust memory.
inline constexpr DWORD kMaxLicenceBytes = 1u << 20;

// Reads the file at `path` into `text`, ending before the first NUL byte. False when the
// file cannot be opened, is no disk file, or is larger than kMaxLicenceBytes: the licence
// cannot be shown then.
bool ReadLicenceFile(const std::wstring& path, std::string& text);
