// The printer steps against the spooler of a prefix made for this run, read back with the
// spooler's own list of printers and its default printer.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "printer_install.h"
#include "system_error_text.h"
#include "setup_dlg.h"
#include "setup_fixture.h"

namespace {

class EnginePrinter : public ::testing::Test {
protected:
    void SetUp() override {
        st::RegisterPrintProcessorForTests();
        for (const char* driver : {"Kx310", "kx120", "Kx2", "Kx240", "x", "0", "Kx310 Plus", "Other"})
            ASSERT_NO_FATAL_FAILURE(st::AddTestDriver(driver));
    }
    void TearDown() override {
        for (const st::InstalledPrinter& p : st::LocalPrinters())
            if (p.port == "VESK") st::DeletePrinterNamed(p.name.c_str());
    }
};

TEST_F(EnginePrinter, IsCreatedOnThePortWithThePrintProcessorAndSharedOnlyByName) {
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    st::RecordingFrontEnd messages;
    EXPECT_TRUE(CreatePrinter());
    Choices().PrinterInfo.PrinterName = "Counter receipts";
    Choices().PrinterInfo.ShareName = "receipts";
    EXPECT_TRUE(CreatePrinter());
    EXPECT_TRUE(messages.Messages().empty()) << messages.Messages().front();

    std::vector<st::InstalledPrinter> printers = st::LocalPrinters();
    const st::InstalledPrinter* plain = st::FindPrinter(printers, "Kx310");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->port, "VESK");
    EXPECT_EQ(plain->driver, "Kx310");
    EXPECT_EQ(plain->processor, "Vesk Print Processor");
    EXPECT_EQ(plain->datatype, "RAW");
    EXPECT_EQ(plain->attributes & PRINTER_ATTRIBUTE_SHARED, 0u);
    const st::InstalledPrinter* shared = st::FindPrinter(printers, "Counter receipts");
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->attributes & PRINTER_ATTRIBUTE_SHARED, DWORD(PRINTER_ATTRIBUTE_SHARED));
    EXPECT_EQ(shared->share, "receipts");
}

TEST_F(EnginePrinter, ASecondPrinterOfATakenNameIsRefused) {
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    st::RecordingFrontEnd messages;
    ASSERT_TRUE(CreatePrinter());
    EXPECT_FALSE(CreatePrinter());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0], SystemErrorText(ERROR_PRINTER_ALREADY_EXISTS));
    int named = 0;
    for (const st::InstalledPrinter& p : st::LocalPrinters()) named += p.name == "Kx310";
    EXPECT_EQ(named, 1);
}

TEST_F(EnginePrinter, BecomesTheDefaultPrinter) {
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    Choices().PrinterInfo.PrinterName = "Till 2";
    st::RecordingFrontEnd messages;
    ASSERT_TRUE(CreatePrinter());
    EXPECT_TRUE(MakeDefaultPrinter("Till 2"));
    EXPECT_EQ(st::DefaultPrinter(), "Till 2");
    EXPECT_FALSE(MakeDefaultPrinter(""));
    EXPECT_FALSE(MakeDefaultPrinter("No such printer"));
    EXPECT_EQ(st::DefaultPrinter(), "Till 2");
}

TEST_F(EnginePrinter, CountsNamesThatBeginWithThePrefixInAnyCase) {
    st::RecordingFrontEnd messages;
    EXPECT_EQ(CountPrinters("Kx310"), 0);
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Kx310", "Kx310"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("kX310 (Copy 2)", "Kx310"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Kx31", "Kx310"));
    // Named with the prefix inside, as a connection's name "\\server\Kx310" is: not counted.
    // (The spooler under test cannot make connections: AddPrinterConnection is a stub there.)
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Front Kx310", "Kx310"));
    EXPECT_EQ(CountPrinters("Kx310"), 2);
    EXPECT_EQ(CountPrinters("KX3"), 3);

    EXPECT_EQ(DefaultPrinterName("Kx310", CountPrinters("Kx310")), "Kx310 (Copy 3)");
    EXPECT_EQ(DefaultPrinterName("Kx120", CountPrinters("Kx120")), "Kx120");
    EXPECT_TRUE(messages.Messages().empty());
}

