// The model catalogue built from the shipped string table and from broken parallel lists.
#include <gtest/gtest.h>

#include <map>

#include "model_catalogue.h"
#include "resource.h"
#include "string_table.h"

namespace {

using Strings = std::map<UINT, std::string>;

// The shipped table with some lists replaced.
StringLookup ShippedWith(const Strings& changes) {
    return [changes](UINT id) {
        auto changed = changes.find(id);
        return changed != changes.end() ? changed->second : ResourceString(id);
    };
}

std::vector<std::string> Names(std::initializer_list<const char*> names) {
    return {names.begin(), names.end()};
}

}  // namespace

TEST(ModelCatalogue, LinesAreSplitAtEveryLineBreak) {
    EXPECT_EQ(SplitLines("a\nb\nc"), Names({"a", "b", "c"}));
    EXPECT_EQ(SplitLines("single"), Names({"single"}));
    EXPECT_EQ(SplitLines(""), Names({""}));
    EXPECT_EQ(SplitLines("a\n"), Names({"a", ""}));
}

TEST(ModelCatalogue, ShippedStringsGiveThreeModels) {
    ModelCatalogue models;
    ASSERT_TRUE(BuildModelCatalogue(models));
    ASSERT_EQ(models.size(), 3u);
    const char* names[] = {"Kx310", "Kx240-F", "Kx120"};
    const char* ids[] = {"VeskSystems_KX310", "VeskSystems_KX240-F", "VeskSystems_KX-120"};
    const char* gpds[] = {"Kx310.gpd", "Kx240-F.gpd", "Kx120.gpd"};
    for (size_t i = 0; i < 3; ++i) {
        const DriverInfo& m = *models[i];
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(m.pName, names[i]);
        EXPECT_EQ(m.pszHardwareID, ids[i]);
        EXPECT_EQ(m.pszMfgName, "Vesk Systems Ltd");
        EXPECT_EQ(m.pszProvider, "Vesk-Systems");
        EXPECT_EQ(m.pDefaultDataType, "RAW");

        EXPECT_EQ(m.Win2000Files.pDriverPath, "UNIDRV.DLL");
        EXPECT_EQ(m.Win2000Files.pDataFile, gpds[i]);
        EXPECT_EQ(m.Win2000Files.pConfigFile, "UNIDRVUI.DLL");
        EXPECT_EQ(m.Win2000Files.pHelpFile, "UNIDRV.HLP");
        EXPECT_EQ(m.Win2000Files.DependentFiles,
                  Names({"STDNAMES.GPD", "UNIRES.DLL", "VESKRES.DLL", "VESKUNI.DLL", "VESKUI.DLL",
                         "VESKUNI.INI"}));
        EXPECT_EQ(m.Win2000Files.cchDependentFiles, 72u);

        EXPECT_EQ(m.Win98Files.pDriverPath, "vesk.drv");
        EXPECT_EQ(m.Win98Files.pDataFile, "vesk.drv");
        EXPECT_EQ(m.Win98Files.pConfigFile, "vesk.drv");
        EXPECT_EQ(m.Win98Files.pHelpFile, " ");
        EXPECT_EQ(m.Win98Files.DependentFiles, Names({"vesk.drv", "unidrv.dll"}));
        EXPECT_EQ(m.Win98Files.cchDependentFiles, 21u);

        EXPECT_EQ(m.NT4Files.pDriverPath, "rasdd.dll");
        EXPECT_EQ(m.NT4Files.pDataFile, "vesk.dll");
        EXPECT_EQ(m.NT4Files.pConfigFile, "rasddui.dll");
        EXPECT_EQ(m.NT4Files.pHelpFile, "rasddui.hlp");
        EXPECT_EQ(m.NT4Files.DependentFiles,
                  Names({"vesk.dll", "rasdd.dll", "rasddui.dll", "rasddui.hlp"}));
        EXPECT_EQ(m.NT4Files.cchDependentFiles, 44u);
    }
}

