#include "engine_fixture.h"

#include "uninstall_entry.h"

#include <winspool.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "message_box.h"
#include "model_catalogue.h"
#include "setup_fixture.h"
#include "start_up.h"

namespace st {

namespace {

std::vector<std::string> g_messages;
std::deque<int> g_answers;
int g_questions = 0;
std::function<void()> g_duringQuestion;

int CatchMessage(HWND, const char* text, UINT type) {
    g_messages.emplace_back(text ? text : "");
    if ((type & MB_TYPEMASK) != MB_YESNO) return IDOK;
    ++g_questions;
    if (g_duringQuestion) std::exchange(g_duringQuestion, nullptr)();
    if (g_answers.empty()) return IDNO;
    int answer = g_answers.front();
    g_answers.pop_front();
    return answer;
}

// Beneath every test's own front end: what the engine tells or asks where no test expects it
// fails the test that caused it, instead of being lost to the front end that declines all.
class UnexpectedFrontEnd : public InstallFrontEnd {
public:
    int Ask(const std::string& text, UINT type) override {
        ADD_FAILURE() << "the engine told or asked no front end of the test's: " << text;
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDCANCEL;
    }
    bool AskPortSettings(const std::string& portName, COMMCONFIG&) override {
        ADD_FAILURE() << "the engine asked no front end of the test's for " << portName << "'s settings";
        return false;
    }
    void Progress(InstallProgress) override {}
} g_unexpected;
FrontEndScope g_beneathEveryTest(g_unexpected);

// How long one run of the step runner may take, and the spooler to stop.
constexpr DWORD kStepRunLimitMs = 60000;
constexpr DWORD kSpoolerStopLimitMs = 30000;

std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    DWORD chars = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return chars && chars < MAX_PATH ? std::string(full, chars) : path;
}

void MakeFolders(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
}

}  // namespace

int RecordingFrontEnd::Ask(const std::string& text, UINT type) {
    return CatchMessage(nullptr, text.c_str(), type);
}

RecordingFrontEnd::RecordingFrontEnd(std::deque<int> answers) {
    g_messages.clear();
    g_answers = std::move(answers);
    g_questions = 0;
}

RecordingFrontEnd::~RecordingFrontEnd() {
    g_duringQuestion = nullptr;
}

void RecordingFrontEnd::DuringNextQuestion(std::function<void()> action) {
    g_duringQuestion = std::move(action);
}

MessageCatcher::MessageCatcher(std::deque<int> answers) : RecordingFrontEnd(std::move(answers)) {
    SetMessageBoxHook(CatchMessage);
}

MessageCatcher::~MessageCatcher() {
    SetMessageBoxHook(nullptr);
}

const std::vector<std::string>& RecordingFrontEnd::Messages() const {
    return g_messages;
}

int RecordingFrontEnd::Questions() const {
    return g_questions;
}

std::string AssembledMedium() {
    return FullPath(ProgramFolder() + "..\\medium\\");
}

std::string EmptyMedium(const char* name) {
    std::string folder = RunFolder(name);
    return folder;
}

void PutFile(const std::string& folder, const std::string& relativePath, const std::string& content) {
    std::string path = folder + relativePath;
    MakeFolders(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

void PutBuiltFile(const std::string& folder, const std::string& relativePath, const char* builtName) {
    std::string path = folder + relativePath;
    MakeFolders(path);
    ASSERT_TRUE(CopyFileA((ProgramFolder() + builtName).c_str(), path.c_str(), FALSE))
        << builtName << ": error " << GetLastError();
}

std::string FileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ChooseModel(const std::string& medium, const char* model) {
    FreshChoices();
    InstallChoices& choices = Choices();
    choices.gstrSetupDir = medium;
    choices.gstrMediumDir = FromAnsi(medium);
    BuildModelCatalogue(choices.gModels);
    for (size_t i = 0; i < choices.gModels.size(); ++i) {
        if (choices.gModels[i]->pName != model) continue;
        choices.gModelIndex = static_cast<int>(i);
        choices.gpModel = choices.gModels[i].get();
    }
    ASSERT_NE(choices.gpModel, nullptr) << model;
    PrinterSetupInfo& info = choices.PrinterInfo;
    info.PrinterName = model;
    info.ShareName.clear();
    info.PortName = "VESK";
    info.DriverName = model;
    info.PrintProcessor = "Vesk Print Processor";
    info.Datatype = "RAW";
    // The monitor loads only with its section in the profile: an installation run stores the
    // printer's settings before it registers the monitor.
    WriteProfileStringA("Vesk Ports", "VESK", "COM1:,9600,n,8,1");
}

void RegisterPrintProcessorForTests() {
    // The spooler under test takes a printer's print processor only from its list of them.
    ASSERT_TRUE(AddPrintProcessorA(nullptr, nullptr, const_cast<char*>("veskproc.dll"),
                                   const_cast<char*>("Vesk Print Processor")))
        << GetLastError();
}

std::string SystemFolder() {
    char folder[MAX_PATH];
    UINT chars = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, chars) + "\\";
}

std::string DriverFolder(const char* environment) {
    char folder[MAX_PATH * 2];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, const_cast<char*>(environment), 1,
                                    reinterpret_cast<BYTE*>(folder), sizeof(folder), &needed))
        return "";
    return std::string(folder) + "\\";
}

