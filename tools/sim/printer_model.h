// The behaviour of a Vesk receipt printer on its serial line, without any I/O: bytes from
// the PC go in with the time they arrived, bytes for the PC, printed paper and events come
// out. The simulator program wraps it around a pseudo-terminal; its unit tests drive it
// directly.
//
// What the printer understands:
//   00 ...            wake-up burst: zero bytes alone between two pauses. A sleeping printer
//                     answers XON after `wakeAfterBursts` bursts, an awake one after each
//                     burst (unless it is busy: then its XON comes when it has drained).
//                     Zero bytes that run into other data are print data, except into CAN.
//   18                CAN: sent after every wake-up; cancels a partial command
//   1D 05             wake-up status request: one byte, bit 2 set when awake
//   1D 49 04          settings query: the settings text (9600,N,8,1) and an end character
//   1D 49 0F          status: three bytes, bit 0 of the third asks for a power cycle
//   1B 58 04 <text>   settings change: the text is kept until the switch command
//   1B 58 0B 00 00    switch: XOFF, then the printer takes the new settings
// Everything else is print data: it goes into the print buffer and from there to paper at
// the paper rate. XOFF is sent when the buffer reaches `xoffAt`, XON when it has drained
// to `xonAt`; bytes beyond the buffer's size are lost (counted as overflow). A paper with a
// rate reports when it starts moving and when it stops (buffer empty, or held): events
// "paper starts" and "paper stops".
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "line_settings.h"

namespace vesksim {

inline constexpr unsigned char kXon = 0x11;
inline constexpr unsigned char kXoff = 0x13;
inline constexpr unsigned char kCan = 0x18;
inline constexpr unsigned char kEsc = 0x1B;
inline constexpr unsigned char kGs = 0x1D;

struct PrinterConfig {
    LineSettings settings;
    unsigned wakeAfterBursts = 1;  // 0: never wakes
    bool silent = false;           // sends nothing at all
    bool powerCycleRequest = false;
    bool hold = false;             // paper does not move (printer busy)
    std::optional<std::string> queryReply;       // scripted reply to the settings query
    std::optional<std::string> statusReply;      // scripted reply to the status command
    std::optional<std::string> wakeStatusReply;  // scripted reply to 1D 05
    std::string replyPrefix;                     // sent before the settings text
    char endChar = '\r';
    std::size_t bufferSize = 4096;
    std::size_t xoffAt = 3584;
    std::size_t xonAt = 1024;
    double paperRate = 0;      // bytes a second; 0 prints at once
    double burstGapMs = 20;    // a pause this long bounds a zero burst or ends a settings text
    bool paceLine = false;     // take bytes no faster than the PC's line carries them
};

struct PrinterCounters {
    std::uint64_t received = 0, noise = 0, sent = 0, suppressed = 0;
    std::uint64_t printed = 0, overflow = 0;
    std::uint64_t bursts = 0, wakes = 0, cans = 0;
    std::uint64_t queries = 0, statuses = 0, wakeStatuses = 0, settingsChanges = 0, switches = 0;
    std::uint64_t xoffs = 0, xons = 0;
};

class PrinterModel {
public:
    explicit PrinterModel(PrinterConfig config = {});

    PrinterConfig& config() { return config_; }
    const PrinterConfig& config() const { return config_; }

    // Bytes from the PC at nowMs. `heard` is false when the PC's line settings differ from
    // the printer's: then the bytes are noise and change nothing.
    void receive(std::string_view bytes, double nowMs, bool heard);
    // Lets time pass: paper moves, bursts and texts end, an idle session closes.
    void tick(double nowMs);
    // The earliest time tick() has something to do, or a negative value for none.
    double nextDeadline() const;

    // Sends bytes to the PC now (a scripted answer), unless silent.
    void send(std::string_view bytes);
    // The printer falls asleep: the next wake-up needs wakeAfterBursts bursts again.
    void fallAsleep();
    // The printer wakes without a wake-up burst (it was woken by someone else).
    void wakeUp();

    std::string takeToPc();
    std::string takePaper();
    std::vector<std::string> takeEvents();

    const PrinterCounters& counters() const { return counters_; }
    void resetCounters() { counters_ = {}; }
    bool awake() const { return awake_; }
    bool inXoff() const { return inXoff_; }
    std::size_t buffered() const { return buffer_.size(); }
    const std::optional<LineSettings>& pendingSettings() const { return pending_; }

private:
    enum class Parse { Data, Gs, GsI, Esc, EscX, EscXText, Switch1, Switch2 };

    void byte(unsigned char b, double nowMs, double gapBefore);
    void zerosAreData();
    void command(unsigned char b, double nowMs);
    void endBurst(bool answer = true);
    void endSettingsText();
    void print(std::string_view data);
    void flow();
    void drain(double nowMs);
    void paperStops();
    void event(std::string text);

    PrinterConfig config_;
    PrinterCounters counters_;
    bool awake_ = false;
    Parse parse_ = Parse::Data;
    unsigned burstsThisWake_ = 0;
    std::size_t pendingZeros_ = 0;  // zero bytes that may be a burst, not yet decided
    std::string text_;
    std::optional<LineSettings> pending_;
    std::deque<char> buffer_;
    bool inXoff_ = false;
    double lastByteMs_ = 0;
    double lastDrainMs_ = -1;
    double paperCredit_ = 0;
    bool paperRunning_ = false;
    std::string toPc_, paper_;
    std::vector<std::string> events_;
};

}  // namespace vesksim
