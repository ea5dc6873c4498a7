#include "long_dos_names.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr wchar_t kProbeFlag[] = L"--vesk-long-dos-name-probe";
// The child's exit code when it came back from both calls; a child that the fault ends exits
// with 0, as does a 32-bit program that Wine cannot start.
constexpr DWORD kProbeSurvived = 0x5EED;
constexpr DWORD kProbeLimitMs = 30000;

// The child's side: runs while the program's static objects are built, before GoogleTest's
// main sees the unknown flag.
struct ProbeChild {
    ProbeChild() {
        if (!wcsstr(GetCommandLineW(), kProbeFlag)) return;
        // 18 characters, the shape of the names the settings commands define.
        const wchar_t name[] = L"NONSPOOLED_PROBE42";
        DefineDosDeviceW(DDD_RAW_TARGET_PATH, name, L"\\Device\\Null");
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, name, nullptr);
        ExitProcess(kProbeSurvived);
    }
} probeChild;

bool AskChild() {
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + kProbeFlag;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::fprintf(stderr, "long DOS name probe: the child did not start (%lu)\n",
                     GetLastError());
        return false;
    }
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, kProbeLimitMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "long DOS name probe: the child did not end within %lu ms\n",
                     kProbeLimitMs);
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    } else {
        GetExitCodeProcess(pi.hProcess, &code);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == kProbeSurvived;
}

}  // namespace

namespace vt {

bool LongDosNamesSurvive() {
    static const bool survives = AskChild();
    return survives;
}

}  // namespace vt
