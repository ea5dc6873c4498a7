// The printer's end of a pseudo-terminal. The PC side (Wine's COM port) opens the slave;
// the simulator reads and writes the master and watches the slave's terminal attributes to
// see the line settings the PC has set.
#pragma once

#include <string>

#include "line_settings.h"

namespace vesksim {

class PtyPort {
public:
    PtyPort();
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // Baud rate and stop bits the PC has set on the slave.
    ObservedLine observe() const;

private:
    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hang-up between the PC's opens
    std::string slavePath_;
};

// Baud rate of a termios speed constant, 0 when unknown.
unsigned BaudOfSpeed(unsigned speed);

}  // namespace vesksim
