// The termios link against a pseudo-terminal: the "instrument" holds the
// master side, the link opens the slave device like any serial port.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "access/debug_trace.hpp"
#include "access/serial_link.hpp"
#include "access/tracing_link.hpp"
#include "sim/pty.hpp"

namespace orlogix {
namespace {

// Everything the master side can read within ms milliseconds.
std::string drain_master(int fd, int ms) {
    std::string got;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        char buf[4096];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

void master_write(int fd, std::string_view bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

class SerialLinkPty : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(pty_.open(), 0); }
    sim::PtyPair pty_;
    SerialLink link_;
};

TEST_F(SerialLinkPty, BytesWrittenArriveAtTheInstrument) {
    ASSERT_EQ(link_.open(pty_.device_path()), 0);
    ASSERT_EQ(link_.configure(9600, false), 0);
    const uint8_t packet[] = {0x10, 0xFE, 0x00, 0x02, 0x10, 0x03};
    EXPECT_EQ(link_.write(packet, sizeof packet), 0);
    EXPECT_EQ(drain_master(pty_.master_fd(), 200), std::string(reinterpret_cast<const char*>(packet), sizeof packet));
}

TEST_F(SerialLinkPty, BytesFromTheInstrumentArriveAndAreTracedOnRequest) {
    // Through the tracing wrapper, as a job's link is used.
    auto serial = std::make_shared<SerialLink>();
    TracingLink link(serial);
    ASSERT_EQ(link.open(pty_.device_path()), 0);
    ASSERT_EQ(link.configure(57600, false), 0);
    master_write(pty_.master_fd(), std::string("$PBRSNP,\0\x13\x11\xff", 12));
    clear_trace();
    link.set_trace_input(true);
    std::string got;
    for (int i = 0; i < 40 && got.size() < 12; ++i) {
        uint8_t buf[64];
        int n = link.read(buf, sizeof buf);
        ASSERT_GE(n, 0);
        got.append(reinterpret_cast<char*>(buf), static_cast<std::size_t>(n));
    }
    // Raw mode: NUL and the flow control characters pass untouched when XON/XOFF is off.
    EXPECT_EQ(got, std::string("$PBRSNP,\0\x13\x11\xff", 12));
    EXPECT_EQ(trace_snapshot(), got);
    EXPECT_EQ(link.baud(), 57600);
    EXPECT_FALSE(link.xon_xoff());
}

TEST_F(SerialLinkPty, ReadWithoutInputReturnsNothingAfterTheTimeOut) {
    ASSERT_EQ(link_.open(pty_.device_path()), 0);
    ASSERT_EQ(link_.configure(9600, false), 0);
    uint8_t buf[16];
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(link_.read(buf, sizeof buf), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 40);
    EXPECT_LT(ms, 1000);   // a read must never block the job's abort test for long
}

TEST_F(SerialLinkPty, LineSettingsAreRaw8N1WithFlowControlAsAsked) {
    ASSERT_EQ(link_.open(pty_.device_path()), 0);
    ASSERT_EQ(link_.configure(4800, true), 0);
    termios t{};
    ASSERT_EQ(tcgetattr(link_.fd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B4800));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);
    ASSERT_EQ(link_.configure(115200, false), 0);
    ASSERT_EQ(tcgetattr(link_.fd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(link_.baud(), 115200);
}

TEST_F(SerialLinkPty, UnsupportedRateIsRefused) {
    ASSERT_EQ(link_.open(pty_.device_path()), 0);
    EXPECT_LT(link_.configure(12345, false), 0);
    unsigned speed = 0;
    EXPECT_TRUE(termios_speed(38400, speed));
    EXPECT_EQ(speed, static_cast<unsigned>(B38400));
    EXPECT_FALSE(termios_speed(0, speed));
}

TEST_F(SerialLinkPty, XoffFromTheInstrumentDoesNotHangAWrite) {
    ASSERT_EQ(link_.open(pty_.device_path()), 0);
    ASSERT_EQ(link_.configure(57600, true), 0);
    master_write(pty_.master_fd(), "\x13");   // XOFF
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Output is stopped: the driver takes nothing more.
    std::vector<uint8_t> packet(100, 'B');
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_LT(link_.write(packet.data(), packet.size()), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, SerialLink::write_budget_ms(57600, packet.size()) - 10);
    EXPECT_LT(ms, 5000);
    // XON lets output go again and the link stays usable.
    master_write(pty_.master_fd(), "\x11");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint8_t ok[] = {'O', 'K'};
    EXPECT_EQ(link_.write(ok, 2), 0);
    std::string drained = drain_master(pty_.master_fd(), 200);
    ASSERT_GE(drained.size(), 2u);
    EXPECT_EQ(drained.substr(drained.size() - 2), "OK");
}

TEST_F(SerialLinkPty, PurgeDropsUnreadInput) {
    ASSERT_EQ(link_.open(pty_.device_path()), 0);
    ASSERT_EQ(link_.configure(9600, false), 0);
    master_write(pty_.master_fd(), "stale bytes");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(link_.purge(), 0);
    uint8_t buf[32];
    EXPECT_EQ(link_.read(buf, sizeof buf), 0);
}

TEST_F(SerialLinkPty, SecondOpenOfABusyPortFailsUntilClosed) {
    ASSERT_EQ(link_.open(pty_.device_path()), 0);
    SerialLink other;
    EXPECT_LT(other.open(pty_.device_path()), 0);
    link_.close();
    EXPECT_FALSE(link_.is_open());
    EXPECT_EQ(other.open(pty_.device_path()), 0);
}

TEST_F(SerialLinkPty, ClosedInstrumentSideIsAReadError) {
    ASSERT_EQ(link_.open(pty_.device_path()), 0);
    ASSERT_EQ(link_.configure(9600, false), 0);
    std::string path = pty_.device_path();
    pty_.close();
    uint8_t buf[8];
    int r = 0;
    for (int i = 0; i < 5 && r == 0; ++i) r = link_.read(buf, sizeof buf);
    EXPECT_LT(r, 0);
}

TEST(SerialLink, NotATerminalCannotBeConfigured) {
    SerialLink link;
    ASSERT_EQ(link.open("/dev/null"), 0);
    EXPECT_LT(link.configure(9600, false), 0);
    EXPECT_LT(SerialLink().open("/dev/orlogix-no-such-port"), 0);
    uint8_t b = 0;
    SerialLink closed;
    EXPECT_LT(closed.write(&b, 1), 0);
    EXPECT_LT(closed.read(&b, 1), 0);
}

TEST(SerialLink, WriteBudgetPerByte) {
    EXPECT_EQ(SerialLink::write_budget_ms(4800, 1000), 3000);
    EXPECT_EQ(SerialLink::write_budget_ms(9600, 1000), 2000);
    EXPECT_EQ(SerialLink::write_budget_ms(115200, 1000), 2000);
    // Short writes still get time for the scheduler.
    EXPECT_GE(SerialLink::write_budget_ms(9600, 1), 50);
}

}  // namespace
}  // namespace orlogix
