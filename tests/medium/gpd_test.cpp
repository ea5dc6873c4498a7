// Structure of the model descriptions on the setup medium, read where setup.exe finds them:
// the folder win2000/i386 of the assembled medium, named on the command line.
#include "gpd_reader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

namespace {

std::filesystem::path gFolder;

const char* const kModelFiles[] = {"Kx310.gpd", "Kx240-F.gpd", "Kx120.gpd"};

// Entries that only the root level may hold: they describe the whole printer.
const char* const kRootOnly[] = {"GPDSpecVersion", "GPDFileName", "GPDFileVersion", "ModelName",
                                 "MasterUnits", "ResourceDLL", "PrinterType", "MaxCopies",
                                 "CodePage", "HelpFile"};

std::optional<std::string> ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The file read and checked for braces; a missing or unbalanced file fails the calling test.
GpdFile Load(const char* name)
{
    auto text = ReadText(gFolder / name);
    EXPECT_TRUE(text) << "cannot read " << (gFolder / name);
    GpdFile file = ReadGpd(text.value_or(""));
    for (const std::string& fault : file.faults)
        ADD_FAILURE() << name << ": " << fault;
    return file;
}

void ExpectNoRootOnlyEntryBelow(const std::vector<GpdEntry>& entries)
{
    for (const GpdEntry& entry : entries) {
        for (const GpdEntry& child : entry.children) {
            for (const char* keyword : kRootOnly)
                EXPECT_NE(child.keyword, keyword) << "inside *" << entry.keyword << " at line "
                                                  << child.line;
        }
        ExpectNoRootOnlyEntryBelow(entry.children);
    }
}

// The options of the root-level feature of that name.
std::vector<const GpdEntry*> FeatureOptions(const GpdFile& file, std::string_view feature)
{
    const GpdEntry* entry = FindEntry(file.root, "Feature", feature);
    if (entry == nullptr)
        return {};
    return FindEntries(entry->children, "Option");
}

TEST(GpdFiles, EveryFileOfTheDriverBalancesItsBraces)
{
    for (const char* name : kModelFiles)
        Load(name);
    Load("STDNAMES.GPD");
}

class ModelFile : public testing::TestWithParam<const char*> {};

TEST_P(ModelFile, RootEntriesDescribeThisFile)
{
    const char* name = GetParam();
    GpdFile file = Load(name);

    const GpdEntry* spec = FindEntry(file.root, "GPDSpecVersion");
    ASSERT_NE(spec, nullptr);
    EXPECT_EQ(ParseQuoted(spec->value), "1.0");
    const GpdEntry* fileName = FindEntry(file.root, "GPDFileName");
    ASSERT_NE(fileName, nullptr);
    EXPECT_EQ(ParseQuoted(fileName->value), std::string(name));
    const GpdEntry* model = FindEntry(file.root, "ModelName");
    ASSERT_NE(model, nullptr);
    EXPECT_NE(ParseQuoted(model->value).value_or(""), "");

    const GpdEntry* units = FindEntry(file.root, "MasterUnits");
    ASSERT_NE(units, nullptr);
    auto unitPair = ParsePair(units->value);
    ASSERT_TRUE(unitPair) << units->value;
    EXPECT_GT(unitPair->first, 0);
    EXPECT_GT(unitPair->second, 0);

    const GpdEntry* resources = FindEntry(file.root, "ResourceDLL");
    ASSERT_NE(resources, nullptr);
    auto library = ParseQuoted(resources->value);
    ASSERT_TRUE(library) << resources->value;
    EXPECT_TRUE(std::filesystem::is_regular_file(gFolder / *library))
        << *library << " is not beside " << name;

    ExpectNoRootOnlyEntryBelow(file.root);
}

TEST_P(ModelFile, EveryPaperSizePrintsInsideThePaper)
{
    GpdFile file = Load(GetParam());
    auto options = FeatureOptions(file, "PaperSize");
    ASSERT_FALSE(options.empty()) << "no PaperSize options";
    for (const GpdEntry* option : options) {
        SCOPED_TRACE("PaperSize option " + option->value);
        std::optional<std::pair<long, long>> paper, area, origin, cursor;
        if (auto e = FindEntry(option->children, "PageDimensions"))
            paper = ParsePair(e->value);
        if (auto e = FindEntry(option->children, "PrintableArea"))
            area = ParsePair(e->value);
        if (auto e = FindEntry(option->children, "PrintableOrigin"))
            origin = ParsePair(e->value);
        if (auto e = FindEntry(option->children, "CursorOrigin"))
            cursor = ParsePair(e->value);
        ASSERT_TRUE(paper && area && origin && cursor)
            << "PageDimensions, PrintableArea, PrintableOrigin and CursorOrigin are all needed";

        EXPECT_GT(area->first, 0);
        EXPECT_GT(area->second, 0);
        EXPECT_GE(origin->first, 0);
        EXPECT_GE(origin->second, 0);
        EXPECT_LE(origin->first + area->first, paper->first) << "wider than the paper";
        EXPECT_LE(origin->second + area->second, paper->second) << "longer than the paper";
        EXPECT_GE(cursor->first, 0);
        EXPECT_GE(cursor->second, 0);
        EXPECT_LE(cursor->first, paper->first);
        EXPECT_LE(cursor->second, paper->second);
    }
}

TEST_P(ModelFile, AResolutionGivesItsDpi)
{
    GpdFile file = Load(GetParam());
    bool dpiGiven = false;
    for (const GpdEntry* option : FeatureOptions(file, "Resolution")) {
        if (auto e = FindEntry(option->children, "DPI")) {
            auto dpi = ParsePair(e->value);
            EXPECT_TRUE(dpi && dpi->first > 0 && dpi->second > 0)
                << "Resolution option " << option->value << ": " << e->value;
            dpiGiven = true;
        }
    }
    EXPECT_TRUE(dpiGiven) << "no Resolution option gives *DPI";
}

TEST_P(ModelFile, TheEndOfADocumentCutsThePaper)
{
    GpdFile file = Load(GetParam());
    const GpdEntry* endDoc = FindEntry(file.root, "Command", "CmdEndDoc");
    ASSERT_NE(endDoc, nullptr) << "no CmdEndDoc";
    const GpdEntry* cmd = FindEntry(endDoc->children, "Cmd");
    ASSERT_NE(cmd, nullptr);
    auto bytes = CommandBytes(cmd->value);
    ASSERT_TRUE(bytes) << cmd->value;
    const std::string cut = "\x1D" "V";  // GS V, the printer's paper cut
    EXPECT_NE(bytes->find(cut), std::string::npos) << cmd->value;
}

std::string TestName(const testing::TestParamInfo<const char*>& info)
{
    std::string name = info.param;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Medium, ModelFile, testing::ValuesIn(kModelFiles), TestName);

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " <medium folder win2000/i386>\n";
        return 2;
    }
    gFolder = argv[1];
    return RUN_ALL_TESTS();
}
