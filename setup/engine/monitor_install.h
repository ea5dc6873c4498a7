// The port monitor on the machine: its libraries copied from the medium into the system
// directory and its registration with the spooler, replaced when the medium has a newer one.
#pragma once

#include <string>

// The medium's folder of the monitor libraries for the running family, below the setup
// folder ("" on a family the medium has no folder for).
std::string MonitorSourceFolder();

// True when the medium's monitor library has a higher file version than the installed one;
// a lower one is said in a message.
bool MonitorNeedsUpdate();
// True when a monitor of exactly `name` is registered (letter case counts).
bool MonitorExists(const std::string& name);
// Deletes the first monitor registered under exactly `name`; true also when there is none.
bool RemoveMonitor(const std::string& name);
// Copies `firstFile` and, unless empty, `secondFile` from `sourceFolder` into the system
// directory; an installed file newer than the medium's is kept, and said so.
bool CopyMonitorFiles(const std::string& sourceFolder, const std::string& firstFile,
                      const std::string& secondFile);
// Registers the monitor `name` with its library `libraryName` (found in the system directory).
bool RegisterMonitor(const std::string& name, const std::string& libraryName);
class StagedMonitor;
// The whole monitor step: remove the old registration, copy the libraries (or put the staged
// copies in place, the old registration restored when that fails), register.
bool InstallMonitor(StagedMonitor* staged = nullptr);
