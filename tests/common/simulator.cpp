#include "simulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "simulator_defaults.h"
#include "test_env.h"

namespace vt {

namespace {

std::string ReadWholeFile(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                           FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string data;
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) data.append(buf, n);
    CloseHandle(h);
    return data;
}

}  // namespace

Simulator::Simulator(const char* com) {
    std::string var = std::string("VESK_SIM_") + com;
    for (auto& c : var) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    dir_ = Env(Widen(var).c_str());
    if (dir_.empty()) {
        ADD_FAILURE() << "this test needs a simulator on " << com << " (VESK_TEST_SIMS)";
        return;
    }
    dir_ = WindowsPath(dir_);
    if (dir_.back() != L'\\') dir_ += L'\\';
    Defaults();
}

void Simulator::Defaults() {
    std::string commands;
    for (const char* line : kSimulatorDefaults) commands += std::string(commands.empty() ? "" : "\n") + line;
    Control(commands);
    // Once those are applied a printer that was held prints what it had; the reset that
    // follows empties the paper of it.
    Sync();
    Reset();
}

void Simulator::Control(const std::string& line) {
    if (!present()) return;
    HANDLE h = CreateFileW((dir_ + L"control").c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "simulator control channel";
    std::string text = line + "\n";
    DWORD n = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(h);
    EXPECT_EQ(n, text.size());
}

std::map<std::string, std::string> Simulator::State() const {
    std::map<std::string, std::string> m;
    std::istringstream in(ReadWholeFile(dir_ + L"state"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto eq = line.find('=');
        if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return m;
}

std::map<std::string, std::string> Simulator::Sync() {
    if (!present()) return {};
    std::string token = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++syncs_);
    Control("sync " + token);
    for (int i = 0; i < 500; ++i) {
        auto s = State();
        if (s["sync"] == token) return s;
        Sleep(10);
    }
    ADD_FAILURE() << "the simulator did not answer sync " << token;
    return {};
}

long Simulator::Count(const std::string& key) {
    auto s = Sync();
    return std::strtol(s[key].c_str(), nullptr, 10);
}

void Simulator::Reset() {
    Control("reset");
    Sync();
}

bool Simulator::WaitFor(const std::string& key, long value, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        auto s = State();
        if (std::strtol(s[key].c_str(), nullptr, 10) >= value) return true;
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

std::string Simulator::PcLine() {
    auto s = Sync();
    return s["pc_baud"] + "/" + s["pc_stop"];
}

std::vector<WireRecord> Simulator::WireLog() const {
    std::vector<WireRecord> records;
    std::istringstream in(ReadWholeFile(dir_ + L"wire.log"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        WireRecord r;
        std::string dir;
        if (!(fields >> r.ms >> dir) || dir.size() != 1) continue;
        r.direction = dir[0];
        if (r.direction == '#') {
            std::getline(fields, r.text);
            if (!r.text.empty() && r.text[0] == ' ') r.text.erase(0, 1);
        } else {
            for (std::string hex; fields >> hex;)
                r.bytes.push_back(static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16)));
        }
        records.push_back(std::move(r));
    }
    return records;
}

std::string Simulator::Paper() const {
    return ReadWholeFile(dir_ + L"paper.bin");
}

std::string BytesFromPc(const std::vector<WireRecord>& log) {
    std::string all;
    for (const auto& r : log)
        if (r.direction == '>') all += r.bytes;
    return all;
}

std::vector<std::string> GroupsFromPc(const std::vector<WireRecord>& log, double gapMs) {
    std::vector<std::string> groups;
    double last = -1e9;
    for (const auto& r : log) {
        if (r.direction != '>') continue;
        if (groups.empty() || r.ms - last > gapMs) groups.emplace_back();
        groups.back() += r.bytes;
        last = r.ms;
    }
    return groups;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02X", c);
        if (!out.empty()) out += ' ';
        out += b;
    }
    return out;
}

}  // namespace vt

namespace vt {

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    auto around = [i](const std::string& s) {
        size_t from = i > 8 ? i - 8 : 0;
        return Hex(s.substr(from, 24));
    };
    return ::testing::AssertionFailure()
           << actual.size() << " bytes against " << expected.size() << " expected; first difference at "
           << i << ": got [" << around(actual) << "] expected [" << around(expected) << "]";
}

}  // namespace vt
