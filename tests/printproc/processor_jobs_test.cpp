// Real jobs of the lane's spooler, to port VESK and the printer simulator on COM1. The
// simulator's paper stops before a copy starts, so the copy is caught in the middle of its
// job; then the paper moves again.
//   ProcessorControl: the processor's own copy of a job held open (between StartDocPrinterW
//   and EndDocPrinter Wine lets "<printer>, Job N" be read and runs no processor on it; the
//   job's end goes to a file), with pause, resume, cancel and close given while it waits.
//   ProcessorInSpooler: the processor registered as Wine finds one and run by the spooler.
//   It runs in a process of its own, where only the spooler can have loaded veskproc.dll.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "monitor_registration.h"
#include "processor_support.h"
#include "profile.h"
#include "spooler_setup.h"

namespace {

LPWSTR W(const wchar_t* s) { return const_cast<LPWSTR>(s); }

class ProcessorJobs : public ::testing::Test {
protected:
    void SetUp() override {
        vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
        ASSERT_TRUE(vt::RegisterMonitor());
        sim.Control("hold on");
    }
    void TearDown() override { sim.Control("hold off"); }
    vt::Simulator sim;
    std::string data = pt::JobBytes(60000);
};

class ProcessorControl : public ProcessorJobs {
protected:
    void SetUp() override {
        ProcessorJobs::SetUp();
        DWORD err = 0;
        ASSERT_TRUE(vesk::EnsurePrinter(L"Vesk Job Source", L"VESK", err)) << err;
        ASSERT_TRUE(p->loaded());
        ASSERT_TRUE(OpenPrinterW(W(L"Vesk Job Source"), &source, nullptr));
        std::wstring file = vt::RunDir() + L"source-" + std::to_wstring(GetTickCount()) + L".bin";
        DOC_INFO_1W doc{W(L"receipt"), file.data(), W(L"RAW")};
        DWORD job = StartDocPrinterW(source, 1, reinterpret_cast<LPBYTE>(&doc)), written = 0;
        ASSERT_TRUE(job && WritePrinter(source, data.data(), static_cast<DWORD>(data.size()), &written));
        PRINTPROCESSOROPENDATA open{nullptr, W(L"RAW"), nullptr, W(L"receipt"), job, nullptr, W(L"Vesk Job Source")};
        ASSERT_NE(handle = p->Open(W(L"VESK"), &open), nullptr) << GetLastError();
        auto print = p->Print;
        std::wstring name = L"Vesk Job Source, Job " + std::to_wstring(job);
        copy = std::make_unique<pt::Background>([print, h = handle, name] { return print(h, W(name.c_str())); });
        ASSERT_GT(pt::Settled(sim, 1024), 0) << "the copy never reached the line";
        ASSERT_LT(pt::JobOnLine(sim, data).size(), data.size()) << "the stopped paper did not hold the copy";
    }
    void TearDown() override {
        ProcessorJobs::TearDown();
        if (copy && !copy->Wait(pt::kBoundMs)) {
            ADD_FAILURE() << "the copy still runs: veskproc.dll stays loaded under it";
            (void)p.release();
        }
        if (handle && p) p->Close(handle);
        if (source) EndDocPrinter(source), ClosePrinter(source);
        vesk::RemovePrinter(L"Vesk Job Source");
    }
    std::string Arrived() {
        EXPECT_GE(pt::Settled(sim, 0), 0);
        return pt::JobOnLine(sim, data);
    }

