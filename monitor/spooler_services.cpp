#include "spooler_services.h"

namespace {

template <typename Fn>
void Resolve(HMODULE lib, const char* name, Fn& slot) {
    slot = lib ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name))) : nullptr;
}

SpoolerServices LookUp() {
    SpoolerServices s{};
    // Both libraries stay loaded for the life of the process.
    if (RunningOnWine()) {
        // Tests on Wine may name a library of their own that stands in for the spooler.
        WCHAR path[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(L"VESKMON_SPOOLER_SERVICES", path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            HMODULE stand_in = LoadLibraryW(path);
            Resolve(stand_in, "OpenPrinterW", s.OpenPrinterW);
            Resolve(stand_in, "ClosePrinter", s.ClosePrinter);
            Resolve(stand_in, "GetJobW", s.GetJobW);
            Resolve(stand_in, "SetJobW", s.SetJobW);
            Resolve(stand_in, "GetPrinterW", s.GetPrinterW);
            Resolve(stand_in, "EnumPortsW", s.EnumPortsW);
            Resolve(stand_in, "RevertToPrinterSelf", s.RevertToPrinterSelf);
            Resolve(stand_in, "ImpersonatePrinterClient", s.ImpersonatePrinterClient);
            Resolve(stand_in, "SplIsSessionZero", s.SplIsSessionZero);
            Resolve(stand_in, "SplPromptUIInUsersSession", s.SplPromptUIInUsersSession);
            return s;
        }
        HMODULE winspool = LoadLibraryW(L"winspool.drv");
        Resolve(winspool, "OpenPrinterW", s.OpenPrinterW);
        Resolve(winspool, "ClosePrinter", s.ClosePrinter);
        Resolve(winspool, "GetJobW", s.GetJobW);
        Resolve(winspool, "SetJobW", s.SetJobW);
        Resolve(winspool, "GetPrinterW", s.GetPrinterW);
        Resolve(winspool, "EnumPortsW", s.EnumPortsW);
        return s;
    }
    HMODULE spoolss = LoadLibraryW(L"SPOOLSS.DLL");
    Resolve(spoolss, "OpenPrinterW", s.OpenPrinterW);
    Resolve(spoolss, "ClosePrinter", s.ClosePrinter);
    Resolve(spoolss, "GetJobW", s.GetJobW);
    Resolve(spoolss, "SetJobW", s.SetJobW);
    Resolve(spoolss, "GetPrinterW", s.GetPrinterW);
    Resolve(spoolss, "EnumPortsW", s.EnumPortsW);
    Resolve(spoolss, "RevertToPrinterSelf", s.RevertToPrinterSelf);
    Resolve(spoolss, "ImpersonatePrinterClient", s.ImpersonatePrinterClient);
    Resolve(spoolss, "SplIsSessionZero", s.SplIsSessionZero);
    Resolve(spoolss, "SplPromptUIInUsersSession", s.SplPromptUIInUsersSession);
    return s;
}

const SpoolerServices* g_replacement = nullptr;

}  // namespace

bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

const SpoolerServices& Spooler() {
    static const SpoolerServices looked_up = LookUp();
    const SpoolerServices* r = g_replacement;
    return r ? *r : looked_up;
}

void ReplaceSpoolerServices(const SpoolerServices* services) {
    g_replacement = services;
}
