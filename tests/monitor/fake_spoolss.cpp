// fake_spoolss.dll: stands in for the spooler's services in tests, recording what the
// monitor asks of them and answering its questions from a script. The monitor loads it in
// place of the spooler's library when VESKMON_SPOOLER_SERVICES names it (on Wine only).
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cwchar>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace {

std::mutex g_m;
std::wstring g_log;
std::wstring g_logCopy;
bool g_logging = true;
std::deque<DWORD> g_answers;
bool g_sessionZero = true;
std::wstring g_unknownPrinter = L"NoSuchPrinter";
std::map<DWORD, DWORD> g_jobStatus;
const HANDLE kPrinter = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5000));

void Log(const std::wstring& line) {
    std::lock_guard<std::mutex> lock(g_m);
    if (g_logging) g_log += line + L"\n";
}

std::wstring Hex(DWORD v) {
    wchar_t b[16];
    swprintf(b, 16, L"0x%lx", v);
    return b;
}

}  // namespace

extern "C" {

__declspec(dllexport) void WINAPI FakeSpoolerReset() {
    std::lock_guard<std::mutex> lock(g_m);
    g_log.clear();
    g_logging = true;
    g_answers.clear();
    g_sessionZero = true;
    g_unknownPrinter = L"NoSuchPrinter";
    g_jobStatus.clear();
}

// "session-zero" "0|1", "answer" "<button id>" (queued), "unknown-printer" "<name>", "log"
// "0|1" (a long run that reads no log keeps none, so that its memory is the monitor's).
__declspec(dllexport) void WINAPI FakeSpoolerConfigure(const wchar_t* key, const wchar_t* value) {
    std::lock_guard<std::mutex> lock(g_m);
    std::wstring k = key;
    if (k == L"session-zero") g_sessionZero = value[0] == L'1';
    else if (k == L"answer") g_answers.push_back(static_cast<DWORD>(_wtoi(value)));
    else if (k == L"unknown-printer") g_unknownPrinter = value;
    else if (k == L"log") g_logging = value[0] == L'1';
}

__declspec(dllexport) const wchar_t* WINAPI FakeSpoolerLog() {
    std::lock_guard<std::mutex> lock(g_m);
    g_logCopy = g_log;
    return g_logCopy.c_str();
}

BOOL WINAPI OpenPrinterW(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW) {
    std::wstring n = name ? name : L"(null)";
    bool ok = name && g_unknownPrinter != n;
    Log(L"OpenPrinterW " + n + (ok ? L" ok" : L" fails"));
    if (!ok) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    *printer = kPrinter;
    return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE printer) {
    Log(printer == kPrinter ? L"ClosePrinter" : L"ClosePrinter of an unknown handle");
    return printer == kPrinter;
}

BOOL WINAPI GetJobW(HANDLE printer, DWORD jobId, DWORD level, LPBYTE job, DWORD size, LPDWORD needed) {
    if (printer != kPrinter || level != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    static const wchar_t kDocument[] = L"receipt";
    DWORD bytes = sizeof(JOB_INFO_1W) + sizeof kDocument;
    *needed = bytes;
    if (!job || size < bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* info = reinterpret_cast<JOB_INFO_1W*>(job);
    ZeroMemory(info, sizeof *info);
    info->JobId = jobId;
    info->pDocument = reinterpret_cast<LPWSTR>(job + sizeof(JOB_INFO_1W));
    CopyMemory(info->pDocument, kDocument, sizeof kDocument);
    info->Priority = 1;
    info->Position = 1;
    std::lock_guard<std::mutex> lock(g_m);
    info->Status = g_jobStatus[jobId];
    return TRUE;
}

BOOL WINAPI SetJobW(HANDLE printer, DWORD jobId, DWORD level, LPBYTE job, DWORD command) {
    if (printer != kPrinter) {
        Log(L"SetJobW on an unknown handle");
        return FALSE;
    }
    if (level == 1 && job) {
        auto* info = reinterpret_cast<JOB_INFO_1W*>(job);
        Log(L"SetJobW " + std::to_wstring(jobId) + L" status " + Hex(info->Status) + L" document " +
            (info->pDocument ? info->pDocument : L"(null)"));
        std::lock_guard<std::mutex> lock(g_m);
        g_jobStatus[jobId] = info->Status;
    } else {
        Log(L"SetJobW " + std::to_wstring(jobId) + L" command " + std::to_wstring(command));
    }
    return TRUE;
}

BOOL WINAPI GetPrinterW(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI EnumPortsW(LPWSTR server, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                       LPDWORD returned) {
    using Enum = BOOL(WINAPI*)(LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
    static Enum real = reinterpret_cast<Enum>(reinterpret_cast<void*>(
        GetProcAddress(LoadLibraryW(L"winspool.drv"), "EnumPortsW")));
    Log(L"EnumPortsW");
    return real ? real(server, level, ports, size, needed, returned) : FALSE;
}

DWORD WINAPI SplIsSessionZero(HANDLE printer, DWORD, BOOL* isSessionZero) {
    std::lock_guard<std::mutex> lock(g_m);
    *isSessionZero = printer == kPrinter && g_sessionZero;
    return ERROR_SUCCESS;
}

BOOL WINAPI SplPromptUIInUsersSession(HANDLE printer, DWORD jobId, PSHOWUIPARAMS params,
                                      DWORD* response) {
    DWORD answer = 0;
    {
        std::lock_guard<std::mutex> lock(g_m);
        if (!g_answers.empty()) {
            answer = g_answers.front();
            g_answers.pop_front();
        }
    }
    const MESSAGEBOX_PARAMS& m = params->MessageBoxParams;
    Log(L"Ask job " + std::to_wstring(jobId) + L" [" + (m.pTitle ? m.pTitle : L"") + L"] " +
        (m.pMessage ? m.pMessage : L"") + L" style " + Hex(m.Style) + L" timeout " +
        std::to_wstring(m.dwTimeout) + (m.bWait ? L"" : L" without waiting") + L" -> " +
        std::to_wstring(answer));
    if (printer != kPrinter) return FALSE;
    *response = answer;
    return TRUE;
}

}  // extern "C"
