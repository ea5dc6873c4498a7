#include "install_run_fixture.h"

#include <winspool.h>

#include <algorithm>
#include <iterator>

#include "resource.h"
#include "../../common/visible_window.h"

using namespace vt;

namespace st {


namespace {

void CopyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((from + L"*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << vt::Narrow(from);
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + name + L"\\", to + name + L"\\");
        else
            EXPECT_TRUE(CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE)) << vt::Narrow(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

}  // namespace

// The assembled medium copied into a folder of this run named `name` (with a blank); the path
// of its setup.exe.
std::wstring PlaceMedium(const std::wstring& name) {
    std::wstring folder = vt::RunDir() + name + L"\\";
    CopyTree(vt::Widen(AssembledMedium()), folder);
    return folder + L"setup.exe";
}

// Presses a button of a message box or dialog of setup's and waits until it has gone.
void Answer(HWND window, int id) {
    PostClick(window, id);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }));
}

// The visible page showing `id` and not `notId`.
HWND PageWith(HWND wizard, int id, int notId) {
    HWND page = nullptr;
    WaitUntil([&] {
        page = VisiblePage(wizard, id);
        return page && !VisiblePage(wizard, notId);
    });
    return page;
}

// Clicks from the licence page to the finish page, as a person does, choosing Kx310; returns
// the finish page.
HWND WalkToFinish(HWND wizard, const Answers& answers) {
    HWND model = WalkToModelPage(wizard, [&](HWND port) {
        int selected = -1;
        std::vector<std::wstring> ports = ComboItems(port, IDC_COM_PORT, &selected);
        EXPECT_TRUE(selected >= 0 && ports[selected] == L"COM1:") << "COM1: is not the chosen port";
        if (!answers.confirmPrinter) Click(port, IDC_NO_CONFIRM);
    });
    if (!model || !ChooseListItem(model, IDC_MODEL_LIST, "Kx310")) return nullptr;
    Click(model, IDC_NEXT);
    // With the model's driver installed, the existing-driver page comes first: kept.
    HWND name = nullptr;
    WaitUntil([&] {
        name = VisiblePage(wizard, kShareNameButton);
        return name || VisiblePage(wizard, kModelText);
    });
    if (HWND existing = VisiblePage(wizard, kModelText)) {
        if (answers.replaceDriver) Click(existing, kNoButton);
        Click(existing, IDC_NEXT);
        name = WaitForPage(wizard, kShareNameButton);
    }
    if (!name) return nullptr;
    Click(name, IDC_NEXT);
    HWND testPage = PageWith(wizard, kYesButton, kShareNameButton);
    if (!testPage) return nullptr;
    if (!answers.testPage) Click(testPage, kNoButton);
    Click(testPage, IDC_NEXT);
    return WaitForPage(wizard, kFinishPortValue);
}

bool FormValueExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Forms", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool found = RegQueryValueExA(key, "58 mm Roll Paper", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

void PutFormValue() {
    BYTE form[32] = {};
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Forms",
                              "58 mm Roll Paper", REG_BINARY, form, sizeof form),
              ERROR_SUCCESS);
}

// Sends `data` as a raw job through the spooler to `printer`.
bool PrintRaw(const char* printer, const std::string& data) {
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer), &handle, nullptr)) return false;
    DOC_INFO_1A doc{const_cast<char*>("Receipt"), nullptr, const_cast<char*>("RAW")};
    DWORD written = 0;
    bool ok = StartDocPrinterA(handle, 1, reinterpret_cast<BYTE*>(&doc)) &&
              WritePrinter(handle, const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), &written) &&
              written == data.size() && EndDocPrinter(handle);
    ClosePrinter(handle);
    return ok;
}

std::string PrintedReceipt(Simulator& sim, const char* printer, const std::string& receipt) {
    long heard = -1;
    for (int i = 0; i < 100; ++i) {
        long now = sim.Count("received");
        if (now == heard) break;
        heard = now;
        Sleep(100);
    }
    sim.Reset();
    EXPECT_TRUE(PrintRaw(printer, receipt)) << GetLastError();
    sim.WaitFor("printed", static_cast<long>(receipt.size()), 10000);
    return sim.Paper();
}

std::optional<InstalledPrinter> InstalledKx310(const std::string& name) {
    auto printers = LocalPrinters();
    const InstalledPrinter* printer = FindPrinter(printers, name);
    if (!printer) return std::nullopt;
    EXPECT_EQ(printer->port, "VESK");
    EXPECT_EQ(printer->driver, "Kx310");
    EXPECT_EQ(printer->processor, "Vesk Print Processor");
    return *printer;
}

