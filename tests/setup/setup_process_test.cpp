// setup.exe itself, started as a person or the automatic-restart entry starts it: from a
// long folder path, with and without "install", and (in a lane with a double-byte ANSI code
// page) from folders whose double-byte names hold trail bytes with the code of "\".
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "../../common/system_library.h"
#include "dialog_driver.h"
#include "resource.h"
#include "setup_fixture.h"
#include "start_up.h"
#include "test_env.h"

using namespace st;
using namespace vt;

namespace {

constexpr DWORD kExitWaitMs = 10000;

// A copy of the built setup.exe, named `programName`, in `folder` (wide, so any code page
// serves), with the shipped licence beside it.
std::wstring PlaceSetup(const std::wstring& folder, const std::wstring& programName,
                        const wchar_t* builtName = L"setup.exe") {
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"licence").c_str(), nullptr);
    std::wstring bin = vt::BinDir();
    std::wstring program = folder + programName;
    EXPECT_TRUE(CopyFileW((bin + builtName).c_str(), program.c_str(), FALSE));
    EXPECT_TRUE(CopyFileW((bin + L"licence\\KVT_Lic.txt").c_str(), (folder + L"licence\\KVT_Lic.txt").c_str(), FALSE));
    return program;
}

struct SetupRun {
    bool opened = false;         // the wizard showed its licence page
    // The licence could be read: only a missing licence disables acceptance. (Its text
    // cannot be read across processes: Wine passes no rich edit text between them.)
    bool acceptEnabled = false;
    bool ended = false;          // the program ended when its window was closed
};

// Starts `program` with `arguments`, looks at its licence page, runs `whileOpen` (given the
// wizard and that page), closes it.
SetupRun RunSetup(const std::wstring& program, const std::wstring& arguments,
                  const std::function<void(HWND, HWND)>& whileOpen = [](HWND, HWND) {}) {
    SetupRun run;
    std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // Wine's process start itself now and then fails with an internal error on a busy
    // machine, before any code of the program runs; only that error is tried again.
    BOOL started = FALSE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &si, &pi);
        error = started ? 0 : GetLastError();
        if (!started && error != ERROR_INTERNAL_ERROR) break;
        if (!started) std::printf("the start of %s failed with 1359; trying again\n", vt::Narrow(program).c_str());
    }
    if (!started) {
        ADD_FAILURE() << "cannot start " << vt::Narrow(program) << ": " << error;
        return run;
    }
    HWND wizard = WaitForDialog("Vesk Systems Setup", kWaitMs, Caption::Exact, pi.dwProcessId);
    HWND page = wizard ? WaitForPage(wizard, IDC_ACCEPT) : nullptr;
    if (page) {
        run.opened = true;
        run.acceptEnabled = ItemEnabled(page, IDC_ACCEPT);
        whileOpen(wizard, page);
    }
    if (wizard) PostMessageW(wizard, WM_CLOSE, 0, 0);
    run.ended = WaitForSingleObject(pi.hProcess, kExitWaitMs) == WAIT_OBJECT_0;
    if (!run.ended) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

}  // namespace

TEST(SetupProgram, OnlyTheExactInstallArgumentRemovesTheRunEntry) {
    RunEntryGuard guard;
    // A saved state naming no model of the catalogue: "install" then opens on the licence
    // page as a fresh run does, and no installation starts in this shared prefix.
    WritePrivateProfileStringA("SavedData", "gModelIndex", "99", "SETUP.INI");
    std::wstring program = vt::BinDir() + L"setup.exe";
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"", false}, {L"Install", false}, {L"install ", false}, {L"install now", false}, {L"install", true}};
    for (auto [arguments, removes] : cases) {
        SCOPED_TRACE(vt::Narrow(arguments));
        SetRunEntry("\"C:\\medium\\setup.exe\" install");
        SetupRun run = RunSetup(program, arguments, [&](HWND, HWND) {
            EXPECT_EQ(RunEntry().has_value(), !removes) << "while the wizard is open";
        });
        EXPECT_TRUE(run.opened);
        EXPECT_TRUE(run.ended);
    }
    WritePrivateProfileStringA("SavedData", nullptr, nullptr, "SETUP.INI");
}

