#include "serial_open.h"

#include "prompt.h"
#include "spooler_services.h"

namespace {

// The system's text for an error code, for the device-open message.
void SystemMessage(DWORD code, WCHAR (&text)[512]) {
    text[0] = 0;
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 512, nullptr))
        wsprintfW(text, L"Error %lu", code);
}

HANDLE RevertToSpooler() {
    auto revert = Spooler().RevertToPrinterSelf;
    return revert ? revert() : nullptr;
}

void RestoreClient(HANDLE token) {
    auto impersonate = Spooler().ImpersonatePrinterClient;
    if (impersonate && token) impersonate(token);
}

}  // namespace

void ReportDeviceOpenFailure(DWORD error) {
    WCHAR text[512];
    SystemMessage(error, text);
    AskUser(nullptr, text, L"ValidateDosDevicePort", MB_OK);
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
    entry->hFile = CreateFileW(settings.ComName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    if (entry->hFile == INVALID_HANDLE_VALUE) {
        ReportDeviceOpenFailure(GetLastError());
    } else if (ConfigureLine(entry->hFile, settings.pConfig->dcb, settings.ComName, blockSize)) {
        VeskEnterSplSem();
        entry->Status |= PORT_FLAG_OPEN;
        VeskLeaveSplSem();
        result = TRUE;
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
