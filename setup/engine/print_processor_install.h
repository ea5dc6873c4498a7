// The print processor every printer of ours names ("Vesk Print Processor", veskproc.dll):
// its library copied from the medium into the spooler's print processor directory and
// registered, an earlier registration of the name removed first; and the roll-paper form of
// earlier driver versions removed from the machine's list of forms.
#pragma once

#include <string>

// The print processor's name, as every printer of ours names it.
inline constexpr char kPrintProcessorName[] = "Vesk Print Processor";
// Where the registry keeps the print processors of the Windows 95/98/Me environment; an
// earlier installation's entry of ours is removed from there after a deletion, whatever the
// running family.
inline constexpr char kWin98PrintProcessorsKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Print Processors";
// The machine's list of forms.
inline constexpr char kFormsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Forms";

// True when a print processor of exactly `name` (letter case counts) is installed for the
// running environment.
bool PrintProcessorExists(const std::string& name);
// Deletes every print processor of exactly `name`; true also when there is none.
bool RemovePrintProcessor(const std::string& name);
// The spooler's print processor directory for the running environment, ending in "\"; false
// when the spooler does not give it, which is shown.
bool PrintProcessorDirectory(std::string& directory);
// Copies `fileName` from `sourceFolder` into the print processor directory. With
// `restartNeeded`, a library in use that cannot be replaced sets it (a restart of Windows
// replaces it) instead of a message.
bool CopyPrintProcessor(const std::string& sourceFolder, const std::string& fileName,
                        bool* restartNeeded);
// The print processor's library for the running family ("" on a family the medium has none for).
std::string PrintProcessorLibrary();
// Registers the print processor `name` with its library `fileName`.
bool RegisterPrintProcessor(const std::string& name, const std::string& fileName);
// The whole print processor step for the record's PrinterInfo.PrintProcessor; `restartNeeded`
// (may be null) is set where the running Windows replaces a library in use at a restart.
bool InstallPrintProcessor(bool* restartNeeded = nullptr);
// Deletes the value "58 mm Roll Paper" from the list of forms; nothing is reported.
void RemoveRollPaperForm();
