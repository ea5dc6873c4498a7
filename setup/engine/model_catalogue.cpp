#include "model_catalogue.h"

#include "resource.h"
#include "string_table.h"

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

namespace {

// Puts line i of list `id` into the field of model i; false when the list does not have one
// line per model.
bool ApplyList(const StringLookup& text, UINT id, ModelCatalogue& models,
               std::string DriverInfo::*field) {
    std::vector<std::string> lines = SplitLines(text(id));
    if (lines.size() != models.size()) return false;
    for (size_t i = 0; i < lines.size(); ++i) (*models[i]).*field = lines[i];
    return true;
}

bool ApplyDataFiles(const StringLookup& text, UINT id, ModelCatalogue& models,
                    DriverFiles DriverInfo::*family) {
    std::vector<std::string> lines = SplitLines(text(id));
    if (lines.size() != models.size()) return false;
    for (size_t i = 0; i < lines.size(); ++i) ((*models[i]).*family).pDataFile = lines[i];
    return true;
}

void ApplyDependentFiles(const StringLookup& text, UINT id, ModelCatalogue& models,
                         DriverFiles DriverInfo::*family) {
    std::vector<std::string> names = SplitLines(text(id));
    for (auto& model : models) {
        DriverFiles& files = (*model).*family;
        for (const std::string& name : names) {
            if (files.DependentFiles.empty()) files.cchDependentFiles = 1;
            files.DependentFiles.push_back(name);
            files.cchDependentFiles += static_cast<DWORD>(name.size()) + 1;
        }
    }
}

void ApplyFixedFiles(const StringLookup& text, DriverFiles& files, UINT driver, UINT config,
                     UINT help) {
    files.pDriverPath = text(driver);
    files.pConfigFile = text(config);
    files.pHelpFile = text(help);
}

}  // namespace

bool BuildModelCatalogue(const StringLookup& text, ModelCatalogue& models) {
    models.clear();
    for (const std::string& name : SplitLines(text(IDS_MODEL_NAMES))) {
        auto model = std::make_unique<DriverInfo>();
        model->pName = name;
        models.push_back(std::move(model));
    }
    if (!ApplyList(text, IDS_HARDWARE_IDS, models, &DriverInfo::pszHardwareID)) return false;

    for (auto& model : models) {
        model->pszMfgName = text(IDS_MFG_NAME);
        model->pszProvider = text(IDS_PROVIDER);
        model->pDefaultDataType = text(IDS_DEFAULT_DATATYPE);
        ApplyFixedFiles(text, model->Win2000Files, IDS_WIN2000_DRIVER, IDS_WIN2000_CONFIG,
                        IDS_WIN2000_HELP);
        ApplyFixedFiles(text, model->Win98Files, IDS_WIN98_DRIVER, IDS_WIN98_CONFIG,
                        IDS_WIN98_HELP);
        ApplyFixedFiles(text, model->NT4Files, IDS_NT4_DRIVER, IDS_NT4_CONFIG, IDS_NT4_HELP);
    }

    if (!ApplyDataFiles(text, IDS_WIN2000_DATA_FILES, models, &DriverInfo::Win2000Files) ||
        !ApplyDataFiles(text, IDS_WIN98_DATA_FILES, models, &DriverInfo::Win98Files) ||
        !ApplyDataFiles(text, IDS_NT4_DATA_FILES, models, &DriverInfo::NT4Files))
        return false;

    ApplyDependentFiles(text, IDS_WIN2000_DEPENDENT, models, &DriverInfo::Win2000Files);
    ApplyDependentFiles(text, IDS_WIN98_DEPENDENT, models, &DriverInfo::Win98Files);
    ApplyDependentFiles(text, IDS_NT4_DEPENDENT, models, &DriverInfo::NT4Files);
    return true;
}

bool BuildModelCatalogue(ModelCatalogue& models) {
    return BuildModelCatalogue(&ResourceString, models);
}
