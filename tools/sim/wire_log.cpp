#include "wire_log.h"

#include <stdexcept>

namespace vesksim {

WireLog::WireLog(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "w")) {
    if (!file_) throw std::runtime_error("cannot write " + path);
}

WireLog::~WireLog() {
    if (file_) std::fclose(file_);
}

void WireLog::bytes(double ms, char direction, std::string_view data) {
    if (data.empty()) return;
    std::fprintf(file_, "%10.3f %c", ms, direction);
    for (unsigned char c : data) std::fprintf(file_, " %02X", c);
    std::fputc('\n', file_);
    std::fflush(file_);
}

void WireLog::event(double ms, std::string_view text) {
    std::fprintf(file_, "%10.3f # %.*s\n", ms, static_cast<int>(text.size()), text.data());
    std::fflush(file_);
}

void WireLog::truncate() {
    if (file_) std::fclose(file_);
    file_ = std::fopen(path_.c_str(), "w");
    if (!file_) throw std::runtime_error("cannot write " + path_);
}

}  // namespace vesksim
