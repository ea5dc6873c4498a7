// The serial device layer: moving bytes through an overlapped COM device, configuring the
// line for the printer link, the wake-up block size, and the private NONSPOOLED_ DOS names
// that reach the serial driver past the spooler's redirection of COMn.
//
// Written once with TCHAR: the monitor builds it wide (UNICODE), setup single-byte.
#pragma once

#include <windows.h>
#include <tchar.h>

// Line time-outs set at every open, all five. The read total time-out is what bounds every
// read of the printer link, whatever its length (no per-byte part); the interval ends a
// reply soon after its last byte.
inline constexpr DWORD kReadIntervalTimeoutMs = 200;
inline constexpr DWORD kReadTotalTimeoutMultiplierMs = 0;
inline constexpr DWORD kReadTotalTimeoutConstantMs = 5000;
inline constexpr DWORD kWriteTotalTimeoutMultiplierMs = 0;
inline constexpr DWORD kWriteTotalTimeoutConstantMs = 3000;

// Buffers for DOS names and device paths.
inline constexpr DWORD kDosNameChars = 260;

// One overlapped write (or read) that waits for completion. `*done` receives the bytes
// moved. A read ended by the line's time-outs is a short read, not a failure, also when the
// platform reports the expiry as ERROR_TIMEOUT.
// `event` (a manual-reset event of the caller's, or null) signals the completion; a caller
// that writes often passes its own rather than have one made for every call.
BOOL WriteBuffer(HANDLE handle, const void* data, DWORD count, DWORD* written,
                 HANDLE event = nullptr);
BOOL ReadBuffer(HANDLE handle, void* buffer, DWORD count, DWORD* read);
// ReadBuffer that also ends when `stop` (an event) is set: then the read is cancelled and
// the result is FALSE with ERROR_OPERATION_ABORTED (bytes read so far are still counted).
// A reader thread uses it so that its owner can end it at once instead of waiting out the
// line's time-outs.
BOOL ReadBufferOrStop(HANDLE handle, void* buffer, DWORD count, DWORD* read, HANDLE stop);

// The rates the printer link knows; any other rate is taken as 9600.
DWORD ListedBaudRate(DWORD baudRate);

// Bytes the line carries in 50 ms at `baudRate` (unlisted rates count as 9600).
DWORD GetBaudRate(DWORD baudRate);

// Puts a freshly opened device into the state the printer link needs: the settings' baud
// rate, byte size, parity and stop bits, DTR on, no flow control in the driver, all five line
// time-outs (none left as the device had them), and the profile's "ports" entry for
// `iniDeviceName` if there is one; bytes that arrived before are discarded.
// `blockSize` (may be null) receives the wake-up block size. Returns FALSE only when the
// device's state cannot be read (GetCommState failed); nothing is changed then.
BOOL ConfigureLine(HANDLE handle, const DCB& settings, LPCTSTR iniDeviceName, DWORD* blockSize);

// The names around a COM port (a trailing colon of comName is ignored):
//   NONSPOOLED_COM1, \\.\NONSPOOLED_COM1 and \Device\NamedPipe\Spooler\COM1.
// Each returns 0, or ERROR_BUFFER_OVERFLOW when the name does not fit.
DWORD BuildNonspooledName(LPCTSTR comName, LPTSTR out, DWORD outChars);
DWORD BuildNonspooledPath(LPCTSTR comName, LPTSTR out, DWORD outChars);
DWORD BuildSpoolerPipeName(LPCTSTR comName, LPTSTR out, DWORD outChars);

// First target of a QueryDosDevice list (terminated names, ended by an empty one) that is
// not `exclude` (compared without regard to case). Never reads past listChars characters.
// Null when there is none.
LPCTSTR ChooseDosTarget(LPCTSTR list, DWORD listChars, LPCTSTR exclude);

// How the private DOS name is set up and opened.
struct NonspooledOpenOptions {
    DWORD targetListChars = 520;     // buffer for QueryDosDevice
    bool overlapped = true;          // FILE_FLAG_OVERLAPPED, else blocking I/O
    DWORD extraFlags = 0;            // further CreateFile flags
    // Optional switch into the host's own security context around the definition of the
    // DOS name (inside the spooler); `restore` receives what `revert` returned.
    HANDLE (*revert)() = nullptr;
    void (*restore)(HANDLE token) = nullptr;
};

// Defines NONSPOOLED_<comName> to the serial device behind comName (past the spooler's
// pipe) and opens \\.\NONSPOOLED_<comName>. INVALID_HANDLE_VALUE on failure, with the last
// error set; a failed open removes the definition again, a successful one leaves it.
HANDLE OpenNonspooledDevice(LPCTSTR comName, const NonspooledOpenOptions& options);

// Removes the most recent definition of NONSPOOLED_<comName>.
BOOL RemoveNonspooledDefinition(LPCTSTR comName);
