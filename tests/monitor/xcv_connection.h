// A transceive connection on the monitor loaded as the spooler loads it (the table of
// InitializePrintMonitor2), for tests that send commands the way the spooler passes them.
#pragma once

#include <windows.h>
#include <winsplp.h>

#include <string>
#include <vector>

#include "../../common/xcv_record.h"
#include "monitor_library.h"

namespace vt {

struct XcvResult {
    DWORD status;
    DWORD needed;
};

class Monitor2 {
public:
    Monitor2() : table(lib.Initialize2(&handle)) {}
    ~Monitor2() {
        if (table && table->pfnShutdown) table->pfnShutdown(handle);
    }
    MonitorLibrary lib;
    HANDLE handle = nullptr;
    LPMONITOR2 table;
};

class Xcv {
public:
    Xcv(LPMONITOR2 table, HANDLE monitor, const wchar_t* object, ACCESS_MASK access)
        : table_(table) {
        if (!table_->pfnXcvOpenPort(monitor, object, access, &h_)) h_ = nullptr;
    }
    ~Xcv() { Close(); }
    Xcv(const Xcv&) = delete;
    Xcv& operator=(const Xcv&) = delete;
    void Close() {
        if (h_) table_->pfnXcvClosePort(h_);
        h_ = nullptr;
    }
    bool open() const { return h_ != nullptr; }

    XcvResult Data(const wchar_t* command, const void* in, DWORD inSize, void* out, DWORD outSize) {
        XcvResult r{0, 0xdeadbeef};
        SetLastError(0xdeadbeef);
        r.status = table_->pfnXcvDataPort(h_, command, static_cast<PBYTE>(const_cast<void*>(in)), inSize,
                                          static_cast<PBYTE>(out), outSize, &r.needed);
        return r;
    }
    XcvResult Name(const wchar_t* command, const std::wstring& name) {
        return Data(command, name.c_str(), static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)), nullptr, 0);
    }
    XcvResult Settings(XcvPortSettings& record) {
        return Data(XCV_GET_SETTINGS, nullptr, 0, &record, sizeof record);
    }

private:
    LPMONITOR2 table_;
    HANDLE h_ = nullptr;
};

}  // namespace vt
