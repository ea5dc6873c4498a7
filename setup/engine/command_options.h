// setup's command line. Without arguments, or with text that is not an option, it starts the
// wizard as a person runs it; "install" alone resumes an installation after a restart of
// Windows. Options (each begins with "/", names in any letter case, values after "=" and in
// double quotes where they hold blanks) prepare an installation that the wizard opens with,
// run one with no window at all (/quiet), or remove the installation (/uninstall). Every
// option is checked before anything on the machine changes.
#pragma once

#include <string>

#include "install_choices.h"

enum class SetupAction { Install, Resume, Remove };

struct SetupOptions {
    SetupAction action = SetupAction::Install;
    bool quiet = false;         // no window: every question answered by policy
    std::string port;           // "COM1:", or "" when not given
    std::string settings;       // "9600,n,8,1", or ""
    std::string model;          // the catalogue's name of the model, or ""
    std::string name;           // the printer's name, or "" for the wizard's proposal
    std::string share;          // the share name, or "" for a printer not shared
    bool noDefault = false;     // not made the default printer
    bool noTestPage = false;    // no test page
    bool noConfirm = false;     // the printer is not asked: installed at the settings given
    bool replacePrinters = false;  // earlier printers of the models are deleted, not kept
    std::wstring logPath;       // the log, or "" for the default one

    // True when any option of an installation was given: the wizard opens prepared.
    bool Prepared() const;
};

// The longest printer name the spooler takes, and the longest share name.
inline constexpr size_t kMaxPrinterNameChars = 220;
inline constexpr size_t kMaxShareNameChars = 80;
// COM port numbers Windows gives.
inline constexpr int kMaxComPort = 256;

// Reads `arguments` (the command line after the program's name) against the model catalogue
// `models`. False, with `error` saying which option is wrong and why, when they do not make
// one valid command; `options` then holds what was read before the fault (its log path among
// it).
bool ParseSetupOptions(const std::wstring& arguments, const ModelCatalogue& models,
                       SetupOptions& options, std::string& error);

// "COM<n>:" for a COM port given as "COM<n>" or "COM<n>:" (any letter case), n from 1 to
// kMaxComPort; "" for anything else.
std::string ComPortOption(const std::string& text);
// The settings text in the form the installation stores ("9600,n,8,1") for a text naming a
// baud rate, parity, data bits and stop bits the printer supports; "" for anything else.
std::string LineSettingsOption(const std::string& text);

// Puts what the options choose into the installation record (whose catalogue they were read
// against). The printer's name, when not given, is the one the wizard would propose.
void ApplySetupOptions(const SetupOptions& options, InstallChoices& choices);

// The options of this run's command line, kept for the wizard's pages to open with.
const SetupOptions& CommandOptions();
void KeepCommandOptions(const SetupOptions& options);
