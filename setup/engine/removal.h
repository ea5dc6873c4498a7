// The installation taken off the machine again, as cleanly as it was put on: the printers of
// ours on port VESK with the documents waiting in them, the models' drivers and their files,
// the print processor, the port monitor with its ports and settings, the saved installation,
// the entry in the list of installed programs and setup's copy. Everything else stays: a
// printer of another make, one of ours on another port and the driver it uses, and the
// platform's driver files that other drivers share.
#pragma once

#include <string>
#include <vector>

#include "install_front_end.h"

enum class RemovalOutcome {
    Removed,        // nothing of the installation is left
    RestartNeeded,  // files the system still holds are deleted when Windows next starts
    Declined,       // the person answered No: nothing changed
    Failed,         // something stays, and was shown; the entry and setup's copy stay with it,
                    // so that the removal can be run again
};

// Shown, followed by the printers, when printers that stay use the monitor's ports or the
// print processor: removing either would leave them unable to print.
inline constexpr char kPrintersInTheWayText[] =
    "The Vesk printer software was not removed. These printers use its port monitor or its "
    "print processor; please delete them, or give them another port and print processor, and "
    "try again:";

// How long the printers a removal deleted may take to leave the spooler's list, and how often
// it looks: one that is still sending a document stays listed, pending deletion, until the
// document is done, and its driver stays in use until then.
inline constexpr unsigned long kPrintersGoneLimitMs = 10000;
inline constexpr unsigned long kPrintersGonePollMs = 250;
// Shown, followed by the printers, when printers the removal deleted are still listed then.
inline constexpr char kPrintersStayText[] =
    "The Vesk printer software was not removed. Windows has not yet deleted these printers, "
    "which are still sending a document; please try again when they are gone:";

// The one question a removal asks, naming the printers it deletes. Asked also when there is
// none, and then on a machine without anything of the installation (a second removal): the
// person who started the removal sees what it does, and a removal of nothing says Removed.
std::string RemovalQuestion(const std::vector<std::string>& printers);

// True when a printer's port list names exactly the monitor's port VESK ("VESK", "VESK:" and
// "VESK," alike, letter case aside).
bool IsVeskPortList(const std::string& ports);

// Removes the installation, asking first through `frontEnd`, to which every message goes.
// `runningProgram` is the program running the removal (ModuleFilePathW()): setup's copy,
// normally, which cannot delete itself.
RemovalOutcome RemoveInstallation(InstallFrontEnd& frontEnd, const std::wstring& runningProgram);
