// The installation run: the engine's steps in their fixed order once the wizard has the
// user's choices, stopping, going on or handing over to a restart of Windows after each.
#pragma once

#include <windows.h>

#include <string>

#include "install_front_end.h"

// How an installation run ended: stopped by a failed step (the wizard stays open on the
// finish page), or completed or handed over to a restart of Windows (the wizard ends).
enum class InstallOutcome { Stopped, Completed, Restarting };

// What the runs of one program share, kept by the front end between them.
struct InstallRunState {
    // A printer was removed in this program's life: the spooler that still holds it is not
    // restarted by a later run.
    bool printerRemoved = false;
    // A file in use asked for a restart of Windows to be replaced: a step that fails later
    // hands the run over to the restart instead of stopping it.
    bool rebootNeeded = false;
};

// The pause between the printer's creation and its test page.
inline constexpr DWORD kTestPageDelayMs = 1000;
// The buffer the platform is given for a port's default configuration, and the most it may
// ask for instead.
inline constexpr DWORD kDefaultConfigBufferSize = 64;
inline constexpr DWORD kMaxDefaultConfigSize = 4096;
// Shown when the chosen settings could not be given to the printer or stored for the monitor.
inline constexpr char kStoreFailedText[] =
    "The printer settings could not be stored. Please check that the printer is switched on "
    "and connected, and try again.";
// Shown, followed by their names, when a run stops after it removed printers it was to
// replace and before it created the new one.
inline constexpr char kRemovedPrintersText[] =
    "The installation stopped after these printers had been removed to be replaced:";

// The steps of an installation once the front end has the user's choices. Every question and
// message of the run goes to `frontEnd`, which hears when the run starts and ends.
InstallOutcome RunInstallationSteps(InstallFrontEnd& frontEnd, InstallRunState& state);

// Makes sure the printer on `portName` ("COM1:") can be talked to at `settings`
// ("9600,n,8,1"), asking the user for the printer's present settings while it does not
// answer, and stores the settings for the port monitor. "" when the run must stop; a text of
// one character (1) when it may go on.
std::string CheckPrinterPort(const std::string& portName, const std::string& settings);
