#include "saved_state.h"

#include <windows.h>

#include "start_up.h"

std::string SavedStateFileName(const std::string& modulePath) {
    std::string name = FileNameOf(modulePath);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name + ".INI";
}

namespace {

class SavedState {
public:
    explicit SavedState(const std::string& file) : file_(file) {}

    std::string Text(const char* key, const std::string& fallback) const {
        std::string value(kMaxSavedChars, '\0');
        DWORD n = GetPrivateProfileStringA(kSavedStateSection, key, fallback.c_str(),
                                           value.data(), kMaxSavedChars, file_.c_str());
        value.resize(n);
        return value;
    }
    int Number(const char* key, int fallback) const {
        return static_cast<int>(
            GetPrivateProfileIntA(kSavedStateSection, key, fallback, file_.c_str()));
    }
    void Read(const char* key, std::string& field) const { field = Text(key, field); }
    void Read(const char* key, bool& field) const { field = Number(key, field ? 1 : 0) != 0; }

private:
    std::string file_;
};

}  // namespace

bool ReadSavedState(InstallChoices& choices, const std::string& storeFile) {
    SavedState saved(storeFile);
    std::string port = saved.Text("gstrPort", "");
    std::string settings = saved.Text("gstrSettings", "");
    int index = saved.Number("gModelIndex", 0);
    if (index < 0 || static_cast<size_t>(index) >= choices.gModels.size()) return false;

    choices.gstrPort = port;
    choices.gstrSettings = settings;
    choices.gModelIndex = index;
    DriverInfo& model = *choices.gModels[static_cast<size_t>(index)];
    choices.gpModel = &model;
    saved.Read("DriverInfo_pName", model.pName);
    saved.Read("DriverInfo_pszMfgName", model.pszMfgName);
    saved.Read("DriverInfo_pszHardwareID", model.pszHardwareID);
    saved.Read("DriverInfo_pszProvider", model.pszProvider);
    saved.Read("DriverInfo_pDefaultDataType", model.pDefaultDataType);

    PrinterSetupInfo& printer = choices.PrinterInfo;
    saved.Read("PrinterInfo_PrinterName", printer.PrinterName);
    saved.Read("PrinterInfo_ShareName", printer.ShareName);
    saved.Read("PrinterInfo_PortName", printer.PortName);
    saved.Read("PrinterInfo_DriverName", printer.DriverName);
    saved.Read("PrinterInfo_PrintProcessor", printer.PrintProcessor);
    saved.Read("PrinterInfo_Datatype", printer.Datatype);

    saved.Read("gbDefaultPrinter", choices.gbDefaultPrinter);
    saved.Read("gbTestPage", choices.gbTestPage);
    // Read only by a resumed run, which counts itself.
    choices.gResumeCount = saved.Number("gResumeCount", 0) + 1;
    saved.Read("gbQuiet", choices.gbQuiet);
    saved.Read("gbReplacePrinters", choices.gbReplacePrinters);
    saved.Read("gstrLogPath", choices.gstrLogPath);
    return true;
}

bool SavedStateIsQuiet(const std::string& storeFile, std::string& logPath) {
    SavedState saved(storeFile);
    logPath = saved.Text("gstrLogPath", "");
    return saved.Number("gbQuiet", 0) != 0;
}

namespace {

void Save(const std::string& file, const char* key, const std::string& value) {
    WritePrivateProfileStringA(kSavedStateSection, key, value.c_str(), file.c_str());
}
void Save(const std::string& file, const char* key, int value) {
    Save(file, key, std::to_string(value));
}

}  // namespace

void WriteSavedState(const InstallChoices& choices, const std::string& storeFile) {
    static const DriverInfo kNoModel;
    const DriverInfo& model = choices.gpModel ? *choices.gpModel : kNoModel;
    const PrinterSetupInfo& printer = choices.PrinterInfo;
    const std::string& f = storeFile;
    Save(f, "gstrPort", choices.gstrPort);
    Save(f, "gstrSettings", choices.gstrSettings);
    Save(f, "DriverInfo_pName", model.pName);
    Save(f, "DriverInfo_pszMfgName", model.pszMfgName);
    Save(f, "DriverInfo_pszHardwareID", model.pszHardwareID);
    Save(f, "DriverInfo_pszProvider", model.pszProvider);
    Save(f, "DriverInfo_pDefaultDataType", model.pDefaultDataType);
    Save(f, "PrinterInfo_PrinterName", printer.PrinterName);
    Save(f, "PrinterInfo_ShareName", printer.ShareName);
    Save(f, "PrinterInfo_PortName", printer.PortName);
    Save(f, "PrinterInfo_DriverName", printer.DriverName);
    Save(f, "PrinterInfo_PrintProcessor", printer.PrintProcessor);
    Save(f, "PrinterInfo_Datatype", printer.Datatype);
    Save(f, "gModelIndex", choices.gModelIndex);
    Save(f, "gbDefaultPrinter", choices.gbDefaultPrinter ? 1 : 0);
    Save(f, "gbTestPage", choices.gbTestPage ? 1 : 0);
    Save(f, "gResumeCount", choices.gResumeCount);
    if (!choices.gbQuiet) return;
    Save(f, "gbQuiet", 1);
    Save(f, "gbReplacePrinters", choices.gbReplacePrinters ? 1 : 0);
    Save(f, "gstrLogPath", choices.gstrLogPath);
}
