#include "fake_line.h"

#include <algorithm>

#include "serial.h"

namespace vt {

namespace {
FakeLine* g_line = nullptr;  // one fake line at a time
}

FakeLine::FakeLine()
    : handle_(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x7FAB0000))),
      arrived_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
    g_line = this;
    ReplaceLine(&kOperations);
}

FakeLine::~FakeLine() {
    ReplaceLine(nullptr);
    g_line = nullptr;
    CloseHandle(arrived_);
}

double FakeLine::NowMs() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
           static_cast<double>(frequency_.QuadPart);
}

FakeLine* FakeLine::From(HANDLE h) {
    return g_line && h == g_line->handle_ ? g_line : nullptr;
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
    SetEvent(arrived_);
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
        writes_.push_back({start, NowMs(), bytes, moved});
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
                    taken_.push_back({now, it->byte, thisRead});
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
        HANDLE waits[2] = {arrived_, stop};
        DWORD r = WaitForMultipleObjects(stop ? 2 : 1, waits, FALSE, wait);
        if (r == WAIT_OBJECT_0 + 1) {
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
        WaitForSingleObject(arrived_, static_cast<DWORD>(end - NowMs()) + 1);
        std::lock_guard<std::mutex> lock(m_);
        if (dsr_ != before) return TRUE;
        ResetEvent(arrived_);
    }
    std::lock_guard<std::mutex> lock(m_);
    return dsr_ != before;
}

const LineOperations FakeLine::kOperations = {
    [](HANDLE h, const void* d, DWORD n, DWORD* w, HANDLE event) -> BOOL {
        FakeLine* l = From(h);
        return l ? l->DoWrite(d, n, w) : WriteBuffer(h, d, n, w, event);
    },
    [](HANDLE h, void* b, DWORD n, DWORD* r) -> BOOL {
        FakeLine* l = From(h);
        return l ? l->DoRead(b, n, r, nullptr) : ReadBuffer(h, b, n, r);
    },
    [](HANDLE h, void* b, DWORD n, DWORD* r, HANDLE stop) -> BOOL {
        FakeLine* l = From(h);
        return l ? l->DoRead(b, n, r, stop) : ReadBufferOrStop(h, b, n, r, stop);
    },
    [](HANDLE h, DWORD* status) -> BOOL {
        FakeLine* l = From(h);
        if (!l) return GetCommModemStatus(h, status);
        std::lock_guard<std::mutex> lock(l->m_);
        *status = l->dsr_ ? MS_DSR_ON : 0;
        return TRUE;
    },
    [](HANDLE h, DWORD flags) -> BOOL {
        FakeLine* l = From(h);
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
        FakeLine* l = From(h);
        return l ? l->DoWaitForDsr(timeoutMs) : FALSE;
    },
    [](HANDLE h) -> BOOL { return From(h) ? TRUE : FlushFileBuffers(h); },
    [](HANDLE h) -> BOOL {
        FakeLine* l = From(h);
        if (!l) return CloseHandle(h);
        ++l->closes_;
        return TRUE;
    },
    [](PortEntry* e, DWORD* block) -> BOOL {
        FakeLine* l = g_line;
        ++l->opens_;
        e->hFile = l->handle_;
        e->Status |= PORT_FLAG_OPEN;
        if (block) *block = GetBaudRate(l->baud_ ? l->baud_ : 9600);
        return TRUE;
    },
    [](const VeskPortSettings* s, DWORD* block) -> HANDLE {
        FakeLine* l = g_line;
        ++l->opens_;
        l->lastDcb_ = s->pConfig->dcb;
        if (block) *block = GetBaudRate(s->pConfig->dcb.BaudRate);
        return l->handle_;
    },
};

}  // namespace vt
