// The settings query and the comparison of the printer's reply with the PC's settings.
#include "../common/text.h"
#include "line_ops.h"
#include "printer_link.h"

namespace {
// Longest reply the query reads.
constexpr DWORD kReplyBytes = 30;
}  // namespace

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

BOOL SetPrinterSettings(HANDLE handle, DCB dcb) {
    Line().purge(handle, PURGE_RXCLEAR);
    static const BYTE kQuery[] = {kCan, 0x1D, 0x49, 0x04};
    DWORD written = 0;
    Line().write(handle, kQuery, sizeof kQuery, &written);
    if (written != sizeof kQuery) return FALSE;

    BYTE reply[kReplyBytes];
    DWORD got = 0;
    Line().read(handle, reply, kReplyBytes, &got);
    if (got == 0) return FALSE;
    if (got > kReplyBytes) got = kReplyBytes;
    WCHAR text[kReplyBytes + 1];
    for (DWORD i = 0; i < got; ++i) text[i] = reply[i];
    text[got] = 0;
    return IsDCB(&dcb, text);
}
