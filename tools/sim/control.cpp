#include "control.h"

#include <cctype>
#include <cstdlib>

namespace vesksim {

std::optional<std::string> DecodeHex(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        digits.push_back(c);
    }
    if (digits.size() % 2) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<char>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

namespace {

std::optional<bool> OnOff(const std::string& v) {
    if (v == "on" || v == "1" || v == "yes") return true;
    if (v == "off" || v == "0" || v == "no") return false;
    return std::nullopt;
}

std::optional<unsigned long> Number(const std::string& v) {
    if (v.empty()) return std::nullopt;
    char* end = nullptr;
    unsigned long n = std::strtoul(v.c_str(), &end, 10);
    if (*end) return std::nullopt;
    return n;
}

// "\x20\x20" style escapes for texts that must carry blanks.
std::string Unescape(const std::string& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 3 < v.size() && v[i + 1] == 'x') {
            if (auto b = DecodeHex(v.substr(i + 2, 2))) {
                out += *b;
                i += 3;
                continue;
            }
        }
        out.push_back(v[i]);
    }
    return out;
}

std::string Scripted(const std::string& v, std::optional<std::string>& slot) {
    if (v == "off") {
        slot.reset();
        return "";
    }
    auto bytes = DecodeHex(v);
    if (!bytes) return "not hex: " + v;
    slot = *bytes;
    return "";
}

}  // namespace

std::string ApplyControl(const std::string& rawLine, PrinterModel& model, ControlAction& action) {
    std::string line = rawLine;
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    std::size_t space = line.find(' ');
    std::string name = line.substr(0, space);
    std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    PrinterConfig& c = model.config();
    action = {};

    if (name.empty()) return "";
    if (name == "settings") {
        auto s = ParseLineSettings(value);
        if (!s) return "bad settings: " + value;
        c.settings = *s;
        return "";
    }
    if (name == "wake-after") {
        auto n = Number(value);
        if (!n) return "bad number: " + value;
        c.wakeAfterBursts = static_cast<unsigned>(*n);
        return "";
    }
    if (name == "sleep") {
        model.fallAsleep();
        return "";
    }
    if (name == "wake") {
        model.wakeUp();
        return "";
    }
    if (name == "silent" || name == "power-cycle" || name == "hold" || name == "pace") {
        auto b = OnOff(value);
        if (!b) return "expected on or off: " + value;
        (name == "silent"  ? c.silent
         : name == "hold"  ? c.hold
         : name == "pace"  ? c.paceLine
                           : c.powerCycleRequest) = *b;
        return "";
    }
    if (name == "reply-query") return Scripted(value, c.queryReply);
    if (name == "reply-status") return Scripted(value, c.statusReply);
    if (name == "reply-wake") return Scripted(value, c.wakeStatusReply);
    if (name == "reply-prefix") {
        c.replyPrefix = Unescape(value);
        return "";
    }
    if (name == "end-char") {
        auto b = DecodeHex(value);
        if (!b || b->size() != 1) return "expected one hex byte: " + value;
        c.endChar = (*b)[0];
        return "";
    }
    if (name == "buffer" || name == "xoff-at" || name == "xon-at" || name == "paper-rate") {
        auto n = Number(value);
        if (!n) return "bad number: " + value;
        if (name == "buffer") c.bufferSize = *n;
        else if (name == "xoff-at") c.xoffAt = *n;
        else if (name == "xon-at") c.xonAt = *n;
        else c.paperRate = static_cast<double>(*n);
        return "";
    }
    if (name == "send") {
        auto bytes = DecodeHex(value);
        if (!bytes) return "not hex: " + value;
        action = {ControlAction::Send, *bytes};
        return "";
    }
    if (name == "mark") {
        action = {ControlAction::Mark, value};
        return "";
    }
    if (name == "reset") {
        action = {ControlAction::Reset, ""};
        return "";
    }
    if (name == "sync") {
        action = {ControlAction::Sync, value};
        return "";
    }
    if (name == "quit") {
        action = {ControlAction::Quit, ""};
        return "";
    }
    return "unknown command: " + name;
}

}  // namespace vesksim
