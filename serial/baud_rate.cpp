// Baud rates of the printer link and the wake-up block size.
#include "serial.h"

DWORD ListedBaudRate(DWORD baudRate) {
    static constexpr DWORD kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                       19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (DWORD r : kRates)
        if (r == baudRate) return r;
    return 9600;
}

DWORD GetBaudRate(DWORD baudRate) {
    // Ten bits a character and a 50 ms window: rate / 10 characters a second, a twentieth of
    // that, so the rate divided by 200, truncated (0 at 110 baud: no wake-up burst is possible
    // there). Integer arithmetic, so both builds agree whatever the FPU's precision.
    return ListedBaudRate(baudRate) / 200;
}
