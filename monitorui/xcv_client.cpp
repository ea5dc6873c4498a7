#include "xcv_client.h"

#include <winspool.h>

#include "../common/text.h"

const WCHAR kMonitorName[] = L"Vesk Port Monitor";

LPWSTR BuildXcvName(LPCWSTR server, LPCWSTR kind, LPCWSTR object) {
    DWORD chars = (server ? vesk::Length(server) + 1 : 0) + 1 + vesk::Length(kind) + 1 +
                  vesk::Length(object) + 1;
    auto* name = static_cast<LPWSTR>(GlobalAlloc(GPTR, chars * sizeof(WCHAR)));
    if (!name) return nullptr;
    vesk::BoundedAppender<WCHAR> out(name, chars);
    if (server) {
        out.append(server);
        out.append(L"\\");
    }
    out.append(L",");
    out.append(kind);
    out.append(L" ");
    out.append(object);
    return name;
}

bool XcvClient::Open(LPCWSTR server, LPCWSTR kind, LPCWSTR object) {
    Close();
    LPWSTR name = BuildXcvName(server, kind, object);
    if (!name) return false;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    BOOL ok = OpenPrinterW(name, &h_, &defaults);
    DWORD err = GetLastError();
    GlobalFree(name);
    if (!ok) {
        h_ = nullptr;
        SetLastError(err);
    }
    return ok != FALSE;
}

void XcvClient::Close() {
    if (h_) ClosePrinter(h_);
    h_ = nullptr;
}

bool XcvData(HANDLE xcv, LPCWSTR command, const void* in, DWORD inSize, void* out, DWORD outSize,
             DWORD* status, DWORD* needed) {
    DWORD localNeeded = 0, localStatus = 0;
    BOOL ok = XcvDataW(xcv, command, static_cast<PBYTE>(const_cast<void*>(in)), inSize,
                       static_cast<PBYTE>(out), outSize, needed ? needed : &localNeeded,
                       status ? status : &localStatus);
    return ok != FALSE;
}

bool XcvClient::Data(LPCWSTR command, const void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* status, DWORD* needed) const {
    return XcvData(h_, command, in, inSize, out, outSize, status, needed);
}

bool XcvClient::Text(LPCWSTR command, LPCWSTR text, DWORD* status) const {
    return Data(command, text, (vesk::Length(text) + 1) * sizeof(WCHAR), nullptr, 0, status);
}
