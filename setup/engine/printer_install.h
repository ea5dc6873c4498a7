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
// Deletes the local printer `name` and its roll-paper form; with `purgeJobs` the documents
// waiting in it are deleted first. `opened` is set once the spooler has the printer open for
// it. False when the printer cannot be opened or deleted, which is shown.
bool DeleteModelPrinter(const std::string& name, bool purgeJobs, bool& opened);
// The driver names of the models, in lower case, with the name the Kx240-F's driver had
// before it.
std::vector<std::string> ModelDriverNames();
// True when `driver` is the whole name of one of `models` (ModelDriverNames), letter case
// aside: a driver called "x" or "0" is no model's driver.
bool IsModelDriver(const std::vector<std::string>& models, std::string driver);
// Local printers and connections whose names begin with `prefix`, letter case aside; 0 also
// when they cannot be listed, which is shown to the user.
int CountPrinters(const std::string& prefix);
// The same without a message: `error` receives the reason they could not be listed, else 0.
int CountPrinters(const std::string& prefix, DWORD& error);
