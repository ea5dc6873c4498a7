#include "fake_line.h"

#include <algorithm>
#include <cstdio>

#include "dialog_driver.h"
#include "serial.h"

namespace vt {

namespace {
// The lines alive. The lock covers finding one and counting the calls in progress on it, so
// that it is not destroyed under a call of a thread that outlives its test.
std::mutex g_lineLock;
std::vector<FakeLine*> g_lines;
unsigned g_lineSerial = 0;
constexpr DWORD kCallsEndMs = 30000;
// Each line's handles lie in a range of their own: its own handle, then one per open.
constexpr UINT_PTR kHandleBase = 0x40000000, kHandleRange = 0x01000000;
}  // namespace

// A line call in progress: the line of `h`, or for an open the line that takes the opens of
// `port`; kept alive until the call ends; null when there is none.
class FakeLine::Use {
public:
    explicit Use(HANDLE h) {
        std::lock_guard<std::mutex> lock(g_lineLock);
        for (FakeLine* l : g_lines)
            if (l->Owns(h)) line_ = l;
        if (line_) ++line_->active_;
    }
    struct ForOpen {};
    Use(ForOpen, const wchar_t* port) {
        std::lock_guard<std::mutex> lock(g_lineLock);
        for (FakeLine* l : g_lines)
            if (port && !l->port_.empty() && lstrcmpiW(l->port_.c_str(), port) == 0) line_ = l;
        for (FakeLine* l : g_lines)
            if (!line_ && l->port_.empty()) line_ = l;
        if (line_) ++line_->active_;
    }
    ~Use() {
        if (!line_) return;
        std::lock_guard<std::mutex> lock(g_lineLock);
        --line_->active_;
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    FakeLine* get() const { return line_; }
    FakeLine* operator->() const { return line_; }
    explicit operator bool() const { return line_ != nullptr; }

private:
    FakeLine* line_ = nullptr;
};

FakeLine::FakeLine(const wchar_t* port)
    : port_(port ? port : L""),
      arrived_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      dsrChanged_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      closing_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
    {
        std::lock_guard<std::mutex> lock(g_lineLock);
        handle_ = reinterpret_cast<HANDLE>(kHandleBase + (g_lineSerial++ % 32) * kHandleRange);
        g_lines.push_back(this);
    }
    ReplaceLine(&kOperations);
}

bool FakeLine::Owns(HANDLE h) const {
    auto v = reinterpret_cast<UINT_PTR>(h), base = reinterpret_cast<UINT_PTR>(handle_);
    return v >= base && v < base + kHandleRange;
}

HANDLE FakeLine::Open() {
    std::lock_guard<std::mutex> lock(m_);
    ++opens_;
    nextOpen_ = nextOpen_ % (kHandleRange / 4 - 1) + 1;
    HANDLE h = reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(handle_) + 4 * nextOpen_);
    open_.insert(h);
    return h;
}

BOOL FakeLine::Close(HANDLE h) {
    std::lock_guard<std::mutex> lock(m_);
    ++closes_;
    if (h != handle_ && open_.erase(h) == 0) ++doubleCloses_;
    return TRUE;
}

FakeLine::~FakeLine() {
    {
        std::lock_guard<std::mutex> lock(g_lineLock);
        g_lines.erase(std::find(g_lines.begin(), g_lines.end(), this));
        if (g_lines.empty()) ReplaceLine(nullptr);
    }
    // Reads and waits in progress end at once; a thread that is still inside the line after
    // that would use freed memory, so the test program ends instead, saying why.
    SetEvent(closing_);
    bool ended = WaitUntil([this] {
        std::lock_guard<std::mutex> lock(g_lineLock);
        return active_ == 0;
    }, kCallsEndMs);
    if (!ended) {
        std::fprintf(stderr, "fake line: a thread of the monitor is still inside a line call %lu ms "
                             "after its test ended; the test program stops here\n", kCallsEndMs);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(arrived_);
    CloseHandle(dsrChanged_);
    CloseHandle(closing_);
}

double FakeLine::NowMs() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
           static_cast<double>(frequency_.QuadPart);
}

