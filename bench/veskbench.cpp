// veskbench: the monitor's speed figures (scripts/bench runs it with a printer simulator on
// COM1 of a Wine prefix).
//   (a) headroom: 1 MB printed through the spooler to a printer that reads the line
//       eagerly, as a multiple of a 115200-baud line's 11,520 bytes a second;
//   (b) flow control: a job printed on paper slower than the line, as a ratio of the
//       paper's rate over the paper's run, from its first byte to its last (the simulator's
//       wire log times both): flow control has kept the paper moving when it is 1. The same
//       job's rate from the start of its document, which also carries the job's start, is
//       shown beside it;
//   (c) XOFF reaction on the in-process line model, where each write takes its line time:
//       bytes the monitor writes after an XOFF arrives, at 9600 and 115200 baud;
//   (d) CPU seconds per MB of the printing process in (a);
//   (e) the start of a job at 9600 baud with the printer awake: the milliseconds
//       StartDocPort takes (wake-up, CAN, settings query and the quiet line that ends its
//       reply), the fixed cost that every job pays before its first byte;
//   (f) three ports printing at once on the line model at 115200 baud, each with a printer
//       line of its own, one of them held busy (XOFF) for two seconds in the middle: each
//       free port's throughput while the other is held against the same port printing
//       alone, the CPU per MB with three jobs against one, and the bytes the held port
//       writes after its XOFF. (All VESK ports share one COM port, so three printers at once
//       exist only on the line model: each port's line stands for a printer of its own.)
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_line.h"
#include "job_flow.h"
#include "job_path.h"
#include "monitor_state.h"
#include "port_list.h"
#include "profile.h"
#include "simulator.h"
#include "spooler_setup.h"
#include "test_env.h"

namespace {

const wchar_t kPrinter[] = L"Vesk Bench Printer";
constexpr double kLine115200 = 11520.0;

double Seconds() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double CpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto s = [](FILETIME t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return s(kernel) + s(user);
}

std::string Receipt(size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i) s += "Item " + std::to_string(i % 1000) + "   1 x 2.50\r\n";
    s.resize(n);
    return s;
}

// Prints `data` through the spooler and waits until the printer has all of it on paper.
// Returns the seconds from the start of the document to the last byte on paper, and the
// process's CPU seconds for the job.
bool PrintAndWait(const std::string& data, vt::Simulator& sim, double& seconds, double& cpu) {
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &printer, nullptr)) return false;
    DOC_INFO_1W doc{const_cast<LPWSTR>(L"bench"), nullptr, const_cast<LPWSTR>(L"RAW")};
    double cpu0 = CpuSeconds(), t0 = Seconds();
    bool ok = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&doc)) != 0;
    for (size_t done = 0; ok && done < data.size();) {
        DWORD piece = static_cast<DWORD>(std::min<size_t>(65536, data.size() - done)), written = 0;
        ok = WritePrinter(printer, const_cast<char*>(data.data() + done), piece, &written) && written == piece;
        done += written;
    }
    ok = EndDocPrinter(printer) && ok;
    ClosePrinter(printer);
    cpu = CpuSeconds() - cpu0;
    ok = ok && sim.WaitFor("printed", static_cast<long>(data.size()), 600000);
    seconds = Seconds() - t0;
    return ok;
}

// The paper's run in the simulator's wire log: from the first "paper starts" to the last
// "paper stops", in seconds; a negative value when the log has no such run.
double PaperRunSeconds(const std::vector<vt::WireRecord>& log) {
    double first = -1, last = -1;
    for (const auto& r : log) {
        if (r.direction != '#') continue;
        if (r.text == "paper starts" && first < 0) first = r.ms;
        if (r.text == "paper stops") last = r.ms;
    }
    return first >= 0 && last > first ? (last - first) / 1000.0 : -1;
}

struct StartFigures {
    double median = 0, min = 0, max = 0;
    int samples = 0;
};

