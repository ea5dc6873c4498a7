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
    // Ten bits a character and a 50 ms window; computed in double precision and truncated
    // twice, which gives 0 at 110 baud: no wake-up burst is possible there.
    double t = 50.0 / (10.0 / static_cast<double>(ListedBaudRate(baudRate)));
    return static_cast<DWORD>(t) / 1000;
}
