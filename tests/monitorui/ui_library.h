// veskmonui.dll loaded as the spooler's port dialogs load it, with the monitor registered
// in the Wine spooler, whose transceive channel carries its requests.
#pragma once

#include <windows.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <string>

#include "monitor_registration.h"
#include "test_env.h"

namespace vt {

class UiLibrary {
public:
    UiLibrary() {
        registered = RegisterMonitor(true);
        module = LoadLibraryW((BinDir() + L"veskmonui.dll").c_str());
        using Init = PMONITORUI(WINAPI*)();
        auto init = module ? reinterpret_cast<Init>(reinterpret_cast<void*>(
                                 GetProcAddress(module, "InitializePrintMonitorUI")))
                           : nullptr;
        table = init ? init() : nullptr;
    }
    ~UiLibrary() {
        if (module) FreeLibrary(module);
    }
    UiLibrary(const UiLibrary&) = delete;
    UiLibrary& operator=(const UiLibrary&) = delete;

    ::testing::AssertionResult registered = ::testing::AssertionFailure();
    HMODULE module = nullptr;
    PMONITORUI table = nullptr;
};

}  // namespace vt