// StartDocPort and EndDocPort of the monitor's job path on the simulator's COM1, called as
// the spooler calls them (no printer name, job 0). The first job wakes the printer and is
// not counted.
bool StartLatency(vt::Simulator& sim, int jobs, StartFigures& f) {
    vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    sim.Control("settings 9600,n,8,1");
    sim.Control("pace on");
    sim.Control("paper-rate 0");
    sim.Reset();
    InitializeMonitorLocks();
    PortList list{kPortListSignature, nullptr};
    PortEntry* e = VeskCreatePortEntry(&list, L"VESK");
    if (!e) return false;
    DOC_INFO_1W doc{const_cast<LPWSTR>(L"bench"), const_cast<LPWSTR>(L"VESK"), const_cast<LPWSTR>(L"RAW")};
    std::vector<double> ms;
    bool ok = true;
    for (int i = 0; ok && i <= jobs; ++i) {
        double t0 = Seconds();
        ok = VeskStartDocPort(e, nullptr, 0, 1, reinterpret_cast<LPBYTE>(&doc)) != FALSE;
        double t1 = Seconds();
        ok = VeskEndDocPort(e) && ok;
        if (i > 0) ms.push_back((t1 - t0) * 1000.0);
        else sim.Reset();
    }
    VeskDeletePortEntry(&list, L"VESK");
    if (!ok || ms.empty()) return false;
    std::sort(ms.begin(), ms.end());
    f.samples = static_cast<int>(ms.size());
    f.median = ms[ms.size() / 2];
    f.min = ms.front();
    f.max = ms.back();
    // Awake throughout: each counted job's wake-up was answered at its first burst, and
    // each asked for the settings once.
    auto state = sim.Sync();
    return state["bursts"] == std::to_string(jobs) && state["queries"] == std::to_string(jobs);
}

struct XoffFigures {
    size_t max = 0, median = 0;
    int samples = 0;
};

// The XOFF reaction on the line model: a long job is written while XOFF arrives at varied
// moments; the bytes of writes that begin after XOFF arrived are counted each time.
XoffFigures XoffReaction(DWORD baud, int rounds) {
    InitializeMonitorLocks();
    vt::FakeLine line;
    line.SetBaud(baud);
    PortList list{kPortListSignature, nullptr};
    PortEntry* e = VeskCreatePortEntry(&list, L"VESK");
    e->hFile = line.handle();
    e->Status = PORT_FLAG_OPEN | PORT_FLAG_IN_DOC;
    e->pFlow = StartJobFlow(line.handle(), 600000);

    struct Job {
        PortEntry* e;
        volatile LONG stop = 0;
    } job{e};
    HANDLE writer = CreateThread(nullptr, 0, [](void* p) WINAPI -> DWORD {
        auto* j = static_cast<Job*>(p);
        std::string chunk(4096, 'x');
        while (!j->stop) {
            DWORD written = 0;
            VeskWritePort(j->e, reinterpret_cast<LPBYTE>(chunk.data()), 4096, &written);
        }
        return 0;
    }, &job, 0, nullptr);

    double chunkMs = 64 * 10000.0 / baud;
    std::vector<size_t> after;
    for (int r = 0; r < rounds; ++r) {
        // Vary the moment within a chunk's line time.
        Sleep(static_cast<DWORD>(chunkMs * (1.5 + (r % 7) / 7.0)));
        double at = line.NowMs();
        line.Deliver(std::string(1, '\x13'));
        Sleep(static_cast<DWORD>(chunkMs * 3) + 20);
        size_t bytes = 0;
        for (const auto& w : line.Writes())
            if (w.startMs >= at) bytes += w.moved;
        after.push_back(bytes);
        line.Deliver(std::string(1, '\x11'));
    }
    job.stop = 1;
    line.Deliver(std::string(1, '\x11'));
    WaitForSingleObject(writer, 10000);
    CloseHandle(writer);
    StopJobFlow(e->pFlow);
    e->pFlow = nullptr;
    VeskDeletePortEntry(&list, L"VESK");

    std::sort(after.begin(), after.end());
    XoffFigures f;
    f.samples = static_cast<int>(after.size());
    f.max = after.back();
    f.median = after[after.size() / 2];
    return f;
}

