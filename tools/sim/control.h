// The simulator's control language: one command a line, from the command line's options
// (--name value) and from the control FIFO while it runs.
//
//   settings 19200,n,8,1   the printer's own line settings
//   wake-after N           bursts a sleeping printer needs (0: never wakes)
//   sleep                  the printer falls asleep now
//   wake                   the printer is awake now (as after a wake-up, without its XON)
//   silent on|off          answer nothing at all
//   power-cycle on|off     bit 0 of the status reply's third byte: the monitor reads it as a
//                          request for a power cycle, setup as "the charger is present"
//   reply-query HEX|off    scripted reply to the settings query (hex bytes, "" for none)
//   reply-status HEX|off   scripted reply to the status command
//   reply-wake HEX|off     scripted reply to the wake-up status request
//   reply-prefix TEXT      text sent before the settings text ("\x20" escapes allowed)
//   end-char HEX           end character of the settings reply
//   buffer N  xoff-at N  xon-at N   print buffer and its flow-control levels
//   paper-rate N           bytes a second the paper takes (0: at once)
//   hold on|off            paper stops (the buffer fills, XOFF follows)
//   pace on|off            take bytes only at the PC's line rate (baud / 10 bytes a second)
//   send HEX               send bytes to the PC now
//   mark TEXT              write an event line into the wire log
//   reset                  empty the wire log and the paper file, zero the counters
//   sync TOKEN             echo TOKEN into the state file once everything before is done
//   quit                   end the simulator
#pragma once

#include <optional>
#include <string>

#include "printer_model.h"

namespace vesksim {

// Decodes "11 13", "1113" or "" into bytes; nullopt when not hex.
std::optional<std::string> DecodeHex(const std::string& text);

// Applies one command to the model. Returns an error text, or "" when it was understood.
// Commands that act on the simulator itself (send, mark, reset, sync, quit) are left to the
// caller and reported through `action`.
struct ControlAction {
    enum Kind { None, Send, Mark, Reset, Sync, Quit } kind = None;
    std::string argument;
};
std::string ApplyControl(const std::string& line, PrinterModel& model, ControlAction& action);

}  // namespace vesksim
