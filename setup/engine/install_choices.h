// The installation record: everything a run of setup decides, filled by the wizard's pages
// and by a resumed run's saved state, and read by the installation engine. One per process.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// The files of one printer driver for one Windows family, as the spooler is given them.
struct DriverFiles {
    std::string pDriverPath;
    std::string pDataFile;
    std::string pConfigFile;
    std::string pHelpFile;
    std::vector<std::string> DependentFiles;
    // Characters of DependentFiles written as terminated names plus one more terminator;
    // 0 while the list is empty.
    DWORD cchDependentFiles = 0;
};

// One printer model of the catalogue and its driver on each Windows family. pName is the
// model's name and the name of its driver.
struct DriverInfo {
    std::string pName;
    std::string pszMfgName;
    std::string pszHardwareID;
    std::string pszProvider;
    std::string pDefaultDataType;
    DriverFiles Win98Files;
    DriverFiles Win2000Files;
    DriverFiles NT4Files;
};

// The printer the installation creates. An empty ShareName means "not shared".
struct PrinterSetupInfo {
    std::string PrinterName;
    std::string ShareName;
    std::string PortName;
    std::string DriverName;
    std::string PrintProcessor;
    std::string Datatype;
};

using ModelCatalogue = std::vector<std::unique_ptr<DriverInfo>>;

struct InstallChoices {
    std::string gstrSetupDir;      // folder the installation takes its files from, ending in "\"
    std::wstring gstrMediumDir;    // folder of the running program (the medium), ending in "\"
    bool gbResume = false;         // the run continues an installation after a restart
    int gResumeCount = 0;          // resumes of this installation so far, a resumed run's own included
    ModelCatalogue gModels;        // built when the wizard opens, freed when it closes
    int gModelIndex = 0;
    DriverInfo* gpModel = nullptr;  // the chosen entry of gModels, or none
    bool gbReplaceDriver = true;
    bool gbDefaultPrinter = true;
    bool gbTestPage = true;
    bool gbTalkToPrinter = false;  // set by the port settings page's Next
    // A run with no window (/quiet): its policy on earlier printers and its log go with a
    // saved state, so that the resume after a restart runs as unattended as it began.
    bool gbQuiet = false;
    bool gbReplacePrinters = false;
    std::string gstrLogPath;
    std::string gstrPort;          // COM port entry as listed, for example COM1:
    std::string gstrSettings;      // settings text, for example 9600,n,8,1
    PrinterSetupInfo PrinterInfo;
};

// The process's installation record.
InstallChoices& Choices();

// Sets the parts of the record's printer that no page asks for: its port, print processor
// and data type.
void SetFixedPrinterInfo(InstallChoices& choices);
