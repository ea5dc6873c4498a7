#include "spooler_calls.h"

#include "../common/system_library.h"

namespace {

bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

template <typename Fn>
bool Resolve(HMODULE lib, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
    return slot != nullptr;
}

}  // namespace

bool LoadSpoolerCalls(SpoolerCalls& calls) {
    calls = SpoolerCalls{};
    // By its full path in the system directory: inside the spooler, a bare name could find a
    // library planted in a folder searched first.
    HMODULE lib = vesk::LoadSystemLibrary(RunningOnWine() ? L"winspool.drv" : L"SPOOLSS.DLL");
    if (!lib) return false;
    calls.library = lib;
    if (Resolve(lib, "OpenPrinterW", calls.OpenPrinterW) &&
        Resolve(lib, "ClosePrinter", calls.ClosePrinter) &&
        Resolve(lib, "ReadPrinter", calls.ReadPrinter) &&
        Resolve(lib, "StartDocPrinterW", calls.StartDocPrinterW) &&
        Resolve(lib, "WritePrinter", calls.WritePrinter) &&
        Resolve(lib, "EndDocPrinter", calls.EndDocPrinter))
        return true;
    DWORD error = GetLastError();
    FreeSpoolerCalls(calls);
    SetLastError(error);
    return false;
}

void FreeSpoolerCalls(SpoolerCalls& calls) {
    if (calls.library) FreeLibrary(calls.library);
    calls = SpoolerCalls{};
}
