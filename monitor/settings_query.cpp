// The settings query and the comparison of the printer's reply with the PC's settings.
#include "../common/text.h"
#include "line_ops.h"
#include "printer_link.h"

DWORD QuerySettingsReply(HANDLE handle, BYTE (&reply)[kSettingsReplyBytes]) {
    Line().purge(handle, PURGE_RXCLEAR);
    static const BYTE kQuery[] = {kCan, 0x1D, 0x49, 0x04};
    DWORD written = 0;
    Line().write(handle, kQuery, sizeof kQuery, &written, nullptr);
    if (written != sizeof kQuery) return 0;
    DWORD got = 0;
    Line().read(handle, reply, kSettingsReplyBytes, &got);
    return got > kSettingsReplyBytes ? kSettingsReplyBytes : got;
}

BOOL SetPrinterSettings(HANDLE handle, DCB dcb) {
    BYTE reply[kSettingsReplyBytes];
    DWORD got = QuerySettingsReply(handle, reply);
    if (got == 0) return FALSE;
    WCHAR text[kSettingsReplyBytes + 1];
    for (DWORD i = 0; i < got; ++i) text[i] = reply[i];
    text[got] = 0;
    return IsDCB(&dcb, text);
}