std::string ReplaceQuestion(const std::string& printer, const std::string& driver) {
    return "The printer is already installed. Do you want to replace it?\n"
           "You must uninstall it in order to install the new printer!\n\nPrinter: " +
           printer + "\nDriver: " + driver;
}

TEST_F(EnginePrinter, RemovesPrintersOfTheModelsOnlyWhileTheUserSaysYes) {
    // Driver names that are only pieces of the model list, or more than a model's name.
    for (auto [name, driver] : {std::pair{"Bar", "Other"}, {"Kitchen", "Kx310 Plus"},
                                {"Piece", "Kx2"}, {"Letter", "x"}, {"Digit", "0"}})
        ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter(name, driver));
    const char* others[] = {"Bar", "Kitchen", "Piece", "Letter", "Digit"};
    // A model in other letter case, and the Kx240-F's earlier driver name.
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till A", "Kx310"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till B", "kx120"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till C", "Kx240"));
    // The spooler's order decides which printer is asked about first.
    std::vector<st::InstalledPrinter> candidates;
    for (const st::InstalledPrinter& p : st::LocalPrinters())
        if (p.driver == "Kx310" || p.driver == "kx120" || p.driver == "Kx240")
            candidates.push_back(p);
    ASSERT_EQ(candidates.size(), 3u);

    st::RecordingFrontEnd messages({IDYES, IDNO});
    bool removed = false;
    EXPECT_FALSE(RemoveExistingPrinters(removed));
    EXPECT_TRUE(removed);
    EXPECT_EQ(messages.Questions(), 2);
    std::vector<std::string> asked = {ReplaceQuestion(candidates[0].name, candidates[0].driver),
                                      ReplaceQuestion(candidates[1].name, candidates[1].driver)};
    EXPECT_EQ(messages.Messages(), asked);

    std::vector<st::InstalledPrinter> after = st::LocalPrinters();
    EXPECT_EQ(st::FindPrinter(after, candidates[0].name), nullptr);
    EXPECT_NE(st::FindPrinter(after, candidates[1].name), nullptr);
    EXPECT_NE(st::FindPrinter(after, candidates[2].name), nullptr);

    // Yes to both that are left: the step goes through, the others stay.
    st::RecordingFrontEnd again({IDYES, IDYES});
    removed = false;
    EXPECT_TRUE(RemoveExistingPrinters(removed));
    EXPECT_TRUE(removed);
    EXPECT_EQ(again.Questions(), 2);
    after = st::LocalPrinters();
    EXPECT_EQ(st::FindPrinter(after, candidates[1].name), nullptr);
    EXPECT_EQ(st::FindPrinter(after, candidates[2].name), nullptr);
    for (const char* name : others) EXPECT_NE(st::FindPrinter(after, name), nullptr) << name;
}

TEST_F(EnginePrinter, OneThatCannotBeDeletedIsNamedAndStopsTheStep) {
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till Gone", "Kx310"));
    st::RecordingFrontEnd messages({IDYES});
    // Gone by the time the answer comes, as when another program deletes it.
    messages.DuringNextQuestion([] { st::DeletePrinterNamed("Till Gone"); });
    bool removed = false;
    EXPECT_FALSE(RemoveExistingPrinters(removed));
    EXPECT_FALSE(removed);
    ASSERT_EQ(messages.Messages().size(), 2u);
    EXPECT_EQ(messages.Messages()[0], ReplaceQuestion("Till Gone", "Kx310"));
    const std::string said = "The printer \"Till Gone\" could not be deleted.\n";
    EXPECT_EQ(messages.Messages()[1].substr(0, said.size()), said);
    EXPECT_GT(messages.Messages()[1].size(), said.size());
}

}  // namespace
