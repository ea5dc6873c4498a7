// vesksim-summary DIR: a short account of what crossed the line, from the simulator's
// wire log and state in DIR: wake-up bursts, CAN, settings queries and replies, and how the
// print data arrived.
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Record {
    double ms = 0;
    char dir = 0;
    std::string bytes, text;
};

std::vector<Record> ReadLog(const std::string& path) {
    std::vector<Record> log;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream f(line);
        Record r;
        std::string d;
        if (!(f >> r.ms >> d) || d.size() != 1) continue;
        r.dir = d[0];
        if (r.dir == '#') {
            std::getline(f, r.text);
            if (!r.text.empty() && r.text[0] == ' ') r.text.erase(0, 1);
        } else {
            for (std::string h; f >> h;) r.bytes.push_back(static_cast<char>(std::stoul(h, nullptr, 16)));
        }
        log.push_back(r);
    }
    return log;
}

std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 32 && c < 127) out.push_back(static_cast<char>(c));
        else {
            char b[8];
            std::snprintf(b, sizeof b, "<%02X>", c);
            out += b;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vesksim-summary DIR\n";
        return 2;
    }
    std::string dir = argv[1];
    auto log = ReadLog(dir + "/wire.log");
    std::map<std::string, std::string> state;
    std::ifstream s(dir + "/state");
    for (std::string line; std::getline(s, line);)
        if (auto eq = line.find('='); eq != std::string::npos) state[line.substr(0, eq)] = line.substr(eq + 1);

    std::vector<std::string> bursts;
    std::vector<std::string> replies;
    bool queried = false;
    size_t pieces = 0, dataBytes = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        const Record& r = log[i];
        if (r.dir == '#' && r.text.rfind("burst ", 0) == 0) bursts.push_back(r.text.substr(6));
        if (r.dir == '>' && r.bytes.find("\x1D\x49\x04") != std::string::npos) {
            queried = true;
            for (size_t j = i + 1; j < log.size(); ++j)
                if (log[j].dir == '<') {
                    replies.push_back(Printable(log[j].bytes));
                    break;
                }
            continue;
        }
        if (queried && r.dir == '>') {
            ++pieces;
            dataBytes += r.bytes.size();
        }
    }
    std::cout << "wake-up bursts: " << bursts.size();
    if (!bursts.empty()) {
        std::cout << " (";
        for (size_t i = 0; i < bursts.size(); ++i) std::cout << (i ? ", " : "") << bursts[i];
        std::cout << " zero bytes)";
    }
    std::cout << "\nCAN bytes: " << state["cans"] << "\nsettings queries: " << state["queries"];
    for (const auto& r : replies) std::cout << "\n  reply: \"" << r << "\"";
    std::cout << "\nprint data after the query: " << dataBytes << " bytes, read by the printer in "
              << pieces << " pieces (the PC writes chunks of at most 64 bytes; a pseudo-terminal "
              << "may join them)\nprinted: " << state["printed"] << " bytes, XOFF sent " << state["xoffs"]
              << " times, lost " << state["overflow"] << "\n";
    return 0;
}
