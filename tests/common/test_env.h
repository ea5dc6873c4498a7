// What a test program learns from tests/env/winetest: where the build's programs are, where
// its run folder is, and paths given in Unix form turned into the Windows form Wine shows.
#pragma once

#include <windows.h>

#include <string>

namespace vt {

// An environment variable, or "" when it is not set.
std::wstring Env(const wchar_t* name);
// A Unix path (/a/b) as Wine's drive Z: shows it (Z:\a\b); Windows paths pass unchanged.
std::wstring WindowsPath(const std::wstring& path);
// The folder of the built deliverables (build/bin), Windows form, ending in "\".
std::wstring BinDir();
// The test run's own folder (Windows form, ending in "\"), for files a test leaves behind.
std::wstring RunDir();
// Copies a built deliverable into the system directory (where the spooler looks for it).
bool InstallIntoSystemDirectory(const wchar_t* fileName);

std::string Narrow(const std::wstring& w);
std::wstring Widen(const std::string& s);

}  // namespace vt
