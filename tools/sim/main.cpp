// vesksim: a Vesk receipt printer on a pseudo-terminal.
//
//   vesksim --dir DIR [--link PATH] [--timeout SECONDS] [--<control command> VALUE ...]
//
// In DIR it creates: pty (the slave's path), control (a FIFO taking control commands, one a
// line), wire.log (the time-stamped line record), paper.bin (what the printer printed) and
// state (counters and settings as key=value lines, rewritten as they change). --link makes
// PATH a symbolic link to the slave, which is how a Wine prefix's COM port reaches it.
// Every control command (see control.h) can also be given as an option, for example
// --settings 19200,n,8,1 --wake-after 2 --silent on.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/ioctl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "control.h"
#include "printer_model.h"
#include "pty_port.h"
#include "wire_log.h"

using namespace vesksim;

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

double NowMs() {
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    return duration<double, std::milli>(steady_clock::now() - start).count();
}

struct Options {
    std::string dir, link;
    double timeoutSeconds = 3600;
    std::vector<std::string> commands;
};

Options ParseArgs(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error("missing value for " + a);
            return argv[++i];
        };
        if (a == "--dir") o.dir = value();
        else if (a == "--link") o.link = value();
        else if (a == "--timeout") o.timeoutSeconds = std::stod(value());
        else if (a.rfind("--", 0) == 0) {
            std::string name = a.substr(2);
            bool noValue = name == "sleep" || name == "reset" || name == "quit";
            o.commands.push_back(noValue ? name : name + " " + value());
        } else {
            throw std::runtime_error("unknown argument " + a);
        }
    }
    if (o.dir.empty()) throw std::runtime_error("--dir is required");
    return o;
}

std::string StateText(const PrinterModel& m, const ObservedLine& pc, const std::string& sync,
                      int backlog) {
    const auto& c = m.counters();
    std::ostringstream s;
    s << "settings=" << m.config().settings.text() << "\n"
      << "pc_baud=" << pc.baud << "\npc_stop=" << pc.stopBits << "\n"
      << "pc_ixon=" << pc.ixon << "\npc_ixoff=" << pc.ixoff << "\n"
      << "match=" << LineMatches(m.config().settings, pc) << "\n"
      << "awake=" << m.awake() << "\nxoff=" << m.inXoff() << "\n"
      << "buffered=" << m.buffered() << "\nprinted=" << c.printed << "\noverflow=" << c.overflow
      << "\nreceived=" << c.received << "\nnoise=" << c.noise << "\nsent=" << c.sent
      << "\nsuppressed=" << c.suppressed << "\nbursts=" << c.bursts << "\nwakes=" << c.wakes
      << "\ncans=" << c.cans << "\nqueries=" << c.queries << "\nstatuses=" << c.statuses
      << "\nwake_statuses=" << c.wakeStatuses << "\nsettings_changes=" << c.settingsChanges
      << "\nswitches=" << c.switches << "\nxoffs=" << c.xoffs << "\nxons=" << c.xons
      << "\nbacklog=" << backlog << "\nsync=" << sync << "\n";
    return s.str();
}

void WriteFileAtomically(const std::string& path, const std::string& text) {
    std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::trunc);
        f << text;
    }
    std::rename(tmp.c_str(), path.c_str());
}

void PointLink(const std::string& link, const std::string& target) {
    std::string tmp = link + ".new";
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), link.c_str()) != 0)
        throw std::runtime_error("cannot link " + link + " to " + target);
}

