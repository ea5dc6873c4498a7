#include "command_options.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "line_choices.h"
#include "printer_install.h"
#include "start_up.h"

namespace {

// Splits the arguments at blanks outside double quotes; the quotes themselves are dropped,
// so /name="Front Desk" gives /name=Front Desk.
std::vector<std::wstring> Words(const std::wstring& arguments) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool quoted = false, inWord = false;
    for (wchar_t c : arguments) {
        if (c == L'"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

template <size_t N>
bool OneOf(const std::string& text, const char* const (&choices)[N]) {
    for (const char* choice : choices)
        if (text == choice) return true;
    return false;
}

// Characters the spooler refuses in a printer's name, and Windows in a share's.
constexpr char kNotInPrinterName[] = "\\,";
constexpr char kNotInShareName[] = "\\/:*?\"<>|,";

bool HasAnyOf(const std::string& text, const char* characters) {
    return text.find_first_of(characters) != std::string::npos;
}

bool HasControlCharacter(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

// The options that take a value, and those that are switches.
enum class Option {
    Quiet, Uninstall, Port, Settings, Model, Name, Share, NoDefault, NoTestPage, NoConfirm,
    ReplacePrinters, Log
};
struct OptionName {
    const char* name;
    Option option;
    bool takesValue;
};
constexpr OptionName kOptions[] = {
    {"quiet", Option::Quiet, false},         {"uninstall", Option::Uninstall, false},
    {"port", Option::Port, true},            {"settings", Option::Settings, true},
    {"model", Option::Model, true},          {"name", Option::Name, true},
    {"share", Option::Share, true},          {"nodefault", Option::NoDefault, false},
    {"notestpage", Option::NoTestPage, false}, {"noconfirm", Option::NoConfirm, false},
    {"replaceprinters", Option::ReplacePrinters, false}, {"log", Option::Log, true},
};

bool Fail(std::string& error, const std::string& text) {
    error = text;
    return false;
}

// Reads one value option into `options`.
bool ReadValue(Option option, const std::string& given, const std::wstring& wideValue,
               const std::string& value, const ModelCatalogue& models, SetupOptions& options,
               std::string& error) {
    switch (option) {
    case Option::Port:
        options.port = ComPortOption(value);
        if (options.port.empty()) return Fail(error, given + ": \"" + value + "\" is not a COM port");
        return true;
    case Option::Settings:
        options.settings = LineSettingsOption(value);
        if (options.settings.empty())
            return Fail(error, given + ": \"" + value +
                                   "\" are not line settings the printer takes (for example "
                                   "9600,n,8,1)");
        return true;
    case Option::Model:
        for (const auto& entry : models)
            if (entry && Lower(entry->pName) == Lower(value)) options.model = entry->pName;
        if (options.model.empty()) return Fail(error, given + ": \"" + value + "\" is not a printer model of this setup");
        return true;
    case Option::Name:
        if (value.empty()) return Fail(error, given + ": the printer's name is empty");
        if (value.size() > kMaxPrinterNameChars)
            return Fail(error, given + ": the printer's name is longer than " +
                                   std::to_string(kMaxPrinterNameChars) + " characters");
        if (HasAnyOf(value, kNotInPrinterName) || HasControlCharacter(value))
            return Fail(error, given + ": a printer's name may not hold \\ or ,");
        options.name = value;
        return true;
    case Option::Share:
        if (value.empty()) return Fail(error, given + ": the share name is empty");
        if (value.size() > kMaxShareNameChars)
            return Fail(error, given + ": the share name is longer than " +
                                   std::to_string(kMaxShareNameChars) + " characters");
        if (HasAnyOf(value, kNotInShareName) || HasControlCharacter(value))
            return Fail(error, given + ": a share name may not hold \\ / : * ? \" < > | or ,");
        options.share = value;
        return true;
    case Option::Log:
        if (wideValue.empty()) return Fail(error, given + ": the log's path is empty");
        options.logPath = wideValue;
        return true;
    default:
        return Fail(error, given + " takes no value");
    }
}

}  // namespace

bool SetupOptions::Prepared() const {
    return !port.empty() || !settings.empty() || !model.empty() || !name.empty() || !share.empty() ||
           noDefault || noTestPage || noConfirm || replacePrinters;
}

std::string ComPortOption(const std::string& text) {
    std::string port = Lower(text);
    if (!port.empty() && port.back() == ':') port.pop_back();
    if (port.rfind("com", 0) != 0) return {};
    std::string number = port.substr(3);
    // No leading zero: "COM01" is no name Windows gives a port.
    if (!AllDigits(number) || number[0] == '0' || number.size() > 3) return {};
    int n = std::atoi(number.c_str());
    if (n < 1 || n > kMaxComPort) return {};
    return "COM" + number + ":";
}

std::string LineSettingsOption(const std::string& text) {
    std::vector<std::string> parts = SettingsParts(text);
    if (parts.size() != 4) return {};
    const std::string& baud = parts[0];
    std::string parity = Lower(parts[1]);
    if (!OneOf(baud, kBaudRateChoices) || !OneOf(parts[2], kDataBitChoices) ||
        !OneOf(parts[3], kStopBitChoices) || parity.size() != 1)
        return {};
    for (const ParityChoice& choice : kParityChoices)
        if (parity[0] == choice.letter) return baud + "," + parity + "," + parts[2] + "," + parts[3];
    return {};
}

bool ParseSetupOptions(const std::wstring& arguments, const ModelCatalogue& models,
                       SetupOptions& options, std::string& error) {
    options = SetupOptions{};
    error.clear();
    // (The options read so far stay in `options` when one is wrong; see the header.)
    std::string ansiArguments;
    ToAnsi(arguments, ansiArguments);
    if (IsResumeCommand(ansiArguments.c_str())) {
        options.action = SetupAction::Resume;
        return true;
    }
    std::vector<std::wstring> words = Words(arguments);
    // Whether to show anything, and where to log, hold even when another option is wrong:
    // a quiet run must not stop at a message box, and its log must say what was wrong.
    for (const std::wstring& word : words) {
        std::string ansi;
        ToAnsi(word, ansi);
        std::string lower = Lower(ansi);
        if (lower == "/quiet") options.quiet = true;
        if (lower.rfind("/log=", 0) == 0 && word.size() > 5) options.logPath = word.substr(5);
    }
    // Text that is no option starts the wizard as before options existed; with /quiet
    // anywhere in it, it is a command line that must be right.
    if (!options.quiet && (words.empty() || words[0].empty() || words[0][0] != L'/')) {
        options.logPath.clear();
        return true;
    }
    std::vector<Option> seen;
    for (const std::wstring& word : words) {
        std::string ansi;
        ToAnsi(word, ansi);
        if (word.empty() || word[0] != L'/') return Fail(error, "\"" + ansi + "\" is not an option");
        size_t equals = word.find(L'=');
        std::string given;
        ToAnsi(word.substr(0, equals), given);
        std::string name = Lower(given.substr(1));
        const OptionName* found = nullptr;
        for (const OptionName& option : kOptions)
            if (name == option.name) found = &option;
        if (!found) return Fail(error, "unknown option " + given);
        for (Option earlier : seen)
            if (earlier == found->option) return Fail(error, given + " is given twice");
        seen.push_back(found->option);
        if (found->takesValue != (equals != std::wstring::npos))
            return Fail(error, given + (found->takesValue ? " needs a value after =" : " takes no value"));
        if (!found->takesValue) {
            switch (found->option) {
            case Option::Quiet: options.quiet = true; break;
            case Option::Uninstall: options.action = SetupAction::Remove; break;
            case Option::NoDefault: options.noDefault = true; break;
            case Option::NoTestPage: options.noTestPage = true; break;
            case Option::NoConfirm: options.noConfirm = true; break;
            default: options.replacePrinters = true; break;
            }
            continue;
        }
        std::wstring wideValue = word.substr(equals + 1);
        std::string value;
        // A value the ANSI code page cannot spell would reach the spooler changed.
        if (!ToAnsi(wideValue, value) && found->option != Option::Log)
            return Fail(error, given + ": \"" + value + "\" holds characters this Windows cannot keep");
        if (!ReadValue(found->option, given, wideValue, value, models, options, error)) return false;
    }
    if (options.action == SetupAction::Remove && options.Prepared())
        return Fail(error, "/uninstall takes no options but /quiet and /log");
    if (options.action == SetupAction::Install && options.quiet &&
        (options.port.empty() || options.settings.empty() || options.model.empty()))
        return Fail(error, "/quiet needs /port, /settings and /model");
    return true;
}

void ApplySetupOptions(const SetupOptions& options, InstallChoices& choices) {
    if (!options.port.empty()) choices.gstrPort = options.port;
    if (!options.settings.empty()) choices.gstrSettings = options.settings;
    if (!options.model.empty()) {
        for (size_t i = 0; i < choices.gModels.size(); ++i)
            if (choices.gModels[i] && choices.gModels[i]->pName == options.model) {
                choices.gModelIndex = static_cast<int>(i);
                choices.gpModel = choices.gModels[i].get();
                choices.PrinterInfo.DriverName = choices.gpModel->pName;
            }
    }
    if (!options.name.empty())
        choices.PrinterInfo.PrinterName = options.name;
    else if (choices.gpModel)
        choices.PrinterInfo.PrinterName =
            DefaultPrinterName(choices.gpModel->pName, CountPrinters(choices.gpModel->pName));
    choices.PrinterInfo.ShareName = options.share;
    choices.gbDefaultPrinter = !options.noDefault;
    choices.gbTestPage = !options.noTestPage;
    choices.gbTalkToPrinter = !options.noConfirm;
}

namespace {
SetupOptions& KeptOptions() {
    static SetupOptions options;
    return options;
}
}  // namespace

const SetupOptions& CommandOptions() {
    return KeptOptions();
}

void KeepCommandOptions(const SetupOptions& options) {
    KeptOptions() = options;
}
