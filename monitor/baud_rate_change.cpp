// The baud-rate change as the user sees it: the "&Configure COM" button of the monitor's
// port dialog. The user picks new line settings; the printer is reached at the stored ones
// (or at the ones the user says it has), told the new ones, and they are stored; a change
// that does not happen is reported with the system's text.
#include "../common/win_raii.h"
#include "../common/xcv_record.h"
#include "port_dialogs.h"
#include "printer_link.h"
#include "prompt.h"

namespace {

struct Record {
    Record() {
        DWORD needed = 0;
        error = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&settings), sizeof settings,
                                    &needed);
    }
    ~Record() {
        if (settings.pConfig) LocalFree(settings.pConfig);
    }
    PBYTE bytes() { return reinterpret_cast<PBYTE>(&settings); }
    DWORD error;
    VeskPortSettings settings{};
};

}  // namespace

void ChangeBaudRate(HWND dialog) {
    Record chosen;
    if (chosen.error) {
        LPWSTR text = GetErrorMessage(chosen.error);
        AskUser(dialog, text ? text : L"", L"", MB_OK);
        if (text) GlobalFree(text);
        return;
    }
    if (!ChooseSettings(chosen.settings.ComName, dialog, chosen.settings.pConfig)) return;

    Record present;  // the settings at which the printer is believed to listen
    if (present.error) return;
    HANDLE device = INVALID_HANDLE_VALUE;
    for (;;) {
        LONG handle = HandleToLong(INVALID_HANDLE_VALUE);
        DWORD needed = 0;
        if (SetVeskPrintSettings(present.bytes(), sizeof present.settings,
                                 reinterpret_cast<PBYTE>(&handle), sizeof handle, &needed) == 0) {
            device = LongToHandle(handle);
            break;
        }
        if (AskUser(dialog,
                    L"The printer settings are not the same with the PC serial port settings.\n"
                    L"Please click yes if you want to select the printer settings!",
                    L"Vesk Port Monitor", MB_YESNO) != IDYES ||
            !ChooseSettings(chosen.settings.ComName, dialog, present.settings.pConfig))
            return;
    }
    chosen.settings.hComm = device;
    chosen.settings.hwndOwner = dialog;
    // A change that did not happen is said so: the user would otherwise take the new
    // settings for the printer's, and the stored ones are still the old.
    DWORD result = SetVeskPortSettings(chosen.bytes(), sizeof chosen.settings, nullptr, 0, nullptr);
    if (result) ErrorMessage(dialog, result == kSettingsNotTaken ? kSettingsNotTakenError : result);
}