    std::unique_ptr<pt::Processor> p = std::make_unique<pt::Processor>();
    HANDLE source = nullptr, handle = nullptr;
    std::unique_ptr<pt::Background> copy;
};

TEST_F(ProcessorControl, CancelEndsTheCopyAtTheNextWrite) {
    ASSERT_TRUE(p->Control(handle, JOB_CONTROL_CANCEL)) << GetLastError();
    sim.Control("hold off");
    ASSERT_TRUE(copy->Wait(pt::kBoundMs)) << "the cancelled copy did not end";
    EXPECT_TRUE(copy->result()) << copy->error();
    std::string arrived = Arrived();
    EXPECT_LT(arrived.size(), data.size()) << "the document ended early";
    EXPECT_TRUE(vt::SameBytes(arrived, data.substr(0, arrived.size())));
}

TEST_F(ProcessorControl, PauseHoldsTheCopyUntilResumeThenEverythingArrives) {
    ASSERT_TRUE(p->Control(handle, JOB_CONTROL_PAUSE)) << GetLastError();
    sim.Control("hold off");
    EXPECT_LT(Arrived().size(), data.size()) << "the paused copy went on";
    EXPECT_FALSE(copy->Wait(0));
    ASSERT_TRUE(p->Control(handle, JOB_CONTROL_RESUME)) << GetLastError();
    ASSERT_TRUE(copy->Wait(pt::kBoundMs)) << "the resumed copy did not end";
    EXPECT_TRUE(copy->result()) << copy->error();
    EXPECT_TRUE(vt::SameBytes(Arrived(), data));
}

TEST_F(ProcessorControl, CloseEndsAPausedCopy) {
    ASSERT_TRUE(p->Control(handle, JOB_CONTROL_PAUSE)) << GetLastError();
    sim.Control("hold off");
    EXPECT_LT(Arrived().size(), data.size());
    ASSERT_TRUE(p->Close(std::exchange(handle, nullptr))) << GetLastError();
    ASSERT_TRUE(copy->Wait(pt::kBoundMs)) << "closing the handle did not end the paused copy";
    EXPECT_TRUE(copy->result()) << copy->error();
    std::string arrived = Arrived();
    EXPECT_LT(arrived.size(), data.size());
    EXPECT_TRUE(vt::SameBytes(arrived, data.substr(0, arrived.size())));
}

TEST_F(ProcessorJobs, ProcessorInSpoolerCopiesARawJobToThePrinter) {
    wchar_t dir[MAX_PATH] = {};
    DWORD needed = 0;
    ASSERT_TRUE(GetPrintProcessorDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed));
    std::wstring installed = std::wstring(dir) + L"\\veskproc.dll";
    ASSERT_TRUE(CopyFileW((vt::BinDir() + L"veskproc.dll").c_str(), installed.c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(AddPrintProcessorW(nullptr, nullptr, W(L"veskproc.dll"), W(pt::kProcessorName)));
    DRIVER_INFO_3W driver{3, W(vesk::kTestDriverName), nullptr, W(L"UNIDRV.DLL"), W(L"Kx120.gpd"),
                          W(L"UNIDRVUI.DLL"), nullptr, nullptr, nullptr, W(L"RAW")};
    AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver));
    const wchar_t* printerName = L"Vesk Processor Printer";
    vesk::RemovePrinter(printerName);  // one left by an earlier run may name another processor
    PRINTER_INFO_2W info{};
    info.pPrinterName = W(printerName);
    info.pPortName = W(L"VESK");
    info.pDriverName = W(vesk::kTestDriverName);
    info.pPrintProcessor = W(pt::kProcessorName);
    info.pDatatype = W(L"RAW");
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(printer, nullptr) << GetLastError();
    DOC_INFO_1W doc{W(L"receipt"), nullptr, W(L"RAW")};
    DWORD written = 0;
    EXPECT_NE(StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&doc)), 0u) << GetLastError();
    EXPECT_TRUE(WritePrinter(printer, data.data(), static_cast<DWORD>(data.size()), &written));
    {
        // The spooler runs the processor inside EndDocPrinter, in this process; the stopped
        // paper keeps it at work. (No return before the paper moves again.)
        pt::Background end([printer] { return EndDocPrinter(printer); });
        EXPECT_GT(pt::Settled(sim, 1024), 0) << "the job never reached the line";
        EXPECT_FALSE(end.Wait(0));
        HMODULE running = GetModuleHandleW(L"veskproc.dll");
        wchar_t path[MAX_PATH] = L"(not loaded)";
        if (running) GetModuleFileNameW(running, path, MAX_PATH);
        EXPECT_EQ(CompareStringOrdinal(path, -1, installed.c_str(), -1, TRUE), CSTR_EQUAL) << vt::Narrow(path);
        sim.Control("hold off");
        ASSERT_TRUE(end.Wait(pt::kBoundMs)) << "EndDocPrinter did not return";
        EXPECT_TRUE(end.result()) << end.error();
    }
    DeletePrinter(printer);
    ClosePrinter(printer);
    EXPECT_GE(pt::Settled(sim, static_cast<long>(data.size())), 0);
    EXPECT_TRUE(vt::SameBytes(pt::JobOnLine(sim, data), data));
}

}  // namespace
