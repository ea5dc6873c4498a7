#include "install_run_fixture.h"

#include <winspool.h>

#include <algorithm>

#include "resource.h"

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

std::optional<InstalledPrinter> InstalledKx310(const std::string& name) {
    auto printers = LocalPrinters();
    const InstalledPrinter* printer = FindPrinter(printers, name);
    if (!printer) return std::nullopt;
    EXPECT_EQ(printer->port, "VESK");
    EXPECT_EQ(printer->driver, "Kx310");
    EXPECT_EQ(printer->processor, "Vesk Print Processor");
    return *printer;
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
