#include "xcv_route.h"

#include "../common/text.h"
#include "../common/win_raii.h"
#include "../common/xcv_record.h"
#include "../serial/serial.h"
#include "../serial/settings.h"
#include "line_ops.h"
#include "monitor_state.h"
#include "port_commands.h"
#include "port_names.h"
#include "printer_link.h"
#include "spl_mem.h"

namespace {

constexpr DWORD kConnectionSignature = 0x43564358;  // "XCVC"

struct Token {
    DWORD value;    // what the client sees; 0 when the slot is free
    HANDLE device;  // the open COM device behind it
};

struct XcvConnection {
    DWORD Signature;
    ACCESS_MASK Access;
    LPWSTR pObject;  // the port (or monitor) the connection was opened on
    Token Tokens[kXcvTokensPerConnection];
    XcvConnection* pNext;
    LONG InFlight;  // commands running on the connection
    bool Closed;    // XcvClosePort has taken it out of the list
};

// The live connections and their tokens, guarded by XcvSection.
XcvConnection* g_connections = nullptr;
DWORD g_nextToken = 0;

XcvConnection* Live(HANDLE h) {
    for (XcvConnection* c = g_connections; c; c = c->pNext)
        if (c == h && c->Signature == kConnectionSignature) return c;
    return nullptr;
}

// Hands out a token for `device` on `c`. Fails when the connection holds too many, or has
// been closed while the command ran (its client can no longer give a token back).
DWORD IssueToken(XcvConnection* c, HANDLE device, DWORD* value) {
    vesk::CriticalSectionLock lock(XcvSection);
    if (c->Closed) return ERROR_INVALID_HANDLE;
    for (Token& t : c->Tokens) {
        if (t.value) continue;
        do g_nextToken = g_nextToken * 1103515245u + 12345u + GetTickCount();
        while (g_nextToken == 0 || g_nextToken == kXcvNoDevice);
        t = {g_nextToken, device};
        *value = t.value;
        return 0;
    }
    return ERROR_NO_SYSTEM_RESOURCES;
}

// Takes back the device of a token this connection issued; null for any other value.
HANDLE RedeemToken(XcvConnection* c, DWORD value) {
    vesk::CriticalSectionLock lock(XcvSection);
    if (value == 0 || value == kXcvNoDevice) return nullptr;
    for (Token& t : c->Tokens)
        if (t.value == value) {
            HANDLE device = t.device;
            t = {};
            return device;
        }
    return nullptr;
}

using Runner = DWORD (*)(XcvConnection* c, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize,
                         PDWORD needed);

bool IsComName(LPCWSTR name) {
    return name && vesk::EqualPrefixNoCase(name, L"COM", 3);
}

// A wire record as the in-process record; false when the record is short or its COM name
// is not terminated inside its field.
bool FromWire(PBYTE in, DWORD inSize, VeskPortSettings& record, COMMCONFIG& config) {
    if (!in || inSize < kXcvRecordSize) return false;
    XcvPortSettings wire;
    CopyMemory(&wire, in, kXcvRecordSize);
    bool terminated = false;
    for (WCHAR ch : wire.ComName) terminated = terminated || ch == 0;
    if (!terminated) return false;
    CopyMemory(record.ComName, wire.ComName, sizeof record.ComName);
    record.hComm = INVALID_HANDLE_VALUE;
    record.hwndOwner = static_cast<HWND>(LongToHandle(static_cast<LONG>(wire.hwndOwner)));
    config = wire.Config;
    config.dwSize = sizeof(COMMCONFIG);
    config.dcb.DCBlength = sizeof(DCB);
    record.pConfig = &config;
    return true;
}

template <CommandHandler handler>
DWORD Direct(XcvConnection*, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed) {
    return handler(in, inSize, out, outSize, needed);
}

DWORD GetSettings(XcvConnection*, PBYTE, DWORD, PBYTE out, DWORD outSize, PDWORD needed) {
    *needed = kXcvRecordSize;
    if (!out || outSize < kXcvRecordSize) return ERROR_INSUFFICIENT_BUFFER;
    VeskPortSettings record{};
    DWORD configSize = 0;
    DWORD err = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&record), sizeof record,
                                    &configSize);
    if (err == 0) {
        XcvPortSettings wire{};
        CopyMemory(wire.ComName, record.ComName, sizeof wire.ComName);
        wire.hComm = kXcvNoDevice;
        CopyMemory(&wire.Config, record.pConfig, sizeof wire.Config);
        wire.Config.dwSize = sizeof wire.Config;
        CopyMemory(out, &wire, kXcvRecordSize);
    }
    if (record.pConfig) LocalFree(record.pConfig);
    return err;
}

DWORD ComPorts(XcvConnection*, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD needed) {
    if (!in || inSize < 1) return ERROR_INVALID_PARAMETER;
    return GetVeskPortComPorts(in, inSize, out, outSize, needed);
}

