// fontcheck: tells which font Windows (or Wine) gives a dialog that names a face, at the
// size the dialogs use, and the dialog base width that font yields.
//   fontcheck FACE...     prints one line per face: FACE=RESOLVED FACE,WIDTHxHEIGHT
// (the dialog base units: average letter width and character height)
// The test lanes use it to prove that every face the dialog templates name resolves to the
// font they set for it, since a dialog's size in pixels follows its font.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kDialogPointSize = 8;

// The average width of the Latin letters, rounded as the dialog manager rounds it.
int BaseWidth(HDC dc) {
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    GetTextExtentPoint32W(dc, kLetters, 52, &size);
    return (size.cx / 26 + 1) / 2;
}

// The family of the font actually selected: GetTextFace gives back the requested name of a
// substituted face, the font's own metrics the name of the font behind it.
std::wstring FamilyName(HDC dc) {
    UINT size = GetOutlineTextMetricsW(dc, 0, nullptr);
    if (size < sizeof(OUTLINETEXTMETRICW)) return L"?";
    std::vector<BYTE> buffer(size);
    auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (!GetOutlineTextMetricsW(dc, size, metrics)) return L"?";
    return reinterpret_cast<const wchar_t*>(buffer.data() +
                                            reinterpret_cast<size_t>(metrics->otmpFamilyName));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HDC dc = GetDC(nullptr);
    if (!dc) return 1;
    int height = -MulDiv(kDialogPointSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
    int status = argc > 1 ? 0 : 2;
    for (int i = 1; i < argc; ++i) {
        HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, argv[i]);
        if (!font) {
            status = 1;
            continue;
        }
        HGDIOBJ previous = SelectObject(dc, font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        std::printf("%ls=%ls,%dx%ld\n", argv[i], FamilyName(dc).c_str(), BaseWidth(dc),
                    static_cast<long>(metrics.tmHeight));
        SelectObject(dc, previous);
        DeleteObject(font);
    }
    ReleaseDC(nullptr, dc);
    return status;
}
