// The line settings a Vesk printer can be set to, in the order the wizard lists them.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kBaudRateChoices[] = {"300",  "600",   "1200",  "2400", "4800",
                                                   "9600", "19200", "38400", "57600"};
inline constexpr const char* kDataBitChoices[] = {"7", "8"};
// Each parity by its name in the lists and by its letter in a settings text.
struct ParityChoice {
    const char* name;
    char letter;
};
inline constexpr ParityChoice kParityChoices[] = {{"Even", 'e'}, {"Odd", 'o'}, {"None", 'n'}};
inline constexpr const char* kStopBitChoices[] = {"1", "2"};

// The parts of a settings text between its commas ("9600,n,8,1": four).
inline std::vector<std::string> SettingsParts(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == ',') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}