TEST(SetupProgram, FindsItsLicenceFromAFolderPathLongerThanItsFirstBuffer) {
    std::wstring folder = vt::RunDir() + L"a folder name long enough to pass the first buffers\\";
    folder += L"of the program path, which grows sixty-four characters at a time\\";
    CreateDirectoryW((vt::RunDir() + L"a folder name long enough to pass the first buffers\\").c_str(), nullptr);
    std::wstring program = PlaceSetup(folder, L"setup.exe");
    ASSERT_GT(program.size(), 2 * 64u);
    SetupRun run = RunSetup(program, L"");
    EXPECT_TRUE(run.opened);
    EXPECT_TRUE(run.acceptEnabled);
    EXPECT_TRUE(run.ended);

    // The same program where the licence is missing shows the notice instead.
    std::wstring bare = vt::RunDir() + L"no licence here\\";
    std::wstring other = PlaceSetup(bare, L"setup.exe");
    DeleteFileW((bare + L"licence\\KVT_Lic.txt").c_str());
    SetupRun missing = RunSetup(other, L"");
    EXPECT_TRUE(missing.opened);
    EXPECT_FALSE(missing.acceptEnabled);
}

// The full path of the module `name` loaded in process `id`, or "".
static std::wstring LoadedModulePath(DWORD id, const wchar_t* name) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (!process) return L"";
    HMODULE modules[512];
    DWORD bytes = 0;
    std::wstring found;
    if (EnumProcessModules(process, modules, sizeof(modules), &bytes)) {
        for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
            wchar_t path[MAX_PATH];
            if (!GetModuleFileNameExW(process, modules[i], path, MAX_PATH)) continue;
            const wchar_t* file = wcsrchr(path, L'\\');
            if (lstrcmpiW(file ? file + 1 : path, name) == 0) found = path;
        }
    }
    CloseHandle(process);
    return found;
}

static std::wstring SystemFolderW() {
    wchar_t folder[MAX_PATH];
    UINT chars = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, chars) + L"\\";
}

// A download folder: setup.exe, its licence, and libraries under the names of system libraries
// that a program, or the system on its behalf, loads by name. `built` is the setup.exe placed
// there: the shipped one, or one that acts as a system without SetDefaultDllDirectories.
static void ExpectNoPlantedLibraryLoaded(const wchar_t* built, const wchar_t* folderName) {
    std::wstring folder = vt::RunDir() + folderName;
    std::wstring program = PlaceSetup(folder, L"setup.exe", built);
    const wchar_t* const planted[] = {L"Msftedit.dll", L"winspool.drv", L"version.dll",
                                      L"comctl32.dll", L"uxtheme.dll", L"serialui.dll"};
    for (const wchar_t* name : planted)
        EXPECT_TRUE(CopyFileW((vt::BinDir() + L"planted.dll").c_str(), (folder + name).c_str(), FALSE));
    bool walked = false;
    std::wstring spooler;
    SetupRun run = RunSetup(program, L"", [&](HWND wizard, HWND licence) {
        // Through the licence and the port settings to the model page, as a person would.
        PostClick(licence, IDC_ACCEPT);
        PostClick(licence, IDC_NEXT);
        HWND port = WaitForPage(wizard, IDC_COM_PORT);
        if (!port) return;
        PostClick(port, IDC_NEXT);
        HWND model = WaitForPage(wizard, IDC_MODEL_LIST);
        walked = model != nullptr;
        if (!model) return;
        // A model chosen and Next: the wizard asks the spooler about drivers and printers,
        // which binds the spooler's client library for the first time.
        SendMessageW(GetDlgItem(model, IDC_MODEL_LIST), LB_SETCURSEL, 0, 0);
        PostMessageW(model, WM_COMMAND, MAKEWPARAM(IDC_MODEL_LIST, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(model, IDC_MODEL_LIST)));
        PostClick(model, IDC_NEXT);
        DWORD id = 0;
        GetWindowThreadProcessId(wizard, &id);
        for (int i = 0; i < 100 && spooler.empty(); ++i) {
            spooler = LoadedModulePath(id, L"winspool.drv");
            if (spooler.empty()) Sleep(50);
        }
    });
    EXPECT_TRUE(run.opened);
    EXPECT_TRUE(walked) << "the model page was reached";
    EXPECT_EQ(vt::Narrow(spooler), vt::Narrow(SystemFolderW() + L"winspool.drv"))
        << "the spooler's client library, once the wizard needs it";
    EXPECT_TRUE(run.ended);
    for (const wchar_t* name : planted)
        EXPECT_EQ(GetFileAttributesW((folder + name + L".loaded").c_str()), INVALID_FILE_ATTRIBUTES)
            << vt::Narrow(name) << " was loaded from the program's folder";
}

