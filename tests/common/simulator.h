// A test's handle on the printer simulator that winetest started for one of its COM ports:
// control commands through the FIFO, and the state file, wire log and paper it writes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vt {

struct WireRecord {
    double ms = 0;
    char direction = 0;  // '>' from the PC, '!' noise, '<' to the PC, '#' event
    std::string bytes;   // the bytes of a data record
    std::string text;    // the text of an event
};

class Simulator {
public:
    // The simulator of `com` ("com1"), put back into its starting state (Defaults), so that
    // nothing an earlier test set, or left set when it failed early, reaches this one. Fails
    // the test when the run has no simulator there.
    explicit Simulator(const char* com = "com1");

    bool present() const { return !dir_.empty(); }
    // Every setting of the printer as it starts (simulator_defaults.h), the printer asleep,
    // the wire log and the paper empty and the counters zero.
    void Defaults();
    // Sends one control command (see tools/sim/control.h).
    void Control(const std::string& line);
    // Waits until the simulator has handled every command sent before; returns its state.
    std::map<std::string, std::string> Sync();
    // The state as last written, without waiting.
    std::map<std::string, std::string> State() const;
    // A counter of the state as a number (0 when missing).
    long Count(const std::string& key);
    // Empties the wire log and the paper and zeroes the counters.
    void Reset();
    std::vector<WireRecord> WireLog() const;
    std::string Paper() const;
    // Waits until `key` of the state reaches at least `value`; false after `timeoutMs`.
    bool WaitFor(const std::string& key, long value, DWORD timeoutMs);
    // Line settings the simulator reports for the PC's side: "9600/1" (baud/stop bits).
    std::string PcLine();

private:
    std::wstring dir_;
    int syncs_ = 0;
};

// The bytes from the PC in a wire log, in order ('>' records only).
std::string BytesFromPc(const std::vector<WireRecord>& log);
// The same, grouped into bursts: records closer than `gapMs` belong to one group.
std::vector<std::string> GroupsFromPc(const std::vector<WireRecord>& log, double gapMs);
// Hex form for messages: "18 1D 49 04".
std::string Hex(const std::string& bytes);
// Compares two byte strings and, when they differ, says where and how much, instead of
// printing kilobytes.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

}  // namespace vt