TEST(ModelCatalogue, AModelAddedToEveryListIsAFourthModel) {
    ModelCatalogue models;
    EXPECT_TRUE(BuildModelCatalogue(
        ShippedWith({{IDS_MODEL_NAMES, "Kx310\nKx240-F\nKx120\nKx80"},
                     {IDS_HARDWARE_IDS, "a\nb\nc\nVeskSystems_KX80"},
                     {IDS_WIN2000_DATA_FILES, "a\nb\nc\nKx80.gpd"},
                     {IDS_WIN98_DATA_FILES, "a\nb\nc\nvesk.drv"},
                     {IDS_NT4_DATA_FILES, "a\nb\nc\nvesk.dll"}}),
        models));
    ASSERT_EQ(models.size(), 4u);
    EXPECT_EQ(models[3]->pszHardwareID, "VeskSystems_KX80");
    EXPECT_EQ(models[3]->Win2000Files.pDataFile, "Kx80.gpd");
    EXPECT_EQ(models[3]->Win2000Files.cchDependentFiles, 72u);
}

TEST(ModelCatalogue, AShortHardwareIdListStopsAfterTheNames) {
    ModelCatalogue models;
    EXPECT_FALSE(BuildModelCatalogue(ShippedWith({{IDS_HARDWARE_IDS, "a\nb"}}), models));
    ASSERT_EQ(models.size(), 3u);
    EXPECT_EQ(models[1]->pName, "Kx240-F");
    EXPECT_EQ(models[1]->pszHardwareID, "");
    EXPECT_EQ(models[1]->pszMfgName, "") << "the shared fields come after the hardware ids";
    EXPECT_EQ(models[1]->Win2000Files.pDriverPath, "");
}

TEST(ModelCatalogue, AShortDataFileListLeavesTheListsAfterItEmpty) {
    ModelCatalogue models;
    EXPECT_FALSE(BuildModelCatalogue(ShippedWith({{IDS_WIN2000_DATA_FILES, "Kx310.gpd\nKx240-F.gpd"}}),
                                     models));
    ASSERT_EQ(models.size(), 3u);
    for (const auto& m : models) {
        SCOPED_TRACE(m->pName);
        EXPECT_EQ(m->pszHardwareID.substr(0, 12), "VeskSystems_");
        EXPECT_EQ(m->pszMfgName, "Vesk Systems Ltd");
        EXPECT_EQ(m->Win2000Files.pDriverPath, "UNIDRV.DLL");
        EXPECT_EQ(m->Win2000Files.pDataFile, "");
        EXPECT_EQ(m->Win98Files.pDataFile, "");
        EXPECT_EQ(m->NT4Files.pDataFile, "");
        EXPECT_TRUE(m->Win2000Files.DependentFiles.empty());
        EXPECT_TRUE(m->Win98Files.DependentFiles.empty());
        EXPECT_TRUE(m->NT4Files.DependentFiles.empty());
        EXPECT_EQ(m->Win2000Files.cchDependentFiles, 0u);
    }

    EXPECT_FALSE(BuildModelCatalogue(ShippedWith({{IDS_NT4_DATA_FILES, "vesk.dll\n"}}), models))
        << "a trailing line break is one more, empty, line";
    EXPECT_EQ(models[0]->Win98Files.pDataFile, "vesk.drv");
    EXPECT_EQ(models[0]->NT4Files.pDataFile, "");
    EXPECT_TRUE(models[0]->NT4Files.DependentFiles.empty());
}

TEST(ModelCatalogue, AMissingNameListIsOneModelWithoutAName) {
    ModelCatalogue models;
    EXPECT_FALSE(BuildModelCatalogue(ShippedWith({{IDS_MODEL_NAMES, ""}}), models));
    ASSERT_EQ(models.size(), 1u);
    EXPECT_EQ(models[0]->pName, "");
}
