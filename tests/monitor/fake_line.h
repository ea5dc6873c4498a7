// A scripted serial line inside the test process, put in place of the real device through
// the monitor's line table. It gives what a pseudo-terminal cannot: DSR, writes that take
// their line time or move nothing, and bytes that arrive at chosen moments.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "line_ops.h"

namespace vt {

class FakeLine {
public:
    struct Write {
        double startMs, endMs;  // since the line was made
        std::string bytes;      // what the caller asked to write
        DWORD moved;
    };

    // With a port name, the line is that VESK port's device only (several lines can then
    // live at once, one per port); without, it takes every open that no other line claims,
    // the settings commands' too.
    explicit FakeLine(const wchar_t* port = nullptr);
    // Ends the waits of line calls still in progress and waits for those calls to return.
    ~FakeLine();
    FakeLine(const FakeLine&) = delete;
    FakeLine& operator=(const FakeLine&) = delete;

    // The line's own handle, for tests that call the link directly; every open gives a handle
    // value of its own besides.
    HANDLE handle() const { return handle_; }
    double NowMs() const;

    // Bytes from the printer, readable `afterMs` from now.
    void Deliver(const std::string& bytes, double afterMs = 0);
    void SetDsr(bool on);
    // A baud rate makes each write take its line time (ten bits a byte); 0 makes writes
    // instant. The opens report the wake-up block size of this rate.
    void SetBaud(DWORD baud) { baud_ = baud; }
    void SetReadTimeouts(DWORD intervalMs, DWORD totalMs);

    // The printer's reaction to each write (called on the writing thread, after the write).
    std::function<void(FakeLine&, const std::string& bytes)> onWrite;
    // How many bytes of a write the line takes (default: all).
    std::function<DWORD(const std::string& bytes)> accept;
    // A device control request (called on the requesting thread); without it every request
    // fails as an unknown one.
    std::function<BOOL(DWORD code)> onControl;
    // Without records the line keeps no history of its writes and reads (Writes, AllWritten,
    // TakenAtMs and WaitUntilReadAll then see none), so that a long run's memory is the
    // monitor's.
    bool keepsRecords = true;
    // Reads that ignore their stop event, as a driver that does not complete a cancel: they
    // end only by their time-outs or when the line goes.
    bool readsIgnoreStop = false;

    std::vector<Write> Writes();
    std::string AllWritten();
    // When a read first took `byte` from the line (on the line's clock), or a negative value.
    double TakenAtMs(char byte);
    // Waits until every byte delivered so far for now has been read and a read has begun
    // after that, so the reader is done with them; false after `ms`. The line's own
    // sequence, not a guess at how long the reader needs.
    bool WaitUntilReadAll(DWORD ms);
    // Reads begun on the line.
    long Reads() {
        std::lock_guard<std::mutex> lock(m_);
        return reads_;
    }
    int Opens() const { return opens_; }
    int Closes() const { return closes_; }
    // Closes of an opened handle that was already closed (or never opened).
    int DoubleCloses() const { return doubleCloses_; }
    // Opened handles not closed yet.
    int StillOpen() {
        std::lock_guard<std::mutex> lock(m_);
        return static_cast<int>(open_.size());
    }
    int Purges() const { return purges_; }
    // The line settings of the last open for the settings commands.
    DCB LastOpenedDcb() const { return lastDcb_; }

    // The table that routes the monitor's line calls here.
    static const LineOperations kOperations;

private:
    struct Incoming {
        double atMs;
        char byte;
    };
    struct Taken {
        double atMs;
        char byte;
        long read;  // the read that took it
    };
    class Use;
    BOOL DoWrite(const void* data, DWORD count, DWORD* written);
    BOOL DoRead(void* buffer, DWORD count, DWORD* read, HANDLE stop);
    BOOL DoWaitForDsr(DWORD timeoutMs);

    HANDLE Open();
    bool Owns(HANDLE h) const;
    BOOL Close(HANDLE h);

    std::wstring port_;
    HANDLE handle_;
    std::set<HANDLE> open_;  // handles of opens not closed yet
    DWORD nextOpen_ = 0;
    HANDLE arrived_;     // set when bytes arrive
    HANDLE dsrChanged_;  // set when DSR changes
    HANDLE closing_;     // set when the line goes: every wait of a call in progress ends
    int active_ = 0;     // line calls in progress (under the lines' lock)
    LARGE_INTEGER start_, frequency_;
    mutable std::mutex m_;
    std::vector<Incoming> incoming_;
    std::vector<Taken> taken_;
    long reads_ = 0;  // reads begun
    std::vector<Write> writes_;
    bool dsr_ = false;
    DWORD baud_ = 0;
    DWORD intervalMs_ = 200, totalMs_ = 5000;
    std::atomic<int> opens_{0}, closes_{0}, purges_{0}, doubleCloses_{0};
    DCB lastDcb_{};
};

// A settings record with the given line settings on COM1 (8 data bits, no parity, 1 stop bit).
struct SettingsRecord {
    explicit SettingsRecord(DWORD baud = 9600) {
        lstrcpyW(record.ComName, L"COM1");
        config.dwSize = sizeof config;
        config.dcb.DCBlength = sizeof(DCB);
        config.dcb.BaudRate = baud;
        config.dcb.ByteSize = 8;
        config.dcb.Parity = NOPARITY;
        config.dcb.StopBits = ONESTOPBIT;
        record.pConfig = &config;
        record.hComm = INVALID_HANDLE_VALUE;
    }
    PBYTE bytes() { return reinterpret_cast<PBYTE>(&record); }
    COMMCONFIG config{};
    VeskPortSettings record{};
};

// A printer on the line that answers every wake-up burst with XON, the status command with
// `status` and the settings query with `reply`.
void AnswerAsPrinter(FakeLine& line, std::string reply,
                     std::string status = std::string("\x06\x00\x00", 3));

}  // namespace vt
