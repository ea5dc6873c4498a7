#include "printer_model.h"

#include <cmath>
#include <utility>

namespace vesksim {

PrinterModel::PrinterModel(PrinterConfig config) : config_(std::move(config)) {}

void PrinterModel::event(std::string text) {
    events_.push_back(std::move(text));
}

void PrinterModel::send(std::string_view bytes) {
    if (config_.silent) {
        counters_.suppressed += bytes.size();
        return;
    }
    toPc_.append(bytes);
    counters_.sent += bytes.size();
}

void PrinterModel::fallAsleep() {
    awake_ = false;
    burstsThisWake_ = 0;
    pendingZeros_ = 0;
    event("asleep");
}

void PrinterModel::wakeUp() {
    if (awake_) return;
    awake_ = true;
    burstsThisWake_ = 0;
    ++counters_.wakes;
    event("awake");
}

void PrinterModel::receive(std::string_view bytes, double nowMs, bool heard) {
    tick(nowMs);
    if (!heard) {
        counters_.noise += bytes.size();
        parse_ = Parse::Data;
        pendingZeros_ = 0;
        lastByteMs_ = nowMs;
        return;
    }
    counters_.received += bytes.size();
    double gap = nowMs - lastByteMs_;
    for (unsigned char b : bytes) {
        byte(b, nowMs, gap);
        gap = 0;
    }
    lastByteMs_ = nowMs;
    drain(nowMs);
    flow();
}

void PrinterModel::byte(unsigned char b, double nowMs, double gapBefore) {
    // Zero bytes after a pause may be a wake-up burst; what follows decides.
    if (b == 0 && parse_ == Parse::Data &&
        (!awake_ || pendingZeros_ > 0 || gapBefore >= config_.burstGapMs)) {
        ++pendingZeros_;
        return;
    }
    if (pendingZeros_) {
        // A run of zeros that ends in CAN was the tail of a wake-up: the PC had its answer
        // and went on at once. Zeros that run into anything else are print data.
        if (!awake_) endBurst();
        else if (b == kCan) endBurst(false);
        else zerosAreData();
    }
    if (!awake_) {
        // Only the interface answers while the mechanism sleeps.
        if (parse_ == Parse::Gs && b == 0x05) {
            ++counters_.wakeStatuses;
            send(config_.wakeStatusReply.value_or(std::string(1, '\0')));
            parse_ = Parse::Data;
        } else {
            parse_ = b == kGs ? Parse::Gs : Parse::Data;
        }
        return;
    }
    command(b, nowMs);
}

void PrinterModel::zerosAreData() {
    print(std::string(pendingZeros_, '\0'));
    pendingZeros_ = 0;
}

void PrinterModel::command(unsigned char b, double nowMs) {
    (void)nowMs;
    switch (parse_) {
    case Parse::Data:
        if (b == kCan) {
            ++counters_.cans;
        } else if (b == kGs) {
            parse_ = Parse::Gs;
        } else if (b == kEsc) {
            parse_ = Parse::Esc;
        } else {
            print(std::string_view(reinterpret_cast<const char*>(&b), 1));
        }
        return;
    case Parse::Gs:
        parse_ = Parse::Data;
        if (b == 0x05) {
            ++counters_.wakeStatuses;
            send(config_.wakeStatusReply.value_or(std::string(1, '\x04')));
        } else if (b == 'I') {
            parse_ = Parse::GsI;
        } else {
            print("\x1D");
            command(b, nowMs);
        }
        return;
    case Parse::GsI:
        parse_ = Parse::Data;
        if (b == 0x04) {
            ++counters_.queries;
            event("settings query");
            send(config_.queryReply.value_or(config_.replyPrefix + config_.settings.replyText() +
                                             config_.endChar));
        } else if (b == 0x0F) {
            ++counters_.statuses;
            event("status");
            std::string status = {'\x06', '\x00', config_.powerCycleRequest ? '\x01' : '\x00'};
            send(config_.statusReply.value_or(status));
        } else {
            print("\x1DI");
            command(b, nowMs);
        }
        return;
    case Parse::Esc:
        parse_ = Parse::Data;
        if (b == 'X') {
            parse_ = Parse::EscX;
        } else {
            print("\x1B");
            command(b, nowMs);
        }
        return;
    case Parse::EscX:
        parse_ = Parse::Data;
        if (b == 0x04) {
            parse_ = Parse::EscXText;
            text_.clear();
        } else if (b == 0x0B) {
            parse_ = Parse::Switch1;
        } else {
            print("\x1BX");
            command(b, nowMs);
        }
        return;
    case Parse::EscXText:
        if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
            b == ',' || b == '.') {
            text_.push_back(static_cast<char>(b));
            return;
        }
        endSettingsText();
        command(b, nowMs);
        return;
    case Parse::Switch1:
        parse_ = b == 0 ? Parse::Switch2 : Parse::Data;
        if (b != 0) event("switch command broken");
        return;
    case Parse::Switch2:
        parse_ = Parse::Data;
        if (b != 0) {
            event("switch command broken");
            return;
        }
        ++counters_.switches;
        send(std::string(1, static_cast<char>(kXoff)));
        if (pending_) {
            config_.settings = *pending_;
            event("switch to " + pending_->text());
            pending_.reset();
        } else {
            event("switch without new settings");
        }
        config_.powerCycleRequest = false;
        return;
    }
}