QuietRun RunQuietly(const std::wstring& program, const std::wstring& arguments) {
    QuietRun run;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &start, &process)) {
        ADD_FAILURE() << "cannot start " << Narrow(program) << ": " << GetLastError();
        return run;
    }
    vesk::WindowWatch watch{process.dwProcessId, false};
    DWORD began = GetTickCount();
    bool ended = false;
    while (!ended && GetTickCount() - began < kRunLimitMs) {
        ended = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0;
        vesk::LookForWindows(watch);
    }
    run.windowShown = watch.shown;
    if (!ended) {
        ADD_FAILURE() << "setup did not end within " << kRunLimitMs << " ms";
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

namespace {

void ListFiles(const std::string& folder, bool recurse, std::vector<std::string>& lines) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines.push_back("folder " + folder + name);
            if (recurse) ListFiles(folder + name + "\\", true, lines);
        } else {
            lines.push_back("file " + folder + name + " " + std::to_string(entry.nFileSizeLow));
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

// False when the key is not there.
bool ListKey(HKEY root, const std::string& path, std::vector<std::string>& lines) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    lines.push_back("key " + path);
    char name[512];
    BYTE data[4096];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        std::string value = "value " + path + " [" + name + "] " + std::to_string(type) + " ";
        for (DWORD b = 0; b < dataSize; ++b) value += std::to_string(data[b]) + ".";
        lines.push_back(value);
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& subkey : subkeys) ListKey(root, path + "\\" + subkey, lines);
    return true;
}

}  // namespace

std::vector<std::string> MachineListing() {
    std::vector<std::string> lines;
    for (const InstalledPrinter& p : LocalPrinters())
        lines.push_back("printer " + p.name + "|" + p.port + "|" + p.driver + "|" + p.processor);
    for (const InstalledDriver& d : InstalledDrivers()) lines.push_back("driver " + d.name + "|" + d.dataFile);
    for (const std::string& m : MonitorNames()) lines.push_back("monitor " + m);
    DWORD needed = 0, count = 0;
    EnumPrintProcessorsA(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    bool listed = EnumPrintProcessorsA(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count);
    EXPECT_TRUE(listed) << "the print processors could not be listed: " << GetLastError();
    if (listed) {
        auto* items = reinterpret_cast<PRINTPROCESSOR_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) lines.push_back(std::string("print processor ") + items[i].pName);
    }
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    size_t beforeFiles = lines.size();
    ListFiles(SystemFolder(), true, lines);
    EXPECT_GT(lines.size(), beforeFiles) << "no files listed in " << SystemFolder();
    ListFiles(std::string(windows) + "\\", false, lines);
    char programFiles[MAX_PATH];
    if (GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH)) {
        std::string copy = std::string(programFiles) + "\\Vesk Setup";
        if (GetFileAttributesA(copy.c_str()) != INVALID_FILE_ATTRIBUTES) lines.push_back("folder " + copy);
        ListFiles(copy + "\\", true, lines);
    }
    // A listing that missed what it lists would compare equal to anything.
    EXPECT_TRUE(ListKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print", lines));
    ListKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", lines);
    ListKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", lines);
    ListKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", lines);
    std::string winIni = FileContent(std::string(windows) + "\\win.ini");
    size_t start = 0;
    while (start < winIni.size()) {
        size_t end = winIni.find('\n', start);
        if (end == std::string::npos) end = winIni.size();
        lines.push_back("win.ini " + winIni.substr(start, end - start));
        start = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string ListingChanges(const std::vector<std::string>& before, const std::vector<std::string>& after) {
    std::vector<std::string> gone, added;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    std::string changes;
    for (const std::string& line : gone) changes += "- " + line + "\n";
    for (const std::string& line : added) changes += "+ " + line + "\n";
    return changes;
}

void InstallRun::SetUp() {
    ASSERT_TRUE(sim.present());
    // Windows lists its COM ports in the profile; a fresh Wine prefix lists none.
    for (const char* port : {"COM1:", "COM2:"}) WriteProfileStringA("ports", port, "9600,n,8,1");
    // The lanes' prefixes know the monitor from the start; a machine setup never ran on
    // does not.
    DeleteMonitorA(nullptr, nullptr, const_cast<char*>("Vesk Port Monitor"));
    auto monitors = MonitorNames();
    ASSERT_EQ(std::find(monitors.begin(), monitors.end(), "Vesk Port Monitor"), monitors.end());
    program = PlaceMedium();
}

}  // namespace st
