// The runner on a real pseudo-terminal: the program's side is a plain raw fd
// on the slave device, as a serial link would open it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>

#include <thread>

#include "paced_echo.hpp"
#include "serial_fd.hpp"
#include "sim/family_registry.hpp"
#include "sim/harness.hpp"
#include "sim/upload_log.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix::sim {
namespace {

using namespace std::chrono_literals;
using test::SerialFd;

std::unique_ptr<Instrument> echo(FaultSettings faults = {}, FamilyOptions options = {}) {
    FamilyRegistry registry;
    register_all_families(registry);
    orlogix::test::RecordingReporter r;
    auto inst = registry.find("echo")->make(options, r);
    inst->set_faults(faults);
    return inst;
}

TEST(RunnerOverPty, EchoesLinesAndKeepsATranscript) {
    Harness h(echo());
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    ASSERT_TRUE(port.ok());
    ASSERT_TRUE(port.send("PING\r\n"));
    EXPECT_EQ(port.read_n(6), "PING\r\n");
    ASSERT_TRUE(port.send("ab"));
    ASSERT_TRUE(h.runner().wait_received(8, 2s));
    EXPECT_EQ(port.read_for(50ms), "");  // half a line is not answered
    ASSERT_TRUE(port.send("c\n"));
    EXPECT_EQ(port.read_n(4), "abc\n");
    h.stop();
    EXPECT_EQ(h.runner().received(), "PING\r\nabc\n");
    EXPECT_EQ(h.runner().sent(), "PING\r\nabc\n");
    const auto t = h.runner().transcript();
    ASSERT_GE(t.size(), 2u);
    EXPECT_TRUE(t.front().from_program);
    EXPECT_FALSE(t.back().from_program);
}

// Paced, the instrument hears a line only once it has crossed at the rate
// the program set, and its echo comes back no faster than that rate either.
TEST(RunnerOverPty, PacedBytesTakeTheirTimeOnTheWireBothWays) {
    for (const auto& [speed, baud] : {std::pair{B9600, 9600}, {B38400, 38400}}) {
        Harness h(echo(), Pacing::LineRate);
        ASSERT_EQ(h.start(), 0);
        SerialFd port(h.device_path());
        ASSERT_TRUE(port.ok());
        EXPECT_TRUE(test::echo_keeps_to_the_line(port, speed, baud, std::string(60, 'p') + "\n")) << baud;
        EXPECT_TRUE(test::echo_keeps_to_the_line(port, speed, baud, "short\r")) << baud;
        h.stop();
        EXPECT_EQ(h.runner().sent(), std::string(60, 'p') + "\nshort\r");
    }
}

TEST(RunnerOverPty, SilentInstrumentSendsNothing) {
    FaultSettings f;
    f.silent = true;
    Harness h(echo(f));
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    ASSERT_TRUE(port.send("one\ntwo\n"));
    ASSERT_TRUE(h.runner().wait_received(8, 2s));
    EXPECT_EQ(port.read_for(100ms), "");
}

TEST(RunnerOverPty, CorruptSpoilsExactlyTheNthReply) {
    FaultSettings f;
    f.corrupt_reply = 2;
    Harness h(echo(f));
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    ASSERT_TRUE(port.send("aaaa\nbbbb\ncccc\n"));
    const std::string got = port.read_n(15);
    ASSERT_EQ(got.size(), 15u);
    EXPECT_EQ(got.substr(0, 5), "aaaa\n");
    EXPECT_EQ(got.substr(10), "cccc\n");
    int differing = 0;
    for (std::size_t i = 5; i < 10; ++i) differing += got[i] != "bbbb\n"[i - 5];
    EXPECT_EQ(differing, 1);
    EXPECT_EQ(got[7], static_cast<char>('b' ^ 0xFF));
}

TEST(RunnerOverPty, DropLeavesOutOnlyTheNthReply) {
    FaultSettings f;
    f.drop_reply = 1;
    Harness h(echo(f));
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    ASSERT_TRUE(port.send("first\nsecond\n"));
    EXPECT_EQ(port.read_n(7), "second\n");
    EXPECT_EQ(port.read_for(50ms), "");
}

TEST(RunnerOverPty, CutAfterStopsAfterNBytesForGood) {
    FaultSettings f;
    f.cut_after = 7;
    Harness h(echo(f));
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    ASSERT_TRUE(port.send("12345\n"));
    EXPECT_EQ(port.read_n(6), "12345\n");
    ASSERT_TRUE(port.send("abcde\nxyz\n"));
    EXPECT_EQ(port.read_n(1), "a");
    ASSERT_TRUE(h.runner().wait_received(16, 2s));
    EXPECT_EQ(port.read_for(100ms), "");
    h.stop();
    EXPECT_EQ(h.runner().sent(), "12345\na");
}

TEST(RunnerOverPty, SurvivesTheProgramClosingAndReopeningThePort) {
    Harness h(echo());
    ASSERT_EQ(h.start(), 0);
    {
        SerialFd port(h.device_path());
        ASSERT_TRUE(port.send("before\n"));
        EXPECT_EQ(port.read_n(7), "before\n");
    }
    std::this_thread::sleep_for(30ms);
    for (int round = 0; round < 3; ++round) {
        SerialFd port(h.device_path());
        ASSERT_TRUE(port.ok());
        const std::string line = "again" + std::to_string(round) + "\n";
        ASSERT_TRUE(port.send(line));
        EXPECT_EQ(port.read_n(line.size()), line);
    }
}

TEST(RunnerOverPty, ABaudRateChangeOnTheSlaveChangesNothing) {
    Harness h(echo());
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    for (speed_t speed : {B9600, B57600, B115200}) {
        termios t{};
        ASSERT_EQ(tcgetattr(port.fd(), &t), 0);
        cfsetspeed(&t, speed);
        ASSERT_EQ(tcsetattr(port.fd(), TCSADRAIN, &t), 0);
        ASSERT_TRUE(port.send("x\n"));
        EXPECT_EQ(port.read_n(2), "x\n");
    }
}

TEST(RunnerOverPty, LongRepliesLargerThanThePtyBufferArriveWhole) {
    Harness h(echo());
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    std::string line;
    for (int i = 0; i < 3000; ++i) line += static_cast<char>('A' + i % 26);
    line += '\n';
    std::string got;
    // Write and read at the same time: the pty holds only a few kB each way.
    std::thread reader([&] { got = port.read_n(2 * line.size(), 10s); });
    ASSERT_TRUE(port.send(line));
    ASSERT_TRUE(port.send(line));
    reader.join();
    EXPECT_EQ(got, line + line);
}

// A family that streams a sentence on every tick and answers "W..." lines
// by reporting them as uploaded waypoints after a pause.
class StreamingInstrument : public Instrument {
public:
    std::chrono::milliseconds tick_interval() const override { return 10ms; }

protected:
    void on_tick() override { reply("$TICK\r\n"); }
    void on_bytes(std::string_view bytes) override {
        for (char c : bytes) {
            if (c != '\n') {
                line_ += c;
                continue;
            }
            report("waypoint " + line_);
            pause(300ms);
            reply("ACK\n");
            line_.clear();
        }
    }

private:
    std::string line_;
};

TEST(RunnerOverPty, TicksSendUnsolicitedData) {
    Harness h(std::make_unique<StreamingInstrument>());
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    EXPECT_EQ(port.read_n(21), "$TICK\r\n$TICK\r\n$TICK\r\n");
}

TEST(RunnerOverPty, PauseHoldsTheReplyBackAndReportsReachTheSink) {
    UploadLog uploads;
    auto inst = std::make_unique<StreamingInstrument>();
    inst->set_report_sink(uploads.sink());
    Harness h(std::move(inst));
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    ASSERT_TRUE(port.send("A01\n"));
    ASSERT_TRUE(uploads.wait_for(1, 2s));
    EXPECT_EQ(uploads.lines(), std::vector<std::string>{"waypoint A01"});
    // Ticks keep going, but the answer waits for its pause.
    const std::string early = port.read_for(150ms);
    EXPECT_EQ(early.find("ACK"), std::string::npos);
    std::string later;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (later.find("ACK\n") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        later += port.read_for(50ms);
    EXPECT_NE(later.find("ACK\n"), std::string::npos);
}

TEST(RunnerInProcess, StepServesOnTheCallersThread) {
    auto inst = echo();
    PtyPair pty;
    ASSERT_EQ(pty.open(), 0);
    Runner runner(*inst, pty.master_fd());
    SerialFd port(pty.device_path());
    ASSERT_TRUE(port.send("step\n"));
    for (int i = 0; i < 50 && runner.sent().size() < 5; ++i) runner.step(20ms);
    EXPECT_EQ(runner.sent(), "step\n");
    EXPECT_EQ(port.read_n(5), "step\n");
    EXPECT_FALSE(runner.running());
}

TEST(RunnerInProcess, StopWithoutStartAndTwiceIsHarmless) {
    auto inst = echo();
    PtyPair pty;
    ASSERT_EQ(pty.open(), 0);
    Runner runner(*inst, pty.master_fd());
    runner.stop();
    ASSERT_EQ(runner.start(), 0);
    EXPECT_TRUE(runner.running());
    runner.stop();
    runner.stop();
    EXPECT_FALSE(runner.running());
}

}  // namespace
}  // namespace orlogix::sim

namespace orlogix::sim {
namespace {

// With no program holding the slave side, reads on the master fail with EIO
// and poll reports hang-up: the runner must wait for the next open, not quit.
TEST(RunnerWithoutSlave, WaitsForTheProgramToOpenThePort) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK), 0);
    ::close(slave);
    auto inst = echo();
    {
        Runner runner(*inst, master);
        ASSERT_EQ(runner.start(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_TRUE(runner.running());
        SerialFd port(name);
        ASSERT_TRUE(port.ok());
        ASSERT_TRUE(port.send("late\n"));
        EXPECT_EQ(port.read_n(5), "late\n");
        port.close();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        SerialFd again(name);
        ASSERT_TRUE(again.send("later\n"));
        EXPECT_EQ(again.read_n(6), "later\n");
    }
    ::close(master);
}

}  // namespace
}  // namespace orlogix::sim