// A port printing on its own line of the model: a document with its busy thread, and a
// writer that keeps the spooler's 4096-byte pieces coming until told to stop.
class ModelPort {
public:
    ModelPort(const wchar_t* name, DWORD baud) : line_(name), name_(name) {
        line_.SetBaud(baud);
        entry_ = VeskCreatePortEntry(&list_, name);
        entry_->hFile = line_.handle();
        entry_->Status = PORT_FLAG_OPEN | PORT_FLAG_IN_DOC;
        entry_->pFlow = StartJobFlow(line_.handle(), 600000);
    }
    ~ModelPort() {
        Stop();
        StopJobFlow(entry_->pFlow);
        entry_->pFlow = nullptr;
        VeskDeletePortEntry(&list_, name_);
    }
    void Start() {
        stop_ = 0;
        writer_ = CreateThread(nullptr, 0, [](void* p) WINAPI -> DWORD {
            auto* port = static_cast<ModelPort*>(p);
            std::string piece(4096, 'x');
            while (!port->stop_) {
                DWORD written = 0;
                VeskWritePort(port->entry_, reinterpret_cast<LPBYTE>(piece.data()), 4096, &written);
            }
            return 0;
        }, this, 0, nullptr);
    }
    void Stop() {
        if (!writer_) return;
        stop_ = 1;
        line_.Deliver(std::string(1, '\x11'));
        WaitForSingleObject(writer_, 10000);
        CloseHandle(writer_);
        writer_ = nullptr;
    }
    vt::FakeLine& line() { return line_; }
    // Bytes moved by the writes that began inside [from, to) of the line's clock.
    long long BytesBetween(double fromMs, double toMs) {
        long long bytes = 0;
        for (const auto& w : line_.Writes())
            if (w.startMs >= fromMs && w.startMs < toMs) bytes += w.moved;
        return bytes;
    }
    long long Bytes() { return BytesBetween(0, 1e12); }

private:
    vt::FakeLine line_;
    const wchar_t* name_;
    PortList list_{kPortListSignature, nullptr};
    PortEntry* entry_ = nullptr;
    HANDLE writer_ = nullptr;
    volatile LONG stop_ = 0;
};

// The process's CPU time in microseconds.
long long CpuMicroseconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto us = [](FILETIME t) {
        return ((static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10;
    };
    return us(kernel) + us(user);
}

struct ThreePortFigures {
    long long singleBytesPerSecond = 0;
    long long freeBytesPerSecond[2] = {};
    long long ratioPerMille = 0;  // the slower free port's throughput against the single port's
    long long singleCpuUsPerMb = 0, threeCpuUsPerMb = 0;
    long long heldBytesAfterXoff = 0;
};

// (f): first one port alone for the length of the hold, then three at once with the third
// held busy for `holdMs` in the middle.
ThreePortFigures ThreePorts(DWORD baud, DWORD holdMs) {
    InitializeMonitorLocks();
    ThreePortFigures f;
    {
        ModelPort alone(L"VESK", baud);
        long long cpu0 = CpuMicroseconds();
        alone.Start();
        Sleep(holdMs / 2);
        double from = alone.line().NowMs();
        Sleep(holdMs);
        double to = alone.line().NowMs();
        alone.Stop();
        long long cpu = CpuMicroseconds() - cpu0, bytes = alone.Bytes();
        f.singleBytesPerSecond = alone.BytesBetween(from, to) * 1000 / static_cast<long long>(to - from);
        f.singleCpuUsPerMb = bytes ? cpu * 1048576 / bytes : 0;
    }
    ModelPort counter(L"VESK", baud), kitchen(L"VESK2", baud), bar(L"VESK3", baud);
    ModelPort* ports[] = {&counter, &kitchen, &bar};
    long long cpu0 = CpuMicroseconds();
    for (ModelPort* p : ports) p->Start();
    Sleep(holdMs / 2);
    double from[3];
    for (int i = 0; i < 3; ++i) from[i] = ports[i]->line().NowMs();
    bar.line().Deliver(std::string(1, '\x13'));
    Sleep(holdMs);
    double to[3];
    for (int i = 0; i < 3; ++i) to[i] = ports[i]->line().NowMs();
    bar.line().Deliver(std::string(1, '\x11'));
    Sleep(holdMs / 2);
    for (ModelPort* p : ports) p->Stop();
    long long cpu = CpuMicroseconds() - cpu0, bytes = 0;
    for (ModelPort* p : ports) bytes += p->Bytes();
    f.threeCpuUsPerMb = bytes ? cpu * 1048576 / bytes : 0;
    for (int i = 0; i < 2; ++i)
        f.freeBytesPerSecond[i] = ports[i]->BytesBetween(from[i], to[i]) * 1000 /
                                  static_cast<long long>(to[i] - from[i]);
    f.heldBytesAfterXoff = bar.BytesBetween(from[2], to[2]);
    long long slower = std::min(f.freeBytesPerSecond[0], f.freeBytesPerSecond[1]);
    f.ratioPerMille = f.singleBytesPerSecond ? slower * 1000 / f.singleBytesPerSecond : 0;
    return f;
}

}  // namespace

