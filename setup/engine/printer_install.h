// The printer object in the spooler: created on the monitor's port for the chosen model,
// shared on request, made the default printer; earlier printers of the system's models
// removed on request; and the count of printers whose name begins alike, for a free name.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The form earlier versions of the driver added to every printer of theirs.
inline constexpr char kRollPaperForm[] = "58 mm Roll Paper";
// How long a window may take to hear that the default printer changed.
inline constexpr UINT kSettingChangeTimeoutMs = 1000;

// The name proposed for a new printer of `model` when `existing` printers' names already
// begin with the model's name: the model's name, or "<model> (Copy n)" with n = existing + 1.
std::string DefaultPrinterName(const std::string& model, int existing);
// Creates the printer the record's PrinterInfo describes.
bool CreatePrinter();
// Makes the printer `name` the default printer.
bool MakeDefaultPrinter(const std::string& name);
// Offers to delete every local printer whose driver is one of the system's models (its whole
// name, letter case aside), naming the printer and its driver; sets `printerRemoved` once one
// is deleted. False when the user keeps one, or one cannot be deleted (which is shown).
bool RemoveExistingPrinters(bool& printerRemoved);
// The same in two halves, so that nothing goes before the run is ready to replace it: the
// questions, `agreed` receiving the printers the user agreed to replace (false at a No or
// when the list cannot be had); and their deletion (false, shown, when one cannot be), each
// printer deleted added to `removed`.
bool AskToReplacePrinters(std::vector<std::string>& agreed);
bool DeletePrinters(const std::vector<std::string>& names, bool& printerRemoved,
                    std::vector<std::string>& removed);
// Local printers and connections whose names begin with `prefix`, letter case aside; 0 also
// when they cannot be listed, which is shown to the user.
int CountPrinters(const std::string& prefix);
// The same without a message: `error` receives the reason they could not be listed, else 0.
int CountPrinters(const std::string& prefix, DWORD& error);
