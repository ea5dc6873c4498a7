// What the tests of the whole installation share: setup.exe started from a copy of the
// assembled medium in a process of its own, its wizard clicked through from the test, the
// printer simulator on COM1 as the printer.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "engine_fixture.h"
#include "setup_fixture.h"
#include "simulator.h"
#include "test_env.h"
#include "wizard_test.h"

namespace st {

using namespace vt;

// The pages' own controls, by which a test tells the pages apart.
inline constexpr int kModelText = 1020;        // existing-driver page
inline constexpr int kShareNameButton = 1024;  // name page
inline constexpr int kYesButton = 1021;        // test-page page (and others)
inline constexpr int kNoButton = 1022;
inline constexpr int kFinishPortValue = 1027;  // finish page
inline constexpr int kFinishButton = 1004;

// How long a whole run may take on a busy machine: the spooler's restart, the printer's
// wake-up, a test page of PostScript at 9600 baud.
inline constexpr DWORD kRunLimitMs = 180000;
inline constexpr char kMessageCaption[] = "setup";

// The assembled medium copied into a folder of this run named `name` (with a blank); the path
// of its setup.exe.
std::wstring PlaceMedium(const std::wstring& name = L"Setup Medium");

// setup.exe running in a process of its own; stopped if the test leaves it running.
class SetupProcess {
public:
    // Waits for the wizard unless `wizard` is false (a run that shows a message first).
    SetupProcess(const std::wstring& program, const wchar_t* arguments, bool wizard = true) {
        std::wstring commandLine = L"\"" + program + L"\"" + (arguments ? std::wstring(L" ") + arguments : L"");
        STARTUPINFOW start{};
        start.cb = sizeof start;
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &start, &process_)) {
            ADD_FAILURE() << "cannot start " << vt::Narrow(program) << ": " << GetLastError();
            return;
        }
        if (wizard)
            wizard_ = WaitForDialog("Vesk Systems Setup", kWaitMs, Caption::Exact, process_.dwProcessId);
    }
    ~SetupProcess() {
        if (!process_.hProcess) return;
        if (!Ended(0)) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    HWND wizard() const { return wizard_; }
    bool Ended(DWORD ms) const {
        return process_.hProcess && WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0;
    }
    // The exit code of a program that has ended.
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        if (process_.hProcess) GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }
    // A message box of setup's, or null once `ms` have passed without one.
    HWND Message(DWORD ms = kWaitMs) const {
        return WaitForDialog(kMessageCaption, ms, Caption::Exact, process_.dwProcessId);
    }
    HWND Dialog(const char* caption, DWORD ms = kWaitMs) const {
        return WaitForDialog(caption, ms, Caption::Exact, process_.dwProcessId);
    }
    // Waits for the program to end by itself; a message of its on the way fails the test
    // at once, with its text.
    bool RunsToItsEnd() const {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < kRunLimitMs) {
            if (Ended(200)) return true;
            if (HWND box = Message(0)) {
                ADD_FAILURE() << "setup stopped with the message: " << MessageText(box);
                return false;
            }
        }
        ADD_FAILURE() << "setup did not end within " << kRunLimitMs << " ms";
        return false;
    }

private:
    PROCESS_INFORMATION process_{};
    HWND wizard_ = nullptr;
};

// How a run of setup.exe without the wizard ended.
struct QuietRun {
    DWORD exitCode = STILL_ACTIVE;
    bool windowShown = false;  // a visible window of setup's appeared while it ran
};
// Runs setup.exe with `arguments` to its end (stopped, and the test failed, after
// kRunLimitMs), watching for any window it shows.
QuietRun RunQuietly(const std::wstring& program, const std::wstring& arguments);

// What an installation may change on the machine, as text that compares equal when nothing
// changed: the spooler's printers, drivers, monitors and print processors, the files under
// System32 (the spooler's folders among them) and setup's copy, the spooler's registry keys,
// the product's Uninstall entry and automatic-restart value, and win.ini.
std::vector<std::string> MachineListing();
// The lines only one of two listings holds, each marked "-" (before) or "+" (after); "" when
// they are the same.
std::string ListingChanges(const std::vector<std::string>& before, const std::vector<std::string>& after);

// Presses a button of a message box or dialog of setup's and waits until it has gone.
void Answer(HWND window, int id);

struct Answers {
    bool confirmPrinter = true;  // leave "Proceed without confirming" unticked
    bool testPage = true;
    bool replaceDriver = false;  // on the existing-driver page, when it shows
};

// Clicks from the licence page to the finish page, as a person does, choosing Kx310; returns
// the finish page.
HWND WalkToFinish(HWND wizard, const Answers& answers);

// The roll-paper form's registry value, as an earlier installation leaves it.
bool FormValueExists();
void PutFormValue();

// The printer `name` as the installation creates it for the Kx310: on port VESK, with the
// model's driver and the Vesk print processor (each checked); none when there is no such
// printer.
std::optional<InstalledPrinter> InstalledKx310(const std::string& name);

// Sends `data` as a raw job through the spooler to `printer`.
bool PrintRaw(const char* printer, const std::string& data);
// Prints `receipt` raw on `printer` once the line is quiet, and returns the paper the printer
// `sim` printed of it (waiting 10 s at most for all of it). A job that starts while an earlier
// job's tail is still on the line runs into it, and its wake-up reads as data.
std::string PrintedReceipt(Simulator& sim, const char* printer, const std::string& receipt);

class InstallRun : public ::testing::Test {
protected:
    void SetUp() override;
    Simulator sim{"com1"};
    std::wstring program;
};

}  // namespace st
