// What the installation engine's tests share: the messages the steps show (caught, with
// scripted answers to their questions), the assembled setup medium and media of a test's own
// making, the spooler read back, and the step runner started under another Windows version.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "install_choices.h"
#include "install_front_end.h"

namespace st {

// The engine's front end in a test: records what the steps tell and ask while it lives, and
// answers their questions from `answers` in order, then with No; the printer's present
// settings are not given. No window, no message box.
class RecordingFrontEnd : public InstallFrontEnd {
public:
    explicit RecordingFrontEnd(std::deque<int> answers = {});
    ~RecordingFrontEnd() override;
    RecordingFrontEnd(const RecordingFrontEnd&) = delete;
    RecordingFrontEnd& operator=(const RecordingFrontEnd&) = delete;

    int Ask(const std::string& text, UINT type) override;
    bool AskPortSettings(const std::string&, COMMCONFIG&) override { return false; }
    void Progress(InstallProgress progress) override { progress_.push_back(progress); }
    // What the run told of its progress, in order.
    const std::vector<InstallProgress>& ProgressSeen() const { return progress_; }

    const std::vector<std::string>& Messages() const;
    // How many questions (Yes/No) were asked.
    int Questions() const;
    // Runs `action` while the next question is on the screen, as another program might.
    void DuringNextQuestion(std::function<void()> action);

private:
    FrontEndScope scope_{*this};
    std::vector<InstallProgress> progress_;
};

// The same for a test that runs the wizard: the wizard's own message boxes (and the engine's,
// which the frame shows) are caught too, through the message box hook.
class MessageCatcher : public RecordingFrontEnd {
public:
    explicit MessageCatcher(std::deque<int> answers = {});
    ~MessageCatcher() override;
};

// The medium the build assembled (build/medium), ending in "\".
std::string AssembledMedium();
// A medium of this test's making under the run folder, empty, ending in "\".
std::string EmptyMedium(const char* name);
// Writes `content` into `folder` + `relativePath`, making the folders on the way.
void PutFile(const std::string& folder, const std::string& relativePath, const std::string& content);
// Copies a built program or library (build/bin) to `folder` + `relativePath`.
void PutBuiltFile(const std::string& folder, const std::string& relativePath, const char* builtName);
std::string FileContent(const std::string& path);
bool FileExists(const std::string& path);

// The record with the catalogue built, the model `model` chosen and its printer described as
// the wizard would, installing from `medium`; the port settings stored as a run stores them
// before its monitor step.
void ChooseModel(const std::string& medium, const char* model);

// Makes "Vesk Print Processor" known to the spooler, so that printers can name it.
void RegisterPrintProcessorForTests();

// The system directory, and the spooler's driver and print processor directories for
// `environment` (null: this program's own), each ending in "\".
std::string SystemFolder();
std::string DriverFolder(const char* environment = nullptr);
std::string PrintProcessorFolder(const char* environment = nullptr);
// Whether the spooler lists a print processor of exactly `name` for this program's environment.
bool PrintProcessorListed(const char* name);

// A key of the win.ini profile, or "(missing)".
std::string ProfileText(const char* section, const char* key);
// The default printer's name, or "".
std::string DefaultPrinter();
// The state of the service `name` (SERVICE_RUNNING …), or 0 when it cannot be read.
DWORD ServiceState(const char* name);
// Stops the spooler service and waits until it has stopped.
void StopSpooler();

struct InstalledDriver {
    std::string name, environment, driverPath, dataFile, configFile, helpFile;
    DWORD cVersion = 0;
    std::vector<std::string> dependentFiles;
};
// The drivers of the running environment, as the spooler lists them at level 3.
std::vector<InstalledDriver> InstalledDrivers();
const InstalledDriver* FindDriver(const std::vector<InstalledDriver>& drivers, const std::string& name);
// Registers a driver of that name whose files need not exist (the spooler under test does
// not check them).
void AddTestDriver(const char* name);

struct InstalledPrinter {
    std::string name, share, port, driver, processor, datatype;
    DWORD attributes = 0;
};
std::vector<InstalledPrinter> LocalPrinters();
const InstalledPrinter* FindPrinter(const std::vector<InstalledPrinter>& printers, const std::string& name);
// Adds a printer on `port` with `driver`; the printer processor is the platform's own.
void AddTestPrinter(const char* name, const char* driver, const char* port = "VESK");
void DeletePrinterNamed(const char* name);
// Queues a job on `printer` that waits there (added, never scheduled); its spool file. Wine
// keeps the file when the printer is deleted, and has neither the purge nor a job list to
// read back, so that the waiting document goes with its printer only Windows can show.
std::string QueueJob(const char* printer);

// A text value of the product's Uninstall entry, or "(missing)"; a number, or 0xFFFFFFFF.
std::wstring UninstallEntryText(const wchar_t* name);
DWORD UninstallEntryNumber(const wchar_t* name);

// The monitors the spooler lists, and the library Wine keeps for one in the registry.
std::vector<std::string> MonitorNames();
std::string RegisteredMonitorLibrary(const char* name);

// Runs the step runner (setupstep.exe) with the Windows version `version` ("win98", "nt40",
// "win2k", "win10") reported to it alone, and returns what it printed.
std::string RunStepAs(const char* version, const std::string& arguments);
// The value of the first line "key: value" of a step runner's output, or "(missing)".
std::string OutputValue(const std::string& output, const std::string& key);

}  // namespace st
