// The product's entry in Windows' list of installed programs (Programs and Features; Add or
// Remove Programs on earlier Windows): its name, version, maker and size, and the commands
// that remove it. The commands start setup's copy in the program files folder (setup_copy.h),
// which only administrators can change, never the medium the installation came from.
#pragma once

#include <windows.h>

#include <string>

// The entry's key below HKEY_LOCAL_MACHINE, in the 64-bit view on 64-bit Windows.
inline constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vesk Printer Setup";
inline constexpr wchar_t kProductDisplayName[] = L"Vesk Printer Setup";
inline constexpr wchar_t kProductPublisher[] = L"Vesk Systems";
// What follows the program's quoted path in the entry's two commands.
inline constexpr wchar_t kUninstallArguments[] = L"/uninstall";
inline constexpr wchar_t kQuietUninstallArguments[] = L"/uninstall /quiet";

// The registry view the entry is written in: the 64-bit one wherever Windows has two, so that
// the 32-bit and the 64-bit setup keep one entry in one place; none (0) on Windows that have
// only one view, some of which (Windows 98, 2000) do not know the flag.
REGSAM UninstallKeyView();

// `"<program>" <arguments>`.
std::wstring UninstallCommand(const std::wstring& program, const wchar_t* arguments);

// The size of the files below `folder` (ending in "\") in KiB, rounded up; links are not
// followed.
DWORD FolderSizeKiB(const std::wstring& folder);

// Writes the entry for setup's copy (SetupCopyFolder(), SetupCopyProgram()); a failure is
// shown and gives false.
bool RegisterProduct();
// Deletes the entry; true also when there is none. Shows nothing: the removal says what stays.
bool UnregisterProduct(DWORD& error);
