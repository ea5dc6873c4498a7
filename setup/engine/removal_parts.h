// What a removal takes off the machine once the printers are gone: the models' drivers, the
// print processor and the port monitor, each from the spooler, from where the spooler keeps
// it, and with its files. Each is idempotent, so that a pass after the spooler's restart can
// take what the first pass could not.
#pragma once

#include <string>
#include <vector>

#include "removal_files.h"

struct RemovalPass {
    FileRemoval& files;
    // Failures are shown now. Before the last pass, a part the spooler still holds (a driver
    // or monitor in use by a printer it is still deleting) waits for the next one.
    bool lastPass = false;
    bool retry = false;   // a part waits for the spooler's restart
    bool failed = false;  // a part stays, and was shown
};

// The models' drivers (ModelDriverNames) that no remaining printer uses, then their files
// that no remaining driver names: the platform's files that other drivers share stay.
void RemoveModelDrivers(RemovalPass& pass);
// "Vesk Print Processor" and its library. Where the spooler still lists it after its deletion
// (Wine's deletion does nothing), its registry key goes directly.
void RemoveVeskPrintProcessor(RemovalPass& pass);
// "Vesk Port Monitor", its registry key with the ports it mirrors there, its profile section
// and its libraries (with what an interrupted update left beside them).
void RemoveVeskMonitor(RemovalPass& pass);
// The same for the monitor `name` with the `libraries` in the system directory; an empty name
// is refused (shown) before anything is deleted.
void RemoveMonitor(RemovalPass& pass, const std::string& name, const std::vector<std::string>& libraries);

inline constexpr char kPrintProcessorStaysText[] =
    "The print processor \"Vesk Print Processor\" could not be removed: the spooler still lists it.";

// The monitor's profile section, and the prefix of every port of the monitor's.
inline constexpr char kMonitorProfileSection[] = "Vesk Ports";
inline constexpr char kMonitorPortPrefix[] = "VESK";
// Where the registry keeps the monitors, and the print processors of an environment.
inline constexpr char kMonitorsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\";
std::string PrintProcessorKey(const std::string& environment, const std::string& name);
