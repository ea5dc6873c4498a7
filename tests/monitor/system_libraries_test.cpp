// The monitor runs inside the spooler: the libraries it loads by name come from the system
// directory, by their full path, never from a search that a planted library could answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spooler_services.h"

namespace {

std::vector<std::wstring> g_asked;

HMODULE WINAPI RecordLoad(LPCWSTR path) {
    g_asked.push_back(path);
    return nullptr;
}

}  // namespace

TEST(SystemLibraries, TheSpoolerServicesAreLoadedByTheirFullSystemPath) {
    // A test's stand-in for the spooler would be named here; this run names none.
    wchar_t standIn[MAX_PATH] = {};
    DWORD had = GetEnvironmentVariableW(L"VESKMON_SPOOLER_SERVICES", standIn, MAX_PATH);
    SetEnvironmentVariableW(L"VESKMON_SPOOLER_SERVICES", nullptr);
    SpoolerServices s = LookUpSpoolerServices(RecordLoad);
    if (had) SetEnvironmentVariableW(L"VESKMON_SPOOLER_SERVICES", standIn);

    wchar_t system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    // Wine's spooler library carries stubs that end the process: there the client library
    // serves.
    std::wstring expected = std::wstring(system) + (RunningOnWine() ? L"\\winspool.drv" : L"\\SPOOLSS.DLL");
    EXPECT_EQ(g_asked, std::vector<std::wstring>{expected});
    EXPECT_EQ(s.OpenPrinterW, nullptr) << "nothing was loaded, so nothing was resolved";
}
