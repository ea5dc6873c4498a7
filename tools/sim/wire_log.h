// The simulator's time-stamped record of the line. One line per record:
//   <ms> > <hex bytes>   from the PC, heard
//   <ms> ! <hex bytes>   from the PC, heard as noise (line settings differ)
//   <ms> < <hex bytes>   from the printer to the PC
//   <ms> # <text>        an event of the printer or the simulator
// Times are milliseconds since the simulator started, with three decimals.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vesksim {

class WireLog {
public:
    explicit WireLog(const std::string& path);
    ~WireLog();
    WireLog(const WireLog&) = delete;
    WireLog& operator=(const WireLog&) = delete;

    void bytes(double ms, char direction, std::string_view data);
    void event(double ms, std::string_view text);
    // Empties the log (the control command "reset").
    void truncate();

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

}  // namespace vesksim
