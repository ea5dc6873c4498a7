// Reaching the printer at given settings, and telling it new ones.
#include "../common/text.h"
#include "line_ops.h"
#include "printer_link.h"
#include "prompt.h"

namespace {

const BYTE kStatusCommand[] = {0x1D, 0x49, 0x0F};
const BYTE kSwitchCommand[] = {0x1B, 0x58, 0x0B, 0x00, 0x00};
constexpr DWORD kStatusReplyBytes = 30;

const VeskPortSettings* Record(PBYTE in, DWORD inSize) {
    auto* r = reinterpret_cast<const VeskPortSettings*>(in);
    if (!r || inSize < kVeskPortSettingsSize || !r->pConfig) return nullptr;
    return r;
}

void CloseIfOpen(HANDLE& h) {
    if (h != INVALID_HANDLE_VALUE && h) Line().close(h);
    h = INVALID_HANDLE_VALUE;
}

}  // namespace

DWORD SetVeskPrintSettings(PBYTE settings, DWORD inSize, PBYTE handleOut, DWORD outSize,
                           PDWORD needed) {
    const VeskPortSettings* record = Record(settings, inSize);
    if (!record) return ERROR_INVALID_PARAMETER;
    if (needed) *needed = sizeof(LONG);
    if (!handleOut || outSize < sizeof(LONG)) return ERROR_INSUFFICIENT_BUFFER;

    DWORD blockSize = 0;
    HANDLE h = Line().openForSettings(record, &blockSize);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        return err ? err : ERROR_OPEN_FAILED;
    }
    bool taken = false;
    Wakeup(h, blockSize, &taken);
    *reinterpret_cast<LONG*>(handleOut) = HandleToLong(INVALID_HANDLE_VALUE);
    if (taken) return ERROR_OPERATION_ABORTED;  // the device went with the wake-up's reader
    if (SetPrinterSettings(h, record->pConfig->dcb)) {
        *reinterpret_cast<LONG*>(handleOut) = HandleToLong(h);
        return 0;
    }
    Line().close(h);
    return 1;
}

DWORD SetVeskPortSettings(PBYTE settings, DWORD inSize, PBYTE, DWORD, PDWORD) {
    const VeskPortSettings* record = Record(settings, inSize);
    if (!record) return ERROR_INVALID_PARAMETER;
    HANDLE hComm = record->hComm;
    if (hComm == INVALID_HANDLE_VALUE || !hComm) return 1;

    const DCB& dcb = record->pConfig->dcb;
    WCHAR text[kSettingsTextChars];
    BuildCommDCBString(&dcb, text);
    WCHAR stored[kStoredSettingsChars];
    vesk::ConcatBounded<WCHAR>(stored, kStoredSettingsChars, {record->ComName, L":,", text});

    BYTE command[3 + kSettingsTextChars];
    DWORD commandBytes = 3;
    command[0] = 0x1B;
    command[1] = 0x58;
    command[2] = 0x04;
    for (DWORD i = 0; text[i]; ++i) command[commandBytes++] = static_cast<BYTE>(text[i]);

    bool matched = false;
    for (int attempt = 0; !matched; ++attempt) {
        DWORD written = 0;
        Line().write(hComm, command, commandBytes, &written, nullptr);
        written = 0;
        Line().write(hComm, kStatusCommand, sizeof kStatusCommand, &written, nullptr);
        if (written == sizeof kStatusCommand) {
            BYTE reply[kStatusReplyBytes];
            DWORD got = 0;
            Line().read(hComm, reply, kStatusReplyBytes, &got);
            if (got > 0) {
                if (got >= 3 && (reply[2] & 1) &&
                    AskUser(record->hwndOwner,
                            L"Please remove power or charger from the printer and allow it to "
                            L"switch off. Then re-apply the power and press OK. To cancel the "
                            L"baud rate change press Cancel.",
                            L"Veks Port Monitor", MB_OKCANCEL) != IDOK)
                    break;
                written = 0;
                Line().write(hComm, kSwitchCommand, sizeof kSwitchCommand, &written, nullptr);
                if (written < sizeof kSwitchCommand) break;
                Sleep(kSwitchSettleMs);
                CloseIfOpen(hComm);
                DWORD blockSize = 0;
                hComm = Line().openForSettings(record, &blockSize);
                if (hComm == INVALID_HANDLE_VALUE) break;
                bool taken = false;
                Wakeup(hComm, blockSize, &taken);
                if (taken) {
                    hComm = INVALID_HANDLE_VALUE;  // the wake-up's reader closes it
                    break;
                }
                if (!DsrOn(hComm)) Line().waitForDsr(hComm, kDsrWaitLimitMs);
                matched = SetPrinterSettings(hComm, dcb) != FALSE;
                if (matched) break;
            }
        }
        if (attempt + 1 >= kSettingsChangeAttempts) break;
    }

    DWORD result = 1;
    if (matched && WriteProfileStringW(VESK_PORTS_SECTION, VESK_SETTINGS_KEY, stored)) result = 0;
    CloseIfOpen(hComm);
    return result;
}
