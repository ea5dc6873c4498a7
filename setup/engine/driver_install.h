// The printer driver of the chosen model: kept, replaced or installed from the medium for the
// running Windows family, and the staging copies removed afterwards.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "install_choices.h"

// The driver record the spooler is given for a model on a family, as plain values.
struct DriverRecord {
    DWORD level = 0;  // 3 or 6; 0 for a family the installer has no driver for
    DWORD cVersion = 0;
    std::string pName;
    std::string pEnvironment;
    std::string pDriverPath;
    std::string pDataFile;
    std::string pConfigFile;
    std::string pHelpFile;  // empty: none
    // The dependent files as the spooler takes them: full names, each ended by a NUL, and
    // one more NUL at the end.
    std::vector<char> pDependentFiles;
    std::string pDefaultDataType;
    // Only in level 6 records.
    std::string pszMfgName;
    std::string pszHardwareID;
    std::string pszProvider;
};

// The model's files for the running family, and the medium's folder they come from (below
// the setup folder); null and "" on a family the installer has no driver for.
DriverFiles* FamilyDriverFiles(DriverInfo& model);
std::string DriverSourceFolder();

// The spooler's driver directory for the running environment, ending in "\"; false when the
// spooler does not give it (`error` then holds the reason, 0 when it gave an empty answer).
bool DriverDirectory(std::string& directory, DWORD& error);

// The record for `model` on the running family, its paths in `directory` (the driver
// directory, ending in "\").
DriverRecord BuildDriverRecord(const DriverInfo& model, const std::string& directory);

// True when a driver of exactly that name is installed for the running environment.
bool DriverInstalled(const std::string& driverName);
// Deletes every installed driver named like the model (for "Kx240..." models, every driver
// whose name begins with "Kx240").
bool RemoveDrivers(const std::string& modelName);
// Copies the driver's files from `sourceFolder` into the driver directory. With
// `restartNeeded`, a driver file in use that cannot be replaced sets it instead of a
// message.
bool CopyDriverFiles(const std::string& sourceFolder, DriverFiles& files, bool* restartNeeded);
// Registers the model's driver with the spooler.
bool AddDriver(const DriverInfo* model);
// Deletes the copies CopyDriverFiles left in the driver directory.
void RemoveDriverCopies(DriverFiles& files);
// The driver step for the chosen model, in two halves so that a run can do what may fail
// before it removes anything: the first decides whether the installed driver is kept or
// replaced and, outside Windows 98, copies the medium's files into the driver directory; the
// second removes the driver it replaces and adds the model's.
struct DriverPlan {
    bool keep = false;         // the installed driver stays
    bool replace = false;      // an installed driver of the model's name goes first
    bool filesCopied = false;  // the files are in the driver directory already
};
// `restartNeeded` (may be null) is set where a restart of Windows would let the driver in.
bool PrepareDriver(DriverPlan& plan);
bool InstallDriver(const DriverPlan& plan, bool* restartNeeded);
// Both halves at once.
bool InstallDriver(bool* restartNeeded = nullptr);
