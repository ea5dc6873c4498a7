#include "spooler_services.h"

#include "../common/system_library.h"

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

const SpoolerServices* g_replacement = nullptr;

}  // namespace

SpoolerServices LookUpSpoolerServices(HMODULE(WINAPI* load)(LPCWSTR path)) {
    SpoolerServices s{};
    // The libraries stay loaded for the life of the process. Each is named by its full path
    // in the system directory: inside the spooler, a bare name could find a library planted
    // in a folder searched before that one.
    if (RunningOnWine()) {
        // Tests on Wine may name a library of their own that stands in for the spooler.
        WCHAR path[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(L"VESKMON_SPOOLER_SERVICES", path, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            ResolveFrom(load(path), s, true);
        else
            ResolveFrom(vesk::LoadSystemLibrary(L"winspool.drv", load), s, false);
        return s;
    }
    ResolveFrom(vesk::LoadSystemLibrary(L"SPOOLSS.DLL", load), s, true);
    return s;
}

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
    static const SpoolerServices looked_up = LookUpSpoolerServices(LoadLibraryW);
    const SpoolerServices* r = g_replacement;
    return r ? *r : looked_up;
}

void ReplaceSpoolerServices(const SpoolerServices* services) {
    g_replacement = services;
}