std::string PrintProcessorFolder(const char* environment) {
    char folder[MAX_PATH * 2];
    DWORD needed = 0;
    if (!GetPrintProcessorDirectoryA(nullptr, const_cast<char*>(environment), 1,
                                     reinterpret_cast<BYTE*>(folder), sizeof(folder), &needed))
        return "";
    return std::string(folder) + "\\";
}

std::string ProfileText(const char* section, const char* key) {
    char value[256] = "";
    GetProfileStringA(section, key, "(missing)", value, sizeof value);
    return value;
}

std::string DefaultPrinter() {
    char name[512];
    DWORD chars = sizeof(name);
    return GetDefaultPrinterA(name, &chars) ? name : "";
}

DWORD ServiceState(const char* name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status{};
    if (service) QueryServiceStatus(service, &status);
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return status.dwCurrentState;
}

void StopSpooler() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE spooler = manager ? OpenServiceA(manager, "Spooler", SERVICE_STOP) : nullptr;
    SERVICE_STATUS status{};
    if (spooler) ControlService(spooler, SERVICE_CONTROL_STOP, &status);
    if (spooler) CloseServiceHandle(spooler);
    if (manager) CloseServiceHandle(manager);
    DWORD start = GetTickCount();
    while (ServiceState("Spooler") != SERVICE_STOPPED && GetTickCount() - start < kSpoolerStopLimitMs)
        Sleep(50);
    EXPECT_EQ(ServiceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));
}

namespace {

std::string Text(const char* text) {
    return text ? text : "";
}

std::vector<BYTE> Listed(const std::function<BOOL(BYTE*, DWORD, DWORD*, DWORD*)>& call,
                         DWORD& count) {
    DWORD needed = 0;
    count = 0;
    call(nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    if (!needed || !call(buffer.data(), needed, &needed, &count)) count = 0;
    return buffer;
}

}  // namespace

bool PrintProcessorListed(const char* name) {
    DWORD count = 0;
    std::vector<BYTE> buffer = Listed(
        [](BYTE* b, DWORD s, DWORD* n, DWORD* r) { return EnumPrintProcessorsA(nullptr, nullptr, 1, b, s, n, r); },
        count);
    auto* items = reinterpret_cast<const PRINTPROCESSOR_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (Text(items[i].pName) == name) return true;
    return false;
}

std::vector<InstalledDriver> InstalledDrivers() {
    DWORD count = 0;
    std::vector<BYTE> buffer = Listed(
        [](BYTE* b, DWORD s, DWORD* n, DWORD* r) {
            return EnumPrinterDriversA(nullptr, nullptr, 3, b, s, n, r);
        },
        count);
    std::vector<InstalledDriver> drivers;
    auto* items = reinterpret_cast<const DRIVER_INFO_3A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        InstalledDriver d;
        d.name = Text(items[i].pName);
        d.environment = Text(items[i].pEnvironment);
        d.driverPath = Text(items[i].pDriverPath);
        d.dataFile = Text(items[i].pDataFile);
        d.configFile = Text(items[i].pConfigFile);
        d.helpFile = Text(items[i].pHelpFile);
        d.cVersion = items[i].cVersion;
        for (const char* p = items[i].pDependentFiles; p && *p; p += std::strlen(p) + 1)
            d.dependentFiles.emplace_back(p);
        drivers.push_back(d);
    }
    return drivers;
}

const InstalledDriver* FindDriver(const std::vector<InstalledDriver>& drivers, const std::string& name) {
    for (const InstalledDriver& d : drivers)
        if (d.name == name) return &d;
    return nullptr;
}

void AddTestDriver(const char* name) {
    DRIVER_INFO_3A driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<char*>(name);
    driver.pDriverPath = const_cast<char*>("UNIDRV.DLL");
    driver.pDataFile = const_cast<char*>("test.gpd");
    driver.pConfigFile = const_cast<char*>("UNIDRVUI.DLL");
    driver.pDefaultDataType = const_cast<char*>("RAW");
    ASSERT_TRUE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) << GetLastError();
}

