// What the setup tests share: a fresh installation record, setup folders with or without a
// licence, the automatic-restart entry and the saved-state store of this test program.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace st {

// The record as a run's start makes it for `commandLine`, with the licence shipped beside
// the programs.
void FreshChoices(const char* commandLine = "setup_tests.exe");

// The folder of this test program, where the build puts the shipped licence too.
std::string ProgramFolder();
// A folder of this test run (ending in "\"), made if needed.
std::string RunFolder(const char* name);
// A setup folder whose licence file holds `text`; "" makes no licence folder at all.
std::string SetupFolderWithLicence(const char* name, const std::string& text, bool withLicence);

// The value "KVT" of the Run key, or nothing.
std::optional<std::string> RunEntry();
void SetRunEntry(const char* data);
void DeleteRunEntry();
// Puts the Run value back as it was when the test started.
class RunEntryGuard {
public:
    RunEntryGuard() : saved_(RunEntry()) {}
    ~RunEntryGuard();
    RunEntryGuard(const RunEntryGuard&) = delete;
    RunEntryGuard& operator=(const RunEntryGuard&) = delete;

private:
    std::optional<std::string> saved_;
};

// This program's saved-state store, as setup names it, and writing into it.
std::string StoreFile();
void SaveValue(const char* key, const char* value);
// Removes the store file from the Windows directory.
void RemoveStore();

}  // namespace st
