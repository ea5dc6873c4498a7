// The test page: the program's line drawing printed once on the new printer, at its pixel
// size, through the printer's own driver.
#pragma once

#include <windows.h>

#include <string>

inline constexpr char kTestPageDocument[] = "Vesk Printing Test";

// Bitmap `id` of the program's resources as a section of one bit per pixel, black and
// white; null when it cannot be loaded.
HBITMAP LoadMonochromeBitmap(UINT id);

// Prints the test page on the printer `printerName`; false when any step fails.
bool PrintTestPage(const std::string& printerName);
// On the record's PrinterInfo.PrinterName.
bool PrintTestPage();