void FakeLine::Deliver(const std::string& bytes, double afterMs) {
    {
        std::lock_guard<std::mutex> lock(m_);
        double at = NowMs() + afterMs;
        for (char c : bytes) incoming_.push_back({at, c});
    }
    SetEvent(arrived_);
}

void FakeLine::SetDsr(bool on) {
    {
        std::lock_guard<std::mutex> lock(m_);
        dsr_ = on;
    }
    SetEvent(dsrChanged_);
}

void FakeLine::SetReadTimeouts(DWORD intervalMs, DWORD totalMs) {
    intervalMs_ = intervalMs;
    totalMs_ = totalMs;
}

std::vector<FakeLine::Write> FakeLine::Writes() {
    std::lock_guard<std::mutex> lock(m_);
    return writes_;
}

std::string FakeLine::AllWritten() {
    std::string all;
    for (const auto& w : Writes()) all += w.bytes.substr(0, w.moved);
    return all;
}

double FakeLine::TakenAtMs(char byte) {
    std::lock_guard<std::mutex> lock(m_);
    for (const auto& t : taken_)
        if (t.byte == byte) return t.atMs;
    return -1;
}

bool FakeLine::WaitUntilReadAll(DWORD ms) {
    double end = NowMs() + ms;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_);
            double now = NowMs();
            bool due = false;
            for (const auto& i : incoming_) due = due || i.atMs <= now;
            if (!due && (taken_.empty() || reads_ > taken_.back().read)) return true;
        }
        if (NowMs() >= end) return false;
        Sleep(5);
    }
}

BOOL FakeLine::DoWrite(const void* data, DWORD count, DWORD* written) {
    std::string bytes(static_cast<const char*>(data), count);
    DWORD moved = accept ? std::min<DWORD>(accept(bytes), count) : count;
    double start = NowMs();
    if (baud_ && moved) Sleep(static_cast<DWORD>(moved * 10000.0 / baud_));
    {
        std::lock_guard<std::mutex> lock(m_);
        if (keepsRecords) writes_.push_back({start, NowMs(), bytes, moved});
    }
    if (written) *written = moved;
    if (onWrite) onWrite(*this, bytes.substr(0, moved));
    return TRUE;
}

BOOL FakeLine::DoRead(void* buffer, DWORD count, DWORD* read, HANDLE stop) {
    auto* out = static_cast<char*>(buffer);
    DWORD got = 0;
    double begin = NowMs(), last = begin;
    long thisRead;
    {
        std::lock_guard<std::mutex> lock(m_);
        thisRead = ++reads_;
    }
    for (;;) {
        double now = NowMs(), next = -1;
        {
            std::lock_guard<std::mutex> lock(m_);
            auto it = incoming_.begin();
            while (it != incoming_.end() && got < count) {
                if (it->atMs <= now) {
                    out[got++] = it->byte;
                    if (keepsRecords) taken_.push_back({now, it->byte, thisRead});
                    last = now;
                    it = incoming_.erase(it);
                } else {
                    next = next < 0 ? it->atMs : std::min(next, it->atMs);
                    ++it;
                }
            }
            if (incoming_.empty() || next >= 0) ResetEvent(arrived_);
        }
        if (got == count) break;
        // The serial time-outs: the total from the start, the interval once a byte came.
        double deadline = begin + totalMs_;
        if (got) deadline = std::min(deadline, last + intervalMs_);
        if (now >= deadline) break;
        double until = deadline;
        if (next >= 0) until = std::min(until, next);
        DWORD wait = static_cast<DWORD>(std::max(0.0, until - now)) + 1;
        HANDLE waits[3] = {arrived_, closing_, stop};
        DWORD r = WaitForMultipleObjects(stop && !readsIgnoreStop ? 3 : 2, waits, FALSE, wait);
        if (r == WAIT_OBJECT_0 + 1 || r == WAIT_OBJECT_0 + 2) {
            if (read) *read = got;
            SetLastError(ERROR_OPERATION_ABORTED);
            return FALSE;
        }
    }
    if (read) *read = got;
    return TRUE;
}

