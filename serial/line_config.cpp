// Line configuration shared by every open of a printer's COM port.
#include "serial.h"
#include "settings.h"

BOOL ConfigureLine(HANDLE handle, const DCB& settings, LPCTSTR iniDeviceName, DWORD* blockSize) {
    SetEndOfFile(handle);

    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handle, &dcb)) return FALSE;

    dcb.BaudRate = settings.BaudRate;
    dcb.ByteSize = settings.ByteSize;
    dcb.Parity = settings.Parity;
    dcb.StopBits = settings.StopBits;
    // The driver does no flow control: the printer's XOFF is obeyed in software.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;

    if (blockSize) *blockSize = GetBaudRate(settings.BaudRate);

    GetIniCommValues(iniDeviceName, &dcb);
    SetCommState(handle, &dcb);

    // Every field, none kept from the device: a driver keeps the time-outs of the last
    // program that opened the port, and a read multiplier left there would stretch each read
    // of the link by that much per byte asked for, past the total the protocol counts on.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kReadIntervalTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = kReadTotalTimeoutMultiplierMs;
    timeouts.ReadTotalTimeoutConstant = kReadTotalTimeoutConstantMs;
    timeouts.WriteTotalTimeoutMultiplier = kWriteTotalTimeoutMultiplierMs;
    timeouts.WriteTotalTimeoutConstant = kWriteTotalTimeoutConstantMs;
    SetCommTimeouts(handle, &timeouts);
    // Whatever the printer sent while no one had the line open (the XOFF of a printer that
    // restarts after a settings switch, a late answer) is no answer to what this session
    // sends: a wake-up would take it for the printer's XON, a query reply would start with it.
    PurgeComm(handle, PURGE_RXCLEAR);
    return TRUE;
}
