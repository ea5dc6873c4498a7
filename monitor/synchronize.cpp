// Bringing the printer and the stored settings into line with the user's help, when the
// printer answers at other settings than the PC's.
#include "line_ops.h"
#include "printer_link.h"
#include "prompt.h"

BOOL SyncronizePrinter() {
    VeskPortSettings record{};
    DWORD needed = 0;
    DWORD err = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&record), sizeof record,
                                    &needed);
    if (err) {
        if (record.pConfig) LocalFree(record.pConfig);
        return FALSE;
    }

    HANDLE found = INVALID_HANDLE_VALUE;
    while (found == INVALID_HANDLE_VALUE) {
        if (AskUser(nullptr,
                    L"The printer settings are not the same with the PC serial port settings.\n"
                    L"Please click yes if you want to select the printer settings!",
                    L"Vesk Port Monitor", MB_YESNO) != IDYES ||
            !ChooseSettings(record.ComName, nullptr, record.pConfig))
            break;
        LONG handle = HandleToLong(INVALID_HANDLE_VALUE);
        if (SetVeskPrintSettings(reinterpret_cast<PBYTE>(&record), sizeof record,
                                 reinterpret_cast<PBYTE>(&handle), sizeof handle, &needed) == 0)
            found = LongToHandle(handle);
    }

    BOOL result = FALSE;
    if (found != INVALID_HANDLE_VALUE) {
        // The printer listens at the settings it answered with: set it to them again and
        // store them for the PC.
        record.hComm = found;
        record.hwndOwner = nullptr;
        result = SetVeskPortSettings(reinterpret_cast<PBYTE>(&record), sizeof record, nullptr, 0,
                                     nullptr) == 0;
    }
    LocalFree(record.pConfig);
    return result;
}
