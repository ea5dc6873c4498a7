#include "serial_open.h"

#include "../common/text.h"
#include "../common/win_raii.h"
#include "monitor_state.h"
#include "port_dialogs.h"
#include "prompt.h"
#include "spooler_services.h"

namespace {

HANDLE RevertToSpooler() {
    auto revert = Spooler().RevertToPrinterSelf;
    return revert ? revert() : nullptr;
}

void RestoreClient(HANDLE token) {
    auto impersonate = Spooler().ImpersonatePrinterClient;
    if (impersonate && token) impersonate(token);
}

// Marks the entry's device open unless another entry of the list has it open for a job
// (ERROR_BUSY; Wine lets a second handle open a COM port that another holds, Windows does
// not), or the monitor has been shut down under the entry (ERROR_INVALID_HANDLE: it is in
// no list any more, and its job ended with the monitor). 0 when claimed.
DWORD ClaimDevice(PortEntry* entry) {
    vesk::CriticalSectionLock lock(SpoolerSection);
    if (entry->Status & PORT_FLAG_SHUT_DOWN) return ERROR_INVALID_HANDLE;
    for (PortEntry* e = entry->pList ? entry->pList->pFirst : nullptr; e; e = e->pNext)
        if (e != entry && (e->Status & PORT_FLAG_OPEN)) return ERROR_BUSY;
    entry->Status |= PORT_FLAG_OPEN;
    return 0;
}

DeviceCreateFunction g_createDevice = CreateFileW;

}  // namespace

void ReplaceJobDeviceCreate(DeviceCreateFunction create) {
    g_createDevice = create ? create : CreateFileW;
}

void ReportDeviceOpenFailure(DWORD error) {
    LPWSTR text = GetErrorMessage(error);
    WCHAR number[32];
    if (!text) wsprintfW(number, L"Error %lu", error);
    TellUser(text ? text : number, L"ValidateDosDevicePort");
    if (text) GlobalFree(text);
    SetLastError(error);
}

BOOL ValidateDosDevicePort(PortEntry* entry, DWORD* blockSize) {
    VeskPortSettings settings{};
    DWORD needed = 0;
    DWORD err = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&settings),
                                    sizeof(settings), &needed);
    if (err) {
        if (settings.pConfig) LocalFree(settings.pConfig);
        SetLastError(err);
        return FALSE;
    }

    BOOL result = FALSE;
    if (DWORD refused = ClaimDevice(entry)) {
        // All VESK ports share the one COM port, and another port's job holds it: this job
        // waits its turn. That is no trouble of this port's to tell anyone about, and
        // neither is a port whose monitor has gone.
        SetLastError(refused);
    } else {
        // The platform resolves a plain COM name as a device only for COM1..COM9; from COM10
        // the plain name is a file name, so the device namespace form is used for every port.
        // The profile's "ports" entry is still looked up by the plain name.
        WCHAR device[4 + ARRAYSIZE(settings.ComName)];
        vesk::ConcatBounded<WCHAR>(device, ARRAYSIZE(device), {L"\\\\.\\", settings.ComName});
        HANDLE handle = g_createDevice(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL,
                                       nullptr);
        bool opened = handle != INVALID_HANDLE_VALUE;
        if (opened) result = ConfigureLine(handle, settings.pConfig->dcb, settings.ComName, blockSize);
        DWORD openError = GetLastError();
        // The entry gets the device only configured, and only while its claim stands: a close
        // or Shutdown on another thread meanwhile took the claim back and found no device to
        // close, so this one is ours to close. The claim goes before anything is shown: the
        // other ports' jobs and DeletePort must not wait for the user to read the notice.
        VeskEnterSplSem();
        bool shutDown = (entry->Status & PORT_FLAG_SHUT_DOWN) != 0;
        bool claimed = (entry->Status & PORT_FLAG_OPEN) && !shutDown;
        if (result && claimed)
            entry->hFile = handle;
        else
            entry->Status &= ~PORT_FLAG_OPEN;
        VeskLeaveSplSem();
        if (result && !claimed) {
            result = FALSE;
            openError = shutDown ? ERROR_INVALID_HANDLE : ERROR_OPERATION_ABORTED;
        }
        if (!result) {
            if (opened) CloseHandle(handle);
            if (!opened) ReportDeviceOpenFailure(openError);
            SetLastError(openError);
        }
    }
    err = GetLastError();
    LocalFree(settings.pConfig);
    SetLastError(err);
    return result;
}

HANDLE OpenVeskPort(const VeskPortSettings* settings, DWORD* blockSize) {
    if (!settings || !settings->pConfig) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    NonspooledOpenOptions how;
    how.targetListChars = 520;
    how.overlapped = true;
    how.revert = RevertToSpooler;
    how.restore = RestoreClient;
    HANDLE h = OpenNonspooledDevice(settings->ComName, how);
    if (h != INVALID_HANDLE_VALUE)
        ConfigureLine(h, settings->pConfig->dcb, settings->ComName, blockSize);
    return h;
}

BOOL RemoveVeskDosDeviceDefinition(const VeskPortSettings* settings) {
    return settings && RemoveNonspooledDefinition(settings->ComName);
}
