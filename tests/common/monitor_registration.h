// The step a fixture takes so that the lane's spooler reaches the monitor: veskmon.dll
// copied into the system directory and registered (a monitor registered before stays so),
// then loaded once by listing the ports, so that the spooler knows the ports of the profile
// as the fixture has written it. For programs linked with vesk_spooler_setup.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "spooler_setup.h"
#include "test_env.h"

namespace vt {

// Registers the monitor, and with `withUi` puts veskmonui.dll beside it (where the spooler's
// port dialogs load it from). The failure names the error that stopped it.
inline ::testing::AssertionResult RegisterMonitor(bool withUi = false) {
    DWORD error = 0;
    if (!vesk::RegisterMonitor(BinDir(), error))
        return ::testing::AssertionFailure() << "the monitor could not be registered: error " << error;
    if (withUi && !InstallIntoSystemDirectory(L"veskmonui.dll"))
        return ::testing::AssertionFailure() << "veskmonui.dll could not be installed: error " << GetLastError();
    return ::testing::AssertionSuccess();
}

}  // namespace vt