int main() {
    vt::Simulator sim;
    if (!sim.present()) return 1;
    DWORD err = 0;
    if (!vesk::RegisterMonitor(vt::BinDir(), err) || !vesk::EnsurePrinter(kPrinter, L"VESK", err)) {
        std::printf("cannot set up the spooler (error %lu)\n", err);
        return 1;
    }

    // (a) and (d): 1 MB at 115200 baud to a printer that reads the line eagerly.
    vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,115200,N,8,1"}});
    sim.Control("settings 115200,n,8,1");
    sim.Control("pace off");
    sim.Control("paper-rate 0");
    sim.Control("buffer 1048576");
    sim.Control("xoff-at 1048576");
    sim.Reset();
    std::string mb = Receipt(1 << 20);
    double seconds = 0, cpu = 0;
    if (!PrintAndWait(mb, sim, seconds, cpu)) {
        std::printf("the 1 MB job did not print\n");
        return 1;
    }
    double headroom = mb.size() / seconds / kLine115200;
    double cpuPerMb = cpu / (mb.size() / 1048576.0);
    std::printf("(a) 1 MB through the spooler in %.2f s: %.0f bytes/s = %.1f x a 115200-baud line "
                "(%.0f bytes/s)\n", seconds, mb.size() / seconds, headroom, kLine115200);
    std::printf("(d) CPU of the printing process: %.3f s for the job, %.3f s per MB\n", cpu, cpuPerMb);

    // (b): the same line, paced at its rate, with paper slower than the line.
    const double paperRate = 5000;
    sim.Control("pace on");
    sim.Control("paper-rate 5000");
    sim.Control("buffer 32768");
    sim.Control("xoff-at 8192");
    sim.Control("xon-at 2048");
    sim.Reset();
    std::string job = Receipt(100000);
    if (!PrintAndWait(job, sim, seconds, cpu)) {
        std::printf("the flow-control job did not print\n");
        return 1;
    }
    auto state = sim.Sync();
    double fromDocument = job.size() / seconds / paperRate;
    double run = PaperRunSeconds(sim.WireLog());
    if (run <= 0) {
        std::printf("the wire log shows no run of the paper\n");
        return 1;
    }
    double ratio = job.size() / run / paperRate;
    std::printf("(b) %zu bytes on paper taking %.0f bytes/s, line 11520 bytes/s: paper ran %.2f s "
                "from its first byte to its last, %.0f bytes/s = %.4f of the paper rate; from the "
                "start of the document %.2f s = %.4f (%s XOFFs, %s bytes lost)\n",
                job.size(), paperRate, run, job.size() / run, ratio, seconds, fromDocument,
                state["xoffs"].c_str(), state["overflow"].c_str());
    vesk::RemovePrinter(kPrinter);

    // (e): the start of a job, on its own.
    StartFigures start;
    if (!StartLatency(sim, 9, start)) {
        std::printf("the start of a job could not be timed\n");
        return 1;
    }
    std::printf("(e) StartDocPort at 9600 baud, printer awake: median %.0f ms (%.0f to %.0f ms, "
                "%d jobs)\n", start.median, start.min, start.max, start.samples);

    // (c): XOFF reaction on the line model.
    XoffFigures slow = XoffReaction(9600, 100);
    XoffFigures fast = XoffReaction(115200, 150);
    std::printf("(c) bytes written after XOFF arrived: 9600 baud max %zu median %zu (%d XOFFs); "
                "115200 baud max %zu median %zu (%d XOFFs)\n",
                slow.max, slow.median, slow.samples, fast.max, fast.median, fast.samples);

    // (f): three ports at once.
    ThreePortFigures three = ThreePorts(115200, 2000);
    std::printf("(f) three ports at 115200 baud on the line model, one held busy for 2000 ms: "
                "free ports %lld and %lld bytes/s while it was held, %lld bytes/s alone, ratio "
                "%lld.%03lld; CPU per MB %lld ms with three jobs, %lld ms with one; held port "
                "wrote %lld bytes after its XOFF\n",
                three.freeBytesPerSecond[0], three.freeBytesPerSecond[1], three.singleBytesPerSecond,
                three.ratioPerMille / 1000, three.ratioPerMille % 1000, three.threeCpuUsPerMb / 1000,
                three.singleCpuUsPerMb / 1000, three.heldBytesAfterXoff);

    std::printf("line-rate headroom %.1f; paper-rate ratio %.3f; bytes after XOFF max %zu median %zu; "
                "cpu per MB %.3f s; start latency %.0f ms; three ports %lld.%03lld\n",
                headroom, ratio, std::max(slow.max, fast.max), std::max(slow.median, fast.median), cpuPerMb,
                start.median, three.ratioPerMille / 1000, three.ratioPerMille % 1000);
    return 0;
}
