#include "monitor_library.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include "test_env.h"

namespace vt {

MonitorLibrary::MonitorLibrary() {
    std::wstring path = BinDir() + L"veskmon.dll";
    module_ = LoadLibraryW(path.c_str());
    EXPECT_NE(module_, nullptr) << "LoadLibrary " << Narrow(path) << " error " << GetLastError();
}

MonitorLibrary::~MonitorLibrary() {
    if (module_) FreeLibrary(module_);
}

LPMONITOREX MonitorLibrary::Initialize(const wchar_t* registryRoot) {
    using Init = LPMONITOREX(WINAPI*)(LPWSTR);
    auto init = reinterpret_cast<Init>(
        reinterpret_cast<void*>(GetProcAddress(module_, "InitializePrintMonitor")));
    if (!init) {
        ADD_FAILURE() << "no InitializePrintMonitor export";
        return nullptr;
    }
    return init(const_cast<LPWSTR>(registryRoot));
}

LPMONITOR2 MonitorLibrary::Initialize2(HANDLE* monitor) {
    using Init = LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE);
    auto init = reinterpret_cast<Init>(
        reinterpret_cast<void*>(GetProcAddress(module_, "InitializePrintMonitor2")));
    if (!init) {
        ADD_FAILURE() << "no InitializePrintMonitor2 export";
        return nullptr;
    }
    MONITORINIT mi{};
    mi.cbSize = sizeof mi;
    mi.bLocal = TRUE;
    return init(&mi, monitor);
}

bool MonitorLibrary::Inside(const void* p) const {
    MODULEINFO mi{};
    if (!GetModuleInformation(GetCurrentProcess(), module_, &mi, sizeof mi)) return false;
    auto* b = static_cast<const BYTE*>(mi.lpBaseOfDll);
    return p >= b && p < b + mi.SizeOfImage;
}

}  // namespace vt
