// What the print processor's tests share: veskproc.dll from the build with its entry points,
// a call on a thread of its own (so a test can act while it runs), and the job's bytes as
// the simulator's line took them.
#pragma once

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>

#include "simulator.h"
#include "test_env.h"

namespace pt {

inline constexpr wchar_t kProcessorName[] = L"Vesk Print Processor";
// The bound of every wait for something that must happen (a copy ending, the line settling).
inline constexpr DWORD kBoundMs = 20000;

template <typename Fn>
Fn Export(HMODULE lib, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(lib ? GetProcAddress(lib, name) : nullptr));
}

struct Processor {
    HMODULE lib = LoadLibraryW((vt::BinDir() + L"veskproc.dll").c_str());
    decltype(&EnumPrintProcessorDatatypesW) EnumDatatypes = Export<decltype(EnumDatatypes)>(lib, "EnumPrintProcessorDatatypesW");
    decltype(&OpenPrintProcessor) Open = Export<decltype(Open)>(lib, "OpenPrintProcessor");
    decltype(&PrintDocumentOnPrintProcessor) Print = Export<decltype(Print)>(lib, "PrintDocumentOnPrintProcessor");
    decltype(&ControlPrintProcessor) Control = Export<decltype(Control)>(lib, "ControlPrintProcessor");
    decltype(&ClosePrintProcessor) Close = Export<decltype(Close)>(lib, "ClosePrintProcessor");
    decltype(&GetPrintProcessorCapabilities) Caps = Export<decltype(Caps)>(lib, "GetPrintProcessorCapabilities");
    bool loaded() const { return EnumDatatypes && Open && Print && Control && Close && Caps; }
    ~Processor() { if (lib) FreeLibrary(lib); }
};

// A call on a thread of its own, waited for with a bound. The thread owns the call and its
// result, so nothing is freed under it should it outlive the test.
class Background {
public:
    explicit Background(std::function<BOOL()> call) {
        std::packaged_task<std::pair<BOOL, DWORD>()> task([call] {
            BOOL ok = call();
            return std::pair<BOOL, DWORD>(ok, GetLastError());
        });
        done_ = task.get_future().share();
        std::thread(std::move(task)).detach();
    }
    ~Background() {
        if (!Wait(kBoundMs)) ADD_FAILURE() << "a call was still running at the end";
    }
    bool Wait(DWORD ms) { return done_.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready; }
    BOOL result() const { return done_.get().first; }
    DWORD error() const { return done_.get().second; }

private:
    std::shared_future<std::pair<BOOL, DWORD>> done_;
};

// `n` bytes holding every byte value. Neighbours differ by 7 (by 8 at each 256th byte), so
// no two of them make one of the printer's commands.
inline std::string JobBytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return s;
}

// What the PC sent the simulator from the job's first bytes on (the monitor's own exchange
// with the printer comes before); empty when the job never started there.
inline std::string JobOnLine(const vt::Simulator& sim, const std::string& job) {
    std::string sent = vt::BytesFromPc(sim.WireLog());
    size_t start = sent.find(job.substr(0, 64));
    return start == std::string::npos ? std::string() : sent.substr(start);
}

// Waits until the simulator has received at least `atLeast` bytes and then nothing for a
// second: the count, or -1 when that did not happen within kBoundMs.
inline long Settled(vt::Simulator& sim, long atLeast) {
    DWORD start = GetTickCount(), since = start;
    for (long last = -1; GetTickCount() - start < kBoundMs; Sleep(50)) {
        long now = sim.Count("received");
        if (now != last) last = now, since = GetTickCount();
        else if (now >= atLeast && GetTickCount() - since >= 1000) return now;
    }
    return -1;
}

}  // namespace pt