DWORD SetPrintSettings(XcvConnection* c, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize,
                       PDWORD needed) {
    VeskPortSettings record{};
    COMMCONFIG config{};
    if (!FromWire(in, inSize, record, config)) return ERROR_INVALID_PARAMETER;
    *needed = sizeof(DWORD);
    if (!out || outSize < sizeof(DWORD)) return ERROR_INSUFFICIENT_BUFFER;
    LONG handle = HandleToLong(INVALID_HANDLE_VALUE);
    DWORD result = SetVeskPrintSettings(reinterpret_cast<PBYTE>(&record), sizeof record,
                                        reinterpret_cast<PBYTE>(&handle), sizeof handle, needed);
    *needed = sizeof(DWORD);
    DWORD token = kXcvNoDevice;
    if (result == 0) {
        HANDLE device = LongToHandle(handle);
        result = IssueToken(c, device, &token);
        if (result) {
            Line().close(device);
            token = kXcvNoDevice;
        }
    }
    CopyMemory(out, &token, sizeof token);
    return result;
}

DWORD SetPortSettings(XcvConnection* c, PBYTE in, DWORD inSize, PBYTE, DWORD, PDWORD) {
    VeskPortSettings record{};
    COMMCONFIG config{};
    if (!FromWire(in, inSize, record, config)) return ERROR_INVALID_PARAMETER;
    DWORD value = reinterpret_cast<XcvPortSettings*>(in)->hComm;
    HANDLE device = RedeemToken(c, value);
    // Only a device this connection was given may come back: a client never makes the
    // spooler write to, or close, a handle of its choice.
    if (!device) return ERROR_INVALID_HANDLE;
    record.hComm = device;
    return SetVeskPortSettings(reinterpret_cast<PBYTE>(&record), sizeof record, nullptr, 0, nullptr);
}

DWORD MonitorUi(XcvConnection*, PBYTE, DWORD, PBYTE out, DWORD outSize, PDWORD needed) {
    static const WCHAR kUi[] = L"veskmonui.dll";
    *needed = sizeof kUi;
    if (!out || outSize < sizeof kUi) return ERROR_INSUFFICIENT_BUFFER;
    CopyMemory(out, kUi, sizeof kUi);
    return 0;
}

DWORD GetDefaultConfig(XcvConnection*, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize,
                       PDWORD needed) {
    auto* name = reinterpret_cast<LPCWSTR>(in);
    bool terminated = false;
    for (DWORD i = 0; in && i < inSize / sizeof(WCHAR) && !terminated; ++i) terminated = name[i] == 0;
    if (!terminated) return ERROR_INVALID_PARAMETER;
    // The platform opens the name as a device under the spooler's token: a COM port's own
    // name only, never a path that leads to another machine, a pipe or another device.
    if (!IsComPortName(name))
        return IsComName(name) || !IsLocalFileName(name) ? ERROR_INVALID_NAME
                                                         : ERROR_INVALID_PARAMETER;

    COMMCONFIG probe{};
    probe.dwSize = sizeof probe;
    DWORD size = sizeof probe;
    BOOL ok = GetDefaultCommConfigW(name, &probe, &size);
    if (!ok && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        DWORD err = GetLastError();
        return err ? err : ERROR_INVALID_PARAMETER;
    }
    // A size the platform gives outside sensible bounds is not believed.
    if (size < sizeof(COMMCONFIG) || size > kMaxCommConfigSize) size = sizeof(COMMCONFIG);
    *needed = size;
    if (!out || outSize < size) return ERROR_INSUFFICIENT_BUFFER;
    if (ok && size == sizeof probe) {
        CopyMemory(out, &probe, size);
        return 0;
    }
    vesk::GlobalBlock config(size);
    if (!config) return ERROR_NOT_ENOUGH_MEMORY;
    config.get<COMMCONFIG>()->dwSize = size;
    DWORD asked = size;
    if (!GetDefaultCommConfigW(name, config.get<COMMCONFIG>(), &asked) || asked > size) {
        DWORD err = GetLastError();
        return err ? err : ERROR_INVALID_PARAMETER;
    }
    CopyMemory(out, config.get(), size);
    return 0;
}

DWORD SetDefaultConfig(XcvConnection* c, PBYTE in, DWORD inSize, PBYTE, DWORD, PDWORD) {
    if (!in || inSize < sizeof(COMMCONFIG)) return ERROR_INVALID_PARAMETER;
    DWORD size = reinterpret_cast<const COMMCONFIG*>(in)->dwSize;
    if (size < sizeof(COMMCONFIG) || size > inSize) return ERROR_INVALID_PARAMETER;
    // The port is the one the connection was opened on, without its colon.
    WCHAR name[kDosNameChars];
    if (!c->pObject || !vesk::CopyBounded(name, kDosNameChars, c->pObject) || !IsComName(name))
        return ERROR_INVALID_PARAMETER;
    if (!IsComPortName(name)) return ERROR_INVALID_NAME;
    vesk::RemoveTrailingColon(name);
    vesk::GlobalBlock copy(size);
    if (!copy) return ERROR_NOT_ENOUGH_MEMORY;
    CopyMemory(copy.get(), in, size);
    if (SetDefaultCommConfigW(name, copy.get<COMMCONFIG>(), size)) return 0;
    DWORD err = GetLastError();
    return err ? err : ERROR_INVALID_PARAMETER;
}