BOOL FakeLine::DoWaitForDsr(DWORD timeoutMs) {
    bool before;
    {
        std::lock_guard<std::mutex> lock(m_);
        before = dsr_;
    }
    double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
        HANDLE waits[2] = {dsrChanged_, closing_};
        if (WaitForMultipleObjects(2, waits, FALSE, static_cast<DWORD>(end - NowMs()) + 1) ==
            WAIT_OBJECT_0 + 1)
            break;
        std::lock_guard<std::mutex> lock(m_);
        if (dsr_ != before) return TRUE;
        ResetEvent(dsrChanged_);
    }
    std::lock_guard<std::mutex> lock(m_);
    return dsr_ != before;
}

void AnswerAsPrinter(FakeLine& line, std::string reply, std::string status) {
    line.onWrite = [reply, status](FakeLine& l, const std::string& b) {
        if (!b.empty() && b.find_first_not_of('\0') == std::string::npos) l.Deliver("\x11", 2);
        if (b == "\x18\x1D\x49\x04") l.Deliver(reply, 2);
        if (b == "\x1D\x49\x0F") l.Deliver(status, 2);
    };
}

const LineOperations FakeLine::kOperations = {
    [](HANDLE h, const void* d, DWORD n, DWORD* w, HANDLE event) -> BOOL {
        Use l(h);
        return l ? l->DoWrite(d, n, w) : WriteBuffer(h, d, n, w, event);
    },
    [](HANDLE h, void* b, DWORD n, DWORD* r) -> BOOL {
        Use l(h);
        return l ? l->DoRead(b, n, r, nullptr) : ReadBuffer(h, b, n, r);
    },
    [](HANDLE h, void* b, DWORD n, DWORD* r, HANDLE stop) -> BOOL {
        Use l(h);
        return l ? l->DoRead(b, n, r, stop) : ReadBufferOrStop(h, b, n, r, stop);
    },
    [](HANDLE h, DWORD* status) -> BOOL {
        Use l(h);
        if (!l) return GetCommModemStatus(h, status);
        std::lock_guard<std::mutex> lock(l->m_);
        *status = l->dsr_ ? MS_DSR_ON : 0;
        return TRUE;
    },
    [](HANDLE h, DWORD flags) -> BOOL {
        Use l(h);
        if (!l) return PurgeComm(h, flags);
        std::lock_guard<std::mutex> lock(l->m_);
        ++l->purges_;
        if (flags & PURGE_RXCLEAR) {
            double now = l->NowMs();
            l->incoming_.erase(std::remove_if(l->incoming_.begin(), l->incoming_.end(),
                                              [now](const Incoming& i) { return i.atMs <= now; }),
                               l->incoming_.end());
        }
        return TRUE;
    },
    [](HANDLE h, DWORD timeoutMs) -> BOOL {
        Use l(h);
        return l ? l->DoWaitForDsr(timeoutMs) : FALSE;
    },
    [](HANDLE h) -> BOOL {
        Use l(h);
        return l ? TRUE : FlushFileBuffers(h);
    },
    [](HANDLE h, DWORD code, void*, DWORD, void*, DWORD, DWORD* returned) -> BOOL {
        Use l(h);
        *returned = 0;
        if (l && l->onControl) return l->onControl(code);
        SetLastError(l ? ERROR_INVALID_FUNCTION : ERROR_INVALID_HANDLE);
        return FALSE;
    },
    [](HANDLE h) -> BOOL {
        Use l(h);
        return l ? l->Close(h) : CloseHandle(h);
    },
    [](PortEntry* e, DWORD* block) -> BOOL {
        Use l(Use::ForOpen{}, e->pName);
        if (!l) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        e->hFile = l->Open();
        e->Status |= PORT_FLAG_OPEN;
        if (block) *block = GetBaudRate(l->baud_ ? l->baud_ : 9600);
        return TRUE;
    },
    [](const VeskPortSettings* s, DWORD* block) -> HANDLE {
        Use l(Use::ForOpen{}, nullptr);
        if (!l) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        l->lastDcb_ = s->pConfig->dcb;
        if (block) *block = GetBaudRate(s->pConfig->dcb.BaudRate);
        return l->Open();
    },
};

}  // namespace vt