void PrinterModel::endBurst(bool answer) {
    ++counters_.bursts;
    event("burst " + std::to_string(pendingZeros_));
    pendingZeros_ = 0;
    ++burstsThisWake_;
    if (!awake_) {
        if (config_.wakeAfterBursts == 0 || burstsThisWake_ < config_.wakeAfterBursts) return;
        awake_ = true;
        ++counters_.wakes;
        event("awake after " + std::to_string(burstsThisWake_) + " bursts");
    }
    // A busy printer answers with the XON that ends its busy period.
    if (answer && !inXoff_) send(std::string(1, static_cast<char>(kXon)));
}

void PrinterModel::endSettingsText() {
    parse_ = Parse::Data;
    ++counters_.settingsChanges;
    if (auto s = ParseLineSettings(text_)) {
        pending_ = s;
        event("settings change " + s->text());
    } else {
        event("settings change not understood: " + text_);
    }
}

void PrinterModel::print(std::string_view data) {
    for (char c : data) {
        if (buffer_.size() >= config_.bufferSize) {
            if (counters_.overflow++ == 0) event("buffer overflow: data lost");
            continue;
        }
        buffer_.push_back(c);
    }
}

void PrinterModel::flow() {
    if (!inXoff_ && buffer_.size() >= config_.xoffAt) {
        inXoff_ = true;
        ++counters_.xoffs;
        event("xoff at " + std::to_string(buffer_.size()));
        send(std::string(1, static_cast<char>(kXoff)));
    } else if (inXoff_ && buffer_.size() <= config_.xonAt) {
        inXoff_ = false;
        ++counters_.xons;
        event("xon at " + std::to_string(buffer_.size()));
        send(std::string(1, static_cast<char>(kXon)));
    }
}

void PrinterModel::paperStops() {
    if (!paperRunning_) return;
    paperRunning_ = false;
    event("paper stops");
}

void PrinterModel::drain(double nowMs) {
    double elapsed = lastDrainMs_ < 0 ? 0 : nowMs - lastDrainMs_;
    lastDrainMs_ = nowMs;
    if (config_.hold || buffer_.empty()) {
        paperCredit_ = 0;
        paperStops();
        return;
    }
    std::size_t n = buffer_.size();
    if (config_.paperRate > 0) {
        paperCredit_ += elapsed * config_.paperRate / 1000.0;
        double whole = std::floor(paperCredit_);
        if (whole < static_cast<double>(n)) n = static_cast<std::size_t>(whole);
        paperCredit_ -= static_cast<double>(n);
    }
    // A paper with a speed of its own says when it starts and stops moving, so that the wire
    // log shows how long the paper ran for what it printed.
    if (n > 0 && config_.paperRate > 0 && !paperRunning_) {
        paperRunning_ = true;
        event("paper starts");
    }
    paper_.append(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    counters_.printed += n;
    if (buffer_.empty()) paperStops();
}

void PrinterModel::tick(double nowMs) {
    if (pendingZeros_ && nowMs - lastByteMs_ >= config_.burstGapMs) endBurst();
    if (parse_ == Parse::EscXText && nowMs - lastByteMs_ >= config_.burstGapMs) endSettingsText();
    drain(nowMs);
    flow();
}

double PrinterModel::nextDeadline() const {
    double next = -1;
    auto consider = [&next](double t) {
        if (next < 0 || t < next) next = t;
    };
    if (pendingZeros_ || parse_ == Parse::EscXText) consider(lastByteMs_ + config_.burstGapMs);
    if (!buffer_.empty() && !config_.hold)
        consider(lastDrainMs_ + (config_.paperRate > 0 ? 5 : 0));
    return next;
}

std::string PrinterModel::takeToPc() {
    return std::exchange(toPc_, {});
}

std::string PrinterModel::takePaper() {
    return std::exchange(paper_, {});
}

std::vector<std::string> PrinterModel::takeEvents() {
    return std::exchange(events_, {});
}

}  // namespace vesksim
