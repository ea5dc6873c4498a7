#include "line_settings.h"

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace vesksim {

namespace {
std::string StopText(unsigned stop) {
    return stop == 15 ? "1.5" : std::to_string(stop);
}
}  // namespace

std::string LineSettings::replyText() const {
    return std::to_string(baud) + "," + static_cast<char>(std::toupper(parity)) + "," +
           std::to_string(dataBits) + "," + StopText(stopBits);
}

std::string LineSettings::text() const {
    return std::to_string(baud) + "," + static_cast<char>(std::tolower(parity)) + "," +
           std::to_string(dataBits) + "," + StopText(stopBits);
}

std::optional<LineSettings> ParseLineSettings(const std::string& text) {
    std::vector<std::string> fields;
    std::stringstream in(text);
    for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
    if (fields.size() != 4) return std::nullopt;

    LineSettings s;
    char* end = nullptr;
    unsigned long baud = std::strtoul(fields[0].c_str(), &end, 10);
    if (fields[0].empty() || *end || baud == 0) return std::nullopt;
    s.baud = static_cast<unsigned>(baud);

    if (fields[1].size() != 1) return std::nullopt;
    s.parity = static_cast<char>(std::tolower(fields[1][0]));
    if (std::string("noems").find(s.parity) == std::string::npos) return std::nullopt;

    if (fields[2].size() != 1 || fields[2][0] < '5' || fields[2][0] > '8') return std::nullopt;
    s.dataBits = static_cast<unsigned>(fields[2][0] - '0');

    if (fields[3] == "1") s.stopBits = 1;
    else if (fields[3] == "2") s.stopBits = 2;
    else if (fields[3] == "1.5") s.stopBits = 15;
    else return std::nullopt;
    return s;
}

bool LineMatches(const LineSettings& printer, const ObservedLine& pc) {
    unsigned printerStop = printer.stopBits == 2 ? 2 : 1;
    return printer.baud == pc.baud && printerStop == pc.stopBits;
}

}  // namespace vesksim
