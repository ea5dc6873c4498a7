// The control commands that put the printer simulator back into the state it starts in: every
// setting of its printer at the value it has without options, and the printer asleep. Shared
// by the test programs' simulator handle and the simulator's own tests, which check that the
// list leaves nothing of an earlier test behind.
#pragma once

namespace vt {

inline constexpr const char* kSimulatorDefaults[] = {
    "settings 9600,n,8,1",
    "wake-after 1",
    "silent off",
    "power-cycle off",
    "hold off",
    "pace off",
    "reply-query off",
    "reply-status off",
    "reply-wake off",
    "reply-prefix ",
    "end-char 0D",
    "buffer 4096",
    "xoff-at 3584",
    "xon-at 1024",
    "paper-rate 0",
    "sleep",
};

}  // namespace vt
