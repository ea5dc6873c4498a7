// For tests that link the monitor's code: the fake spooler's services as the monitor's
// table, in place for the lifetime of the object.
#pragma once

#include "fake_spooler.h"
#include "spooler_services.h"

namespace vt {

class FakeSpoolerInProcess : public FakeSpooler {
public:
    FakeSpoolerInProcess() {
        HMODULE m = module();
        table_.OpenPrinterW = Get<decltype(table_.OpenPrinterW)>(m, "OpenPrinterW");
        table_.ClosePrinter = Get<decltype(table_.ClosePrinter)>(m, "ClosePrinter");
        table_.GetJobW = Get<decltype(table_.GetJobW)>(m, "GetJobW");
        table_.SetJobW = Get<decltype(table_.SetJobW)>(m, "SetJobW");
        table_.GetPrinterW = Get<decltype(table_.GetPrinterW)>(m, "GetPrinterW");
        table_.EnumPortsW = Get<decltype(table_.EnumPortsW)>(m, "EnumPortsW");
        table_.SplIsSessionZero = Get<decltype(table_.SplIsSessionZero)>(m, "SplIsSessionZero");
        table_.SplPromptUIInUsersSession =
            Get<decltype(table_.SplPromptUIInUsersSession)>(m, "SplPromptUIInUsersSession");
        ReplaceSpoolerServices(&table_);
    }
    ~FakeSpoolerInProcess() { ReplaceSpoolerServices(nullptr); }

private:
    template <typename Fn>
    static Fn Get(HMODULE m, const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    }
    SpoolerServices table_{};
};

}  // namespace vt
