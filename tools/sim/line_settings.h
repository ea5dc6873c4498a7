// Line settings of a serial line: what the printer listens at, and what the PC has set.
#pragma once

#include <optional>
#include <string>

namespace vesksim {

struct LineSettings {
    unsigned baud = 9600;
    char parity = 'n';     // n, o, e, m, s
    unsigned dataBits = 8;
    unsigned stopBits = 1;  // 1, 2, or 15 for 1.5

    // The form the printer reports: 9600,N,8,1 (parity upper case).
    std::string replyText() const;
    // The form of the PC's settings text: 9600,n,8,1.
    std::string text() const;
    bool operator==(const LineSettings&) const = default;
};

// Parses "9600,n,8,1" (also "19200,E,7,2", "9600,n,8,1.5"); nullopt when malformed.
std::optional<LineSettings> ParseLineSettings(const std::string& text);

// What a pseudo-terminal shows of the PC's settings: baud rate and stop bits only.
struct ObservedLine {
    unsigned baud = 0;
    unsigned stopBits = 1;  // 1 or 2; a pty cannot show 1.5
    bool ixon = false;      // XON/XOFF flow control of the PC's output
    bool ixoff = false;     // XON/XOFF flow control of the PC's input
    bool operator==(const ObservedLine&) const = default;
};

// True when a printer at `printer` can hear a PC whose line shows `pc`. Stop bits of 1.5
// look like 1 on a pty and are compared so.
bool LineMatches(const LineSettings& printer, const ObservedLine& pc);

}  // namespace vesksim
