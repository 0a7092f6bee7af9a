// The line rate on the simulated line: the pseudo-terminal's master shows
// the rate the program set on the slave, and the runner garbles bytes both
// ways while it differs from the rate the instrument talks at (the memory
// runner's garbling is shown by the MLR jobs' test).
#include <gtest/gtest.h>
#include <termios.h>

#include "serial_fd.hpp"
#include "sim/harness.hpp"
#include "sim/pty.hpp"

namespace orlogix::sim {
namespace {

using namespace std::chrono_literals;
using test::SerialFd;

// Keeps what it heard and answers every piece of it, at 4800 baud.
class Rated : public Instrument {
public:
    Rated() { talk_at(4800); }
    std::string heard;

protected:
    void on_bytes(std::string_view bytes) override {
        heard += bytes;
        reply("ok\n");
    }
};

void set_rate(int fd, speed_t speed) {
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    cfsetspeed(&t, speed);
    ASSERT_EQ(tcsetattr(fd, TCSADRAIN, &t), 0);
}

TEST(LineRate, TheMasterShowsTheRateSetOnTheSlave) {
    PtyPair pty;
    ASSERT_EQ(pty.open(), 0);
    EXPECT_EQ(line_rate(pty.master_fd()), 0);
    {
        SerialFd port(pty.device_path());
        ASSERT_TRUE(port.ok());
        for (const auto& [speed, baud] : {std::pair{B4800, 4800}, {B38400, 38400}, {B115200, 115200}}) {
            set_rate(port.fd(), speed);
            EXPECT_EQ(line_rate(pty.master_fd()), baud);
        }
    }
    EXPECT_EQ(line_rate(pty.master_fd()), 115200);   // after the port is closed
}

TEST(LineRate, PtyRunnerGarblesBothWaysWhileTheRatesDiffer) {
    auto owned = std::make_unique<Rated>();
    Rated& inst = *owned;
    Harness h(std::move(owned));
    ASSERT_EQ(h.start(), 0);
    SerialFd port(h.device_path());
    set_rate(port.fd(), B9600);
    ASSERT_TRUE(port.send("a\n"));
    EXPECT_EQ(port.read_n(3), "\xFF\xFF\xFF");
    set_rate(port.fd(), B4800);
    ASSERT_TRUE(port.send("b\n"));
    EXPECT_EQ(port.read_n(3), "ok\n");
    h.stop();
    EXPECT_EQ(inst.heard, "\xFF\xFF" "b\n");
    const std::vector<TranscriptEntry> t = h.runner().transcript();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].rate, 9600);
    EXPECT_EQ(t[1].rate, 9600);
    EXPECT_EQ(t[2].rate, 4800);
    EXPECT_EQ(t[3].bytes, "ok\n");
}

}  // namespace
}  // namespace orlogix::sim
