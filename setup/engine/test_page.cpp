#include "test_page.h"

#include "resource_module.h"
#include "install_choices.h"
#include "resource.h"

namespace {

// A bitmap's header with the two colours of a monochrome image, black first.
struct MonochromeInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
};

MonochromeInfo MonochromeHeader(LONG width, LONG height, WORD planes, WORD bitsPerPixel) {
    MonochromeInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = planes;
    info.header.biBitCount = bitsPerPixel;
    info.header.biCompression = BI_RGB;
    info.colours[0] = RGBQUAD{0, 0, 0, 0};
    info.colours[1] = RGBQUAD{255, 255, 255, 0};
    return info;
}

// Releases what a test page holds when it goes, on every path.
struct PrintResources {
    HDC printer = nullptr;
    HBITMAP bitmap = nullptr;
    ~PrintResources() {
        if (bitmap) DeleteObject(bitmap);
        if (printer) DeleteDC(printer);
    }
};

// The same for the conversion's memory contexts and the loaded picture.
struct ConversionResources {
    HDC source = nullptr, target = nullptr;
    HBITMAP loaded = nullptr;
    HGDIOBJ sourceOld = nullptr, targetOld = nullptr;
    ~ConversionResources() {
        if (source && sourceOld) SelectObject(source, sourceOld);
        if (target && targetOld) SelectObject(target, targetOld);
        if (source) DeleteDC(source);
        if (target) DeleteDC(target);
        if (loaded) DeleteObject(loaded);
    }
};

}  // namespace

HBITMAP LoadMonochromeBitmap(UINT id) {
    // Loaded as it is stored and reduced here: asked for a monochrome section, some
    // platforms (Wine among them) give one of the stored depth instead.
    ConversionResources c;
    c.loaded = static_cast<HBITMAP>(LoadImageA(ResourceInstance(), MAKEINTRESOURCEA(id),
                                               IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!c.loaded) return nullptr;
    BITMAP stored{};
    if (!GetObjectA(c.loaded, sizeof stored, &stored)) return nullptr;
    MonochromeInfo info = MonochromeHeader(stored.bmWidth, stored.bmHeight, 1, 1);
    void* bits = nullptr;
    HBITMAP mono = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
    if (!mono) return nullptr;
    c.source = CreateCompatibleDC(nullptr);
    c.target = CreateCompatibleDC(nullptr);
    bool copied = false;
    if (c.source && c.target) {
        c.sourceOld = SelectObject(c.source, c.loaded);
        c.targetOld = SelectObject(c.target, mono);
        // White pixels stay white and all others (the drawing's black) become black. The
        // platforms differ in how they reduce colours to a two-colour section (the nearest
        // colour, or the background colour against all others); the stored drawing has only
        // black and white pixels, which both rules keep.
        SetBkColor(c.source, RGB(255, 255, 255));
        copied = c.sourceOld && c.targetOld &&
                 BitBlt(c.target, 0, 0, stored.bmWidth, stored.bmHeight, c.source, 0, 0, SRCCOPY);
        // Out of the context before it can be handed on or deleted.
        if (c.targetOld) SelectObject(c.target, c.targetOld);
        c.targetOld = nullptr;
    }
    if (!copied) {
        DeleteObject(mono);
        return nullptr;
    }
    GdiFlush();
    return mono;
}

bool PrintTestPage(const std::string& printerName) {
    PrintResources r;
    r.printer = CreateDCA(nullptr, printerName.c_str(), nullptr, nullptr);
    if (!r.printer) return false;
    r.bitmap = LoadMonochromeBitmap(IDB_TEST_PAGE);
    if (!r.bitmap) return false;
    DIBSECTION section{};
    if (GetObjectA(r.bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
        return false;
    const BITMAP& image = section.dsBm;
    MonochromeInfo info =
        MonochromeHeader(image.bmWidth, image.bmHeight, image.bmPlanes, image.bmBitsPixel);

    DOCINFOA document{};
    document.cbSize = sizeof document;
    document.lpszDocName = kTestPageDocument;
    if (StartDocA(r.printer, &document) <= 0) return false;
    if (StartPage(r.printer) <= 0) return false;
    // Failure is 0 (or GDI_ERROR on some drivers); a drawing of no lines is no test page.
    int lines = StretchDIBits(r.printer, 0, 0, image.bmWidth, image.bmHeight, 0, 0, image.bmWidth,
                              image.bmHeight, image.bmBits, reinterpret_cast<BITMAPINFO*>(&info),
                              DIB_RGB_COLORS, SRCCOPY);
    if (lines == 0 || lines == static_cast<int>(GDI_ERROR)) return false;
    if (EndPage(r.printer) <= 0) return false;
    return EndDoc(r.printer) > 0;
}

bool PrintTestPage() {
    return PrintTestPage(Choices().PrinterInfo.PrinterName);
}
