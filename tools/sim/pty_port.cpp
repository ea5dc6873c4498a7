#include "pty_port.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace vesksim {

unsigned BaudOfSpeed(unsigned speed) {
    switch (speed) {
    case B110: return 110;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    default: return 0;
    }
}

PtyPort::PtyPort() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    slavePath_ = ptsname(master_);
    slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) throw std::runtime_error("cannot open " + slavePath_);

    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(slave_, TCSANOW, &t);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPort::~PtyPort() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

ObservedLine PtyPort::observe() const {
    termios t{};
    ObservedLine line;
    if (tcgetattr(slave_, &t) != 0) return line;
    line.baud = BaudOfSpeed(cfgetospeed(&t));
    line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    line.ixon = (t.c_iflag & IXON) != 0;
    line.ixoff = (t.c_iflag & IXOFF) != 0;
    return line;
}

}  // namespace vesksim