int Run(const Options& o) {
    PtyPort pty;
    WireLog log(o.dir + "/wire.log");
    std::string paperPath = o.dir + "/paper.bin";
    std::FILE* paper = std::fopen(paperPath.c_str(), "wb");
    std::string fifo = o.dir + "/control";
    unlink(fifo.c_str());
    if (!paper || mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("cannot set up " + o.dir);
    // Held open for writing too, so the FIFO never reports end of file between writers.
    int ctl = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    int ctlKeep = open(fifo.c_str(), O_WRONLY);

    PrinterModel model;
    ControlAction action;
    for (const auto& cmd : o.commands) {
        std::string err = ApplyControl(cmd, model, action);
        if (!err.empty()) throw std::runtime_error(err);
    }
    if (!o.link.empty()) PointLink(o.link, pty.slavePath());
    WriteFileAtomically(o.dir + "/pty", pty.slavePath() + "\n");

    ObservedLine pc = pty.observe();
    log.event(NowMs(), "printer at " + model.config().settings.text() + " on " + pty.slavePath());
    std::string pendingOut, ctlBuffer, sync, lastSync, lastState;
    double lastStateMs = -1;
    double credit = 0, creditMs = NowMs();
    bool running = true;

    while (running && !g_stop && NowMs() < o.timeoutSeconds * 1000) {
        double deadline = model.nextDeadline();
        int wait = 50;
        if (deadline >= 0) wait = std::max(0, std::min(50, static_cast<int>(deadline - NowMs()) + 1));
        if (!pendingOut.empty()) wait = std::min(wait, 5);
        // Paced, the printer takes bytes only as fast as the PC's line carries them (ten
        // bits a byte); the rest waits in the pseudo-terminal, as it would in the PC's
        // serial driver.
        std::size_t allowance = 4096;
        if (model.config().paceLine) {
            double now = NowMs();
            double rate = pc.baud / 10.0 / 1000.0;  // bytes a millisecond
            credit = std::min(credit + (now - creditMs) * rate, 512.0);
            creditMs = now;
            allowance = static_cast<std::size_t>(credit);
            if (allowance < 16 && rate > 0)
                wait = std::min(wait, static_cast<int>((16 - credit) / rate) + 1);
        }
        pollfd fds[2] = {{pty.masterFd(), static_cast<short>(allowance >= 16 || !model.config().paceLine ? POLLIN : 0), 0},
                         {ctl, POLLIN, 0}};
        poll(fds, 2, wait);

        ObservedLine now = pty.observe();
        if (!(now == pc)) {
            pc = now;
            log.event(NowMs(), "pc line " + std::to_string(pc.baud) + " baud, " +
                                   std::to_string(pc.stopBits) + " stop bits" +
                                   (pc.ixon ? ", xon/xoff output" : "") +
                                   (pc.ixoff ? ", xon/xoff input" : ""));
        }
        if (fds[0].revents & POLLIN) {
            char buf[4096];
            ssize_t n = read(pty.masterFd(), buf, std::min(sizeof buf, allowance));
            if (n > 0 && model.config().paceLine) credit -= static_cast<double>(n);
            if (n > 0) {
                bool heard = LineMatches(model.config().settings, pc);
                double t = NowMs();
                log.bytes(t, heard ? '>' : '!', std::string_view(buf, static_cast<size_t>(n)));
                model.receive(std::string_view(buf, static_cast<size_t>(n)), t, heard);
            }
        }
        if (fds[1].revents & POLLIN) {
            char buf[1024];
            ssize_t n = read(ctl, buf, sizeof buf);
            if (n > 0) ctlBuffer.append(buf, static_cast<size_t>(n));
        }
        for (std::size_t eol; running && (eol = ctlBuffer.find('\n')) != std::string::npos;) {
            std::string line = ctlBuffer.substr(0, eol);
            ctlBuffer.erase(0, eol + 1);
            std::string err = ApplyControl(line, model, action);
            if (!err.empty()) {
                log.event(NowMs(), "control error: " + err);
                continue;
            }
            switch (action.kind) {
            case ControlAction::Send: model.send(action.argument); break;
            case ControlAction::Mark: log.event(NowMs(), "mark " + action.argument); break;
            case ControlAction::Reset:
                log.truncate();
                std::fclose(paper);
                paper = std::fopen(paperPath.c_str(), "wb");
                model.resetCounters();
                break;
            case ControlAction::Sync: sync = action.argument; break;
            case ControlAction::Quit: running = false; break;
            case ControlAction::None: log.event(NowMs(), "control: " + line); break;
            }
        }

        model.tick(NowMs());
        pendingOut += model.takeToPc();
        if (!pendingOut.empty()) {
            ssize_t n = write(pty.masterFd(), pendingOut.data(), pendingOut.size());
            if (n > 0) {
                log.bytes(NowMs(), '<', std::string_view(pendingOut.data(), static_cast<size_t>(n)));
                pendingOut.erase(0, static_cast<size_t>(n));
            }
        }
        for (const auto& e : model.takeEvents()) log.event(NowMs(), e);
        std::string printed = model.takePaper();
        if (!printed.empty()) {
            std::fwrite(printed.data(), 1, printed.size(), paper);
            std::fflush(paper);
        }
        // Rewritten at most every 10 ms, but at once when a sync token arrives: a test waits
        // for its token and then reads everything that happened before it.
        int backlog = 0;
        ioctl(pty.masterFd(), FIONREAD, &backlog);
        std::string state = StateText(model, pc, sync, backlog);
        if (state != lastState && (NowMs() - lastStateMs >= 10 || sync != lastSync)) {
            WriteFileAtomically(o.dir + "/state", state);
            lastState = state;
            lastSync = sync;
            lastStateMs = NowMs();
        }
    }
    // Whatever the buffer still holds is printed before the printer goes.
    model.config().hold = false;
    model.config().paperRate = 0;
    model.tick(NowMs());
    std::string rest = model.takePaper();
    std::fwrite(rest.data(), 1, rest.size(), paper);
    std::fclose(paper);
    WriteFileAtomically(o.dir + "/state", StateText(model, pc, sync, 0));
    log.event(NowMs(), "simulator ends");
    close(ctl);
    close(ctlKeep);
    unlink(fifo.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
    signal(SIGPIPE, SIG_IGN);
    try {
        return Run(ParseArgs(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << "vesksim: " << e.what() << "\n";
        return 2;
    }
}