std::vector<InstalledPrinter> LocalPrinters() {
    DWORD count = 0;
    std::vector<BYTE> buffer = Listed(
        [](BYTE* b, DWORD s, DWORD* n, DWORD* r) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, r);
        },
        count);
    std::vector<InstalledPrinter> printers;
    auto* items = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        printers.push_back({Text(items[i].pPrinterName), Text(items[i].pShareName),
                            Text(items[i].pPortName), Text(items[i].pDriverName),
                            Text(items[i].pPrintProcessor), Text(items[i].pDatatype),
                            items[i].Attributes});
    }
    return printers;
}

const InstalledPrinter* FindPrinter(const std::vector<InstalledPrinter>& printers, const std::string& name) {
    for (const InstalledPrinter& p : printers)
        if (p.name == name) return &p;
    return nullptr;
}

void AddTestPrinter(const char* name, const char* driver, const char* port) {
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<char*>(name);
    info.pPortName = const_cast<char*>(port);
    info.pDriverName = const_cast<char*>(driver);
    info.pPrintProcessor = const_cast<char*>("winprint");
    info.pDatatype = const_cast<char*>("RAW");
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    ASSERT_NE(printer, nullptr) << name << ": error " << GetLastError();
    ClosePrinter(printer);
}

std::string QueueJob(const char* printer) {
    HANDLE handle = nullptr;
    EXPECT_TRUE(OpenPrinterA(const_cast<char*>(printer), &handle, nullptr)) << GetLastError();
    if (!handle) return "";
    BYTE buffer[MAX_PATH * 2 + sizeof(ADDJOB_INFO_1A)] = {};
    DWORD needed = 0;
    std::string path;
    if (AddJobA(handle, 1, buffer, sizeof buffer, &needed)) {
        path = reinterpret_cast<ADDJOB_INFO_1A*>(buffer)->Path;
        PutFile("", path, "\x1b@waiting receipt\n");
    } else {
        ADD_FAILURE() << "AddJob: " << GetLastError();
    }
    ClosePrinter(handle);
    return path;
}

std::wstring UninstallEntryText(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"(missing)";
    return value;
}

DWORD UninstallEntryNumber(const wchar_t* name) {
    DWORD value = 0xFFFFFFFF, bytes = sizeof value;
    RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_REG_DWORD, nullptr, &value, &bytes);
    return value;
}

void DeletePrinterNamed(const char* name) {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    while (OpenPrinterA(const_cast<char*>(name), &printer, &access)) {
        BOOL deleted = DeletePrinter(printer);
        ClosePrinter(printer);
        if (!deleted) break;
    }
}

std::vector<std::string> MonitorNames() {
    DWORD count = 0;
    std::vector<BYTE> buffer = Listed(
        [](BYTE* b, DWORD s, DWORD* n, DWORD* r) { return EnumMonitorsA(nullptr, 1, b, s, n, r); },
        count);
    std::vector<std::string> names;
    auto* items = reinterpret_cast<const MONITOR_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(Text(items[i].pName));
    return names;
}

std::string RegisteredMonitorLibrary(const char* name) {
    std::string key = std::string("System\\CurrentControlSet\\Control\\Print\\Monitors\\") + name;
    char value[MAX_PATH] = {};
    DWORD bytes = sizeof(value);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Driver", RRF_RT_REG_SZ, nullptr, value,
                     &bytes) != ERROR_SUCCESS)
        return "";
    return value;
}

std::string RunStepAs(const char* version, const std::string& arguments) {
    const char* key = "Software\\Wine\\AppDefaults\\setupstep.exe";
    EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key, "Version", REG_SZ, version,
                              static_cast<DWORD>(std::strlen(version) + 1)),
              ERROR_SUCCESS);
    std::string outputPath = RunFolder("steps") + "output.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA start{};
    start.cb = sizeof(start);
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = output;
    start.hStdError = output;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + ProgramFolder() + "setupstep.exe\" " + arguments;
    BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &start, &process);
    CloseHandle(output);
    std::string text;
    if (started) {
        if (WaitForSingleObject(process.hProcess, kStepRunLimitMs) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
            ADD_FAILURE() << "setupstep " << arguments << " did not end";
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        text = FileContent(outputPath);
    } else {
        ADD_FAILURE() << "setupstep could not be started: error " << GetLastError();
    }
    RegDeleteKeyValueA(HKEY_CURRENT_USER, key, "Version");
    return text;
}

std::string OutputValue(const std::string& output, const std::string& key) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, key.size() + 2, key + ": ") == 0) return line.substr(key.size() + 2);
    }
    return "(missing)";
}

}  // namespace st
