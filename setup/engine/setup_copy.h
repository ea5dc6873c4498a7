// The copy of setup and of the medium's folders that an installation takes its files from.
// setup runs with administrator rights, often from a folder anyone can write (a download
// folder, a stick, a share): a file there can change between the moment setup reads its
// version and the moment it copies it into the system, and the program that a restart of
// Windows starts again could be replaced before an administrator logs on. The installation
// therefore copies what it needs once into a folder under the program files folder, which
// only administrators can write, and reads, compares and installs from there; the resume
// after a restart starts the copy, and only the copy.
#pragma once

#include <string>

#include "install_choices.h"

// The copy's folder below the program files folder, and the name of the program in it.
inline constexpr wchar_t kSetupCopyFolderName[] = L"Vesk Setup";
inline constexpr wchar_t kSetupCopyProgramName[] = L"setup.exe";

inline constexpr char kResumeRefusedText[] =
    "The installation was not resumed: only the copy of setup in the program files folder "
    "may resume it. Please run setup again from the installation medium.";
inline constexpr char kCopyFailedText[] =
    "The setup files could not be copied to the program files folder.";

// "<program files>\Vesk Setup\", from the machine's own settings; "" when they name none.
std::wstring SetupCopyFolder();
// The copy's program: SetupCopyFolder() and setup.exe; "" when there is no folder.
std::wstring SetupCopyProgram();
// The long form of `path`, for comparing; the path itself when it does not exist.
std::wstring LongPath(const std::wstring& path);
// True when `programPath` is the copy's program (letter case and short names aside).
bool IsSetupCopy(const std::wstring& programPath);

// Opens, and holds open until setup ends, the files of the medium `medium` (ending in "\")
// that a fresh run will copy: the running program, the licence and the medium's folder for
// this Windows. setup calls it when it starts; the copy is then made from what it holds.
void HoldSetupMedium(const std::wstring& medium);

// Makes the copy for the run and points choices.gstrSetupDir at it. A fresh run copies the
// running program, the licence and the medium's folder for this Windows from
// choices.gstrMediumDir; a resumed run copies nothing but must itself be the copy. Shows why
// and returns false when the run cannot go on.
bool PrepareSetupCopy(InstallChoices& choices);
