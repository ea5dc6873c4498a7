// veskmon.dll loaded the way the spooler loads it: LoadLibrary, then InitializePrintMonitor,
// then only the table it returned.
#pragma once

#include <windows.h>
#include <winsplp.h>

#include <string>

namespace vt {

class MonitorLibrary {
public:
    MonitorLibrary();
    ~MonitorLibrary();
    MonitorLibrary(const MonitorLibrary&) = delete;
    MonitorLibrary& operator=(const MonitorLibrary&) = delete;

    HMODULE module() const { return module_; }
    // Calls InitializePrintMonitor; null when it failed.
    LPMONITOREX Initialize(const wchar_t* registryRoot = L"System\\CurrentControlSet\\Control\\Print\\Monitors\\Vesk Port Monitor");
    // Calls InitializePrintMonitor2; null when it failed. `monitor` receives the handle.
    LPMONITOR2 Initialize2(HANDLE* monitor);
    // True when `p` points into the library's image.
    bool Inside(const void* p) const;

private:
    HMODULE module_ = nullptr;
};

}  // namespace vt
