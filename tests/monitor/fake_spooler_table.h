// For tests that link the monitor's code: the fake spooler's services as the monitor's
// table, in place for the lifetime of the object.
#pragma once

#include "fake_spooler.h"
#include "spooler_services.h"

namespace vt {

class FakeSpoolerInProcess : public FakeSpooler {
public:
    FakeSpoolerInProcess() : table_(SpoolerServicesFrom(module())) { ReplaceSpoolerServices(&table_); }
    ~FakeSpoolerInProcess() { ReplaceSpoolerServices(nullptr); }

private:
    SpoolerServices table_;
};

}  // namespace vt
