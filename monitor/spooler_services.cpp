#include "spooler_services.h"

namespace {

template <typename Fn>
void Resolve(HMODULE lib, const char* name, Fn& slot) {
    slot = lib ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name))) : nullptr;
}

// The services every spooler library has, and (inside the spooler's own process) those
// that only SPOOLSS.DLL offers.
void ResolveFrom(HMODULE lib, SpoolerServices& s, bool processServices) {
    Resolve(lib, "OpenPrinterW", s.OpenPrinterW);
    Resolve(lib, "ClosePrinter", s.ClosePrinter);
    Resolve(lib, "GetJobW", s.GetJobW);
    Resolve(lib, "SetJobW", s.SetJobW);
    Resolve(lib, "GetPrinterW", s.GetPrinterW);
    Resolve(lib, "EnumPortsW", s.EnumPortsW);
    if (!processServices) return;
    Resolve(lib, "RevertToPrinterSelf", s.RevertToPrinterSelf);
    Resolve(lib, "ImpersonatePrinterClient", s.ImpersonatePrinterClient);
    Resolve(lib, "SplIsSessionZero", s.SplIsSessionZero);
    Resolve(lib, "SplPromptUIInUsersSession", s.SplPromptUIInUsersSession);
}

SpoolerServices LookUp() {
    SpoolerServices s{};
    // The libraries stay loaded for the life of the process.
    if (RunningOnWine()) {
        // Tests on Wine may name a library of their own that stands in for the spooler.
        WCHAR path[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(L"VESKMON_SPOOLER_SERVICES", path, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            ResolveFrom(LoadLibraryW(path), s, true);
        else
            ResolveFrom(LoadLibraryW(L"winspool.drv"), s, false);
        return s;
    }
    ResolveFrom(LoadLibraryW(L"SPOOLSS.DLL"), s, true);
    return s;
}

const SpoolerServices* g_replacement = nullptr;

}  // namespace

SpoolerServices SpoolerServicesFrom(HMODULE lib) {
    SpoolerServices s{};
    ResolveFrom(lib, s, true);
    return s;
}

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
