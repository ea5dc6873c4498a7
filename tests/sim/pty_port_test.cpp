// The simulator on a real pseudo-terminal: the PC's line settings as the pty shows them, and
// the vesksim program driven as the Wine tests drive it (link, control FIFO, log, paper,
// state).
#include "pty_port.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

using namespace vesksim;
using namespace std::chrono_literals;

namespace {

// Opens the slave as the PC does and sets its line.
int OpenAsPc(const std::string& path, speed_t speed, bool twoStop) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (twoStop) t.c_cflag |= CSTOPB;
    else t.c_cflag &= ~CSTOPB;
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

std::string ReadFor(int fd, std::chrono::milliseconds span) {
    std::string got;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
        else std::this_thread::sleep_for(5ms);
    }
    return got;
}

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::map<std::string, std::string> State(const std::string& dir) {
    std::map<std::string, std::string> m;
    std::istringstream in(Slurp(dir + "/state"));
    for (std::string line; std::getline(in, line);) {
        auto eq = line.find('=');
        if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return m;
}

class Simulator {
public:
    explicit Simulator(std::initializer_list<std::string> extra) {
        char tmpl[] = "/tmp/vesksim-test-XXXXXX";
        dir_ = mkdtemp(tmpl);
        link_ = dir_ + "/com1";
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<std::string> args = {VESKSIM_PATH, "--dir", dir_, "--link", link_,
                                             "--timeout", "60"};
            args.insert(args.end(), extra);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 200 && access((dir_ + "/pty").c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(10ms);
    }
    ~Simulator() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        std::string cmd = "rm -rf " + dir_;
        (void)std::system(cmd.c_str());
    }
    void control(const std::string& line) {
        std::ofstream f(dir_ + "/control");
        f << line << "\n";
    }
    // Waits until the simulator has handled everything sent before.
    std::map<std::string, std::string> sync() {
        std::string token = std::to_string(++syncs_);
        control("sync " + token);
        for (int i = 0; i < 300; ++i) {
            auto s = State(dir_);
            if (s["sync"] == token) return s;
            std::this_thread::sleep_for(10ms);
        }
        ADD_FAILURE() << "simulator did not sync";
        return {};
    }
    const std::string& dir() const { return dir_; }
    const std::string& link() const { return link_; }

private:
    std::string dir_, link_;
    pid_t pid_ = -1;
    int syncs_ = 0;
};

}  // namespace

TEST(PtyPort, ShowsTheBaudRateAndStopBitsThePcSets) {
    PtyPort pty;
    int pc = OpenAsPc(pty.slavePath(), B19200, true);
    ObservedLine line = pty.observe();
    EXPECT_EQ(line.baud, 19200u);
    EXPECT_EQ(line.stopBits, 2u);
    close(pc);
    pc = OpenAsPc(pty.slavePath(), B9600, false);
    line = pty.observe();
    EXPECT_EQ(line.baud, 9600u);
    EXPECT_EQ(line.stopBits, 1u);
    close(pc);
}

TEST(SimulatorProgram, WakesAnswersAndPrintsThroughItsLink) {
    Simulator sim({"--wake-after", "2"});
    int pc = OpenAsPc(sim.link(), B9600, false);
    ASSERT_GE(pc, 0);
    std::string zeros(48, '\0');
    ASSERT_EQ(write(pc, zeros.data(), zeros.size()), 48);
    EXPECT_EQ(ReadFor(pc, 100ms), "");
    ASSERT_EQ(write(pc, zeros.data(), zeros.size()), 48);
    EXPECT_EQ(ReadFor(pc, 100ms), "\x11");
    ASSERT_EQ(write(pc, "\x18\x18\x1DI\x04", 5), 5);
    EXPECT_EQ(ReadFor(pc, 100ms), "9600,N,8,1\r");
    ASSERT_EQ(write(pc, "receipt\n", 8), 8);
    auto state = sim.sync();
    EXPECT_EQ(state["pc_baud"], "9600");
    EXPECT_EQ(state["match"], "1");
    EXPECT_EQ(state["bursts"], "2");
    EXPECT_EQ(state["queries"], "1");
    EXPECT_EQ(Slurp(sim.dir() + "/paper.bin"), "receipt\n");

    std::string log = Slurp(sim.dir() + "/wire.log");
    EXPECT_NE(log.find("> 18 18 1D 49 04"), std::string::npos) << log;
    EXPECT_NE(log.find("< 39 36 30 30 2C 4E 2C 38 2C 31 0D"), std::string::npos) << log;
    EXPECT_NE(log.find("# awake after 2 bursts"), std::string::npos) << log;
    close(pc);
}

TEST(SimulatorProgram, APcAtAnotherBaudRateIsNoiseUntilTheSettingsAgree) {
    Simulator sim({"--settings", "19200,n,8,1"});
    int pc = OpenAsPc(sim.link(), B9600, false);
    std::string zeros(48, '\0');
    ASSERT_EQ(write(pc, zeros.data(), zeros.size()), 48);
    EXPECT_EQ(ReadFor(pc, 150ms), "");
    auto state = sim.sync();
    EXPECT_EQ(state["match"], "0");
    EXPECT_EQ(state["noise"], "48");

    sim.control("settings 9600,n,8,1");
    sim.sync();
    ASSERT_EQ(write(pc, zeros.data(), zeros.size()), 48);
    EXPECT_EQ(ReadFor(pc, 150ms), "\x11");
    close(pc);
}

TEST(SimulatorProgram, ControlChannelSendsBytesAndScriptsReplies) {
    Simulator sim({});
    int pc = OpenAsPc(sim.link(), B9600, false);
    sim.control("send 13 41 11");
    EXPECT_EQ(ReadFor(pc, 150ms), "\x13" "A\x11");
    sim.control("reply-query 20 20 31 0d");
    sim.control("silent off");
    sim.sync();
    std::string zeros(8, '\0');
    ASSERT_EQ(write(pc, zeros.data(), zeros.size()), 8);
    EXPECT_EQ(ReadFor(pc, 100ms), "\x11");
    ASSERT_EQ(write(pc, "\x18\x1DI\x04", 4), 4);
    EXPECT_EQ(ReadFor(pc, 100ms), "  1\r");
    sim.control("silent on");
    sim.sync();
    ASSERT_EQ(write(pc, "\x1DI\x04", 3), 3);
    EXPECT_EQ(ReadFor(pc, 100ms), "");
    close(pc);
}

TEST(SimulatorProgram, PacedPrinterTakesBytesAtTheLineRate) {
    Simulator sim({"--pace", "on"});
    int pc = OpenAsPc(sim.link(), B9600, false);
    std::string data(960, 'p');  // one second of a 9600-baud line
    fcntl(pc, F_SETFL, fcntl(pc, F_GETFL) | O_NONBLOCK);
    ASSERT_EQ(write(pc, data.data(), data.size()), 960);
    std::this_thread::sleep_for(500ms);
    auto state = sim.sync();
    long got = std::stol(state["received"]);
    EXPECT_GE(got, 300);
    EXPECT_LE(got, 700);
    EXPECT_GT(std::stol(state["backlog"]), 200) << "the rest waits in the pseudo-terminal";
    close(pc);
}
