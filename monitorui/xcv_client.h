// The user interface's side of the spooler's transceive channel: connections named
// "[server\],XcvMonitor <monitor>" or "[server\],XcvPort <port>", and the commands sent on
// them with XcvDataW.
#pragma once

#include <windows.h>

extern const WCHAR kMonitorName[];  // "Vesk Port Monitor"

// The transceive name, in an exactly sized zero-filled global allocation (the caller frees
// it), or null when it cannot be allocated. `kind` is L"XcvMonitor" or L"XcvPort".
LPWSTR BuildXcvName(LPCWSTR server, LPCWSTR kind, LPCWSTR object);

class XcvClient {
public:
    XcvClient() = default;
    ~XcvClient() { Close(); }
    XcvClient(const XcvClient&) = delete;
    XcvClient& operator=(const XcvClient&) = delete;

    // Opens the connection with SERVER_ACCESS_ADMINISTER; false with the spooler's error.
    bool Open(LPCWSTR server, LPCWSTR kind, LPCWSTR object);
    void Close();
    HANDLE handle() const { return h_; }

    // One command. False when the call itself failed; `status` receives the command's
    // result and `needed` (may be null) the size it reported.
    bool Data(LPCWSTR command, const void* in, DWORD inSize, void* out, DWORD outSize,
              DWORD* status, DWORD* needed = nullptr) const;
    // A command whose input is the wide string `text` with its terminator and that has no
    // output.
    bool Text(LPCWSTR command, LPCWSTR text, DWORD* status) const;

private:
    HANDLE h_ = nullptr;
};

// The same calls on a bare connection handle (as the dialogs keep it).
bool XcvData(HANDLE xcv, LPCWSTR command, const void* in, DWORD inSize, void* out, DWORD outSize,
             DWORD* status, DWORD* needed = nullptr);