void FreeConnection(XcvConnection* c) {
    c->Signature = 0;
    if (c->pObject) GlobalFree(c->pObject);
    GlobalFree(c);
}

// Ends one command on `c`; the connection goes with the last command once it is closed.
void EndCommand(XcvConnection* c) {
    bool last;
    {
        vesk::CriticalSectionLock lock(XcvSection);
        last = --c->InFlight == 0 && c->Closed;
    }
    if (last) FreeConnection(c);
}

struct Command {
    LPCWSTR name;
    bool changesState;  // needs SERVER_ACCESS_ADMINISTER
    Runner run;
};

const Command kCommands[] = {
    {XCV_ADD_PORT, true, Direct<DoAddPort>},
    {XCV_DELETE_PORT, true, Direct<DoDeletePort>},
    // It creates (and removes) a file as the spooler, as adding a port does.
    {XCV_PORT_IS_VALID, true, Direct<DoPortIsValid>},
    {XCV_GET_SETTINGS, false, GetSettings},
    {XCV_GET_COM_PORTS, false, ComPorts},
    {XCV_SET_PRINT_SETTINGS, true, SetPrintSettings},
    {XCV_SET_PORT_SETTINGS, true, SetPortSettings},
    {XCV_MONITOR_UI, false, MonitorUi},
    {XCV_GET_DEFAULT_COMM_CONFIG, false, GetDefaultConfig},
    {XCV_SET_DEFAULT_COMM_CONFIG, true, SetDefaultConfig},
};

}  // namespace

BOOL WINAPI XcvOpenPort(HANDLE, LPCWSTR object, ACCESS_MASK grantedAccess, PHANDLE xcv) {
    if (!xcv) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* c = static_cast<XcvConnection*>(AllocSplMem(sizeof(XcvConnection)));
    if (!c) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    c->Signature = kConnectionSignature;
    c->Access = grantedAccess;
    c->pObject = object ? AllocSplStr(object) : nullptr;
    {
        vesk::CriticalSectionLock lock(XcvSection);
        c->pNext = g_connections;
        g_connections = c;
    }
    *xcv = c;
    return TRUE;
}

DWORD WINAPI XcvDataPort(HANDLE xcv, LPCWSTR command, PBYTE in, DWORD inSize, PBYTE out,
                         DWORD outSize, PDWORD needed) {
    XcvConnection* c;
    {
        vesk::CriticalSectionLock lock(XcvSection);
        c = Live(xcv);
        // A close on another thread meanwhile leaves the connection to this command.
        if (c) ++c->InFlight;
    }
    if (!c) return ERROR_INVALID_HANDLE;
    DWORD result = ERROR_INVALID_PARAMETER;
    DWORD ignored = 0;
    if (!needed) needed = &ignored;
    *needed = 0;
    if (!in) inSize = 0;
    if (!out) outSize = 0;
    for (const Command& cmd : kCommands) {
        if (!command || lstrcmpW(cmd.name, command) != 0) continue;
        if (cmd.changesState && !(c->Access & SERVER_ACCESS_ADMINISTER))
            result = ERROR_ACCESS_DENIED;
        else
            result = cmd.run(c, in, inSize, out, outSize, needed);
        break;
    }
    EndCommand(c);
    return result;
}

BOOL WINAPI XcvClosePort(HANDLE xcv) {
    XcvConnection* c = nullptr;
    HANDLE devices[kXcvTokensPerConnection] = {};
    bool free = false;
    {
        vesk::CriticalSectionLock lock(XcvSection);
        for (XcvConnection** link = &g_connections; *link; link = &(*link)->pNext)
            if (*link == xcv && (*link)->Signature == kConnectionSignature) {
                c = *link;
                *link = c->pNext;
                break;
            }
        if (c) {
            // Devices the client never gave back are closed with its connection; a command
            // still running can no longer issue or redeem one.
            c->Closed = true;
            for (int i = 0; i < kXcvTokensPerConnection; ++i) {
                if (c->Tokens[i].value) devices[i] = c->Tokens[i].device;
                c->Tokens[i] = {};
            }
            free = c->InFlight == 0;
        }
    }
    if (!c) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (HANDLE device : devices)
        if (device) Line().close(device);
    if (free) FreeConnection(c);
    return TRUE;
}

void FreeXcvConnections() {
    XcvConnection* list;
    {
        vesk::CriticalSectionLock lock(XcvSection);
        list = g_connections;
        g_connections = nullptr;
    }
    // No command can be running: the library is being unloaded.
    while (XcvConnection* c = list) {
        list = c->pNext;
        for (Token& t : c->Tokens)
            if (t.value) Line().close(t.device);
        FreeConnection(c);
    }
}
