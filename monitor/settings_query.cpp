// The settings query and the comparison of the printer's reply with the PC's settings.
#include "../common/text.h"
#include "line_ops.h"
#include "printer_link.h"

BOOL IsDCB(const DCB* dcb, LPCWSTR reply) {
    if (!dcb || !reply) return FALSE;
    while (*reply == L' ') ++reply;
    DWORD length = vesk::Length(reply);
    if (length <= 1) return FALSE;  // nothing but the end character
    --length;                       // the printer's end character

    WCHAR expected[kSettingsTextChars];
    BuildCommDCBString(dcb, expected);
    // A reply that starts the expected text is enough; one that runs past it is not.
    if (length > vesk::Length(expected)) return FALSE;
    return vesk::EqualPrefixNoCase(reply, expected, length);
}

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