TEST(SetupProgram, LoadsNoLibraryPlantedBesideIt) {
    ExpectNoPlantedLibraryLoaded(L"setup.exe", L"downloads\\");
}

TEST(SetupProgram, LoadsNoLibraryPlantedBesideItWhereTheSystemCannotRestrictTheSearch) {
    ExpectNoPlantedLibraryLoaded(L"setup_without_default_directories.exe", L"old downloads\\");
}

TEST(SetupProgram, AfterTheRestrictionABareNameIsNotLookedForInTheProgramsFolder) {
    // What setup.exe does first, done here: a library beside this program, which a bare
    // name finds before the restriction, is not found after it. (Wine's own libraries load
    // nothing from a program's folder by themselves, so setup.exe's run cannot show this.)
    std::wstring beside = vt::BinDir() + L"vesk_planted_probe.dll";
    ASSERT_TRUE(CopyFileW((vt::BinDir() + L"planted.dll").c_str(), beside.c_str(), FALSE));
    HMODULE before = LoadLibraryW(L"vesk_planted_probe.dll");
    EXPECT_NE(before, nullptr) << "found in the program's folder";
    if (before) FreeLibrary(before);
    vesk::RestrictLibrarySearchToSystem();
    HMODULE after = LoadLibraryW(L"vesk_planted_probe.dll");
    EXPECT_EQ(after, nullptr) << "looked for in the system directory only";
    if (after) FreeLibrary(after);
    DeleteFileW((beside + L".loaded").c_str());
    DeleteFileW(beside.c_str());
}

// 表 (0x95 0x5C) and ソ (0x83 0x5C) in code page 932: their trail byte is the code of "\".
const wchar_t kTrailFolder[] = L"\u8868\u793a";       // 表示
const wchar_t kTrailProgram[] = L"\u30bd\u30d5\u30c8.exe";  // ソフト.exe

TEST(DoubleByte, TheFolderEndsAtTheRealLastSeparator) {
    ASSERT_EQ(GetACP(), 932u) << "this test runs with a double-byte ANSI code page";
    EXPECT_EQ(FolderOf("C:\\\x95\x5C\\setup.exe"), "C:\\\x95\x5C\\");
    EXPECT_EQ(FolderOf("C:\\setup\\\x83\x5C\x83\x74\x83\x67.exe"), "C:\\setup\\");
    EXPECT_EQ(FileNameOf("C:\\setup\\\x83\x5C\x83\x74\x83\x67.exe"), "\x83\x5C\x83\x74\x83\x67.exe");
    EXPECT_EQ(FolderOf("\x95\x5C"), "") << "a trail byte alone is no separator";
}

TEST(DoubleByte, SetupFindsItsLicenceBehindTrailBytesThatLookLikeSeparators) {
    ASSERT_EQ(GetACP(), 932u);
    std::wstring folder = vt::RunDir() + kTrailFolder + L"\\";
    std::wstring program = PlaceSetup(folder, kTrailProgram);
    // The program's path in the ANSI code page does hold "\" codes inside its characters.
    char ansi[MAX_PATH * 2];
    WideCharToMultiByte(CP_ACP, 0, program.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    EXPECT_NE(std::string(ansi).find("\x95\x5C"), std::string::npos);
    EXPECT_NE(std::string(ansi).find("\x83\x5C"), std::string::npos);

    SetupRun run = RunSetup(program, L"");
    EXPECT_TRUE(run.opened);
    EXPECT_TRUE(run.acceptEnabled);
    EXPECT_TRUE(run.ended);
}
