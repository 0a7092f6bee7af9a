// The job's link operations: the connect loop with its attempts, statuses
// and errors, rate changes in the middle of a job, writes that reach the
// instrument and the trace, and a reader thread beside the writing job.
#include <gtest/gtest.h>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "access/debug_trace.hpp"
#include "access/job_context.hpp"
#include "access/link.hpp"
#include "sim/pty.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

std::string drain(int fd, int ms) {
    std::string got;
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        char buf[1024];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

TEST(ConnectSerial, TimeoutOfFiveCountsDownThenFails) {
    test::RecordingReporter rep;
    JobContext ctx(rep, AccessType::ReadTrackLog, ProtocolType::GarminSerial, "/dev/orlogix-missing-port");
    ctx.options.timeout_seconds = 5;
    EXPECT_LT(connect_serial(ctx, 9600, false), 0);
    std::vector<std::string> expected = {"Connecting to GPS (5)", "Connecting to GPS (4)", "Connecting to GPS (3)",
                                         "Connecting to GPS (2)", "Connecting to GPS (1)"};
    EXPECT_EQ(rep.statuses(), expected);
    ASSERT_EQ(rep.count("error"), 1);
    EXPECT_EQ(rep.last_error().text, "Could not open serial port (sure it's the right one ?)");
    EXPECT_EQ(rep.last_error().title, "Connecting to GPS on /dev/orlogix-missing-port");
    EXPECT_FALSE(ctx.serial.is_open());
}

TEST(ConnectSerial, AbortEndsTheLoopAtOnce) {
    test::RecordingReporter rep;
    JobContext ctx(rep, AccessType::ReadTrackLog, ProtocolType::GarminSerial, "COM7");
    ctx.device_roots = {"/nonexistent-dev", "/nonexistent-sys"};
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ctx.timer.abort();
    });
    auto t0 = Clock::now();
    EXPECT_LT(connect_serial(ctx, 9600, false), 0);
    EXPECT_LT(ms_since(t0), 900);   // well inside the one-second pause
    aborter.join();
    ASSERT_FALSE(rep.statuses().empty());
    EXPECT_EQ(rep.statuses().front(), "Connecting to GPS (30)");
    EXPECT_EQ(rep.statuses().back(), "Transfer aborted");
    EXPECT_EQ(rep.count("error"), 0);
}

TEST(ConnectSerial, AbortedBeforeStartDoesNotOpen) {
    sim::PtyPair pty;
    ASSERT_EQ(pty.open(), 0);
    test::RecordingReporter rep;
    JobContext ctx(rep, AccessType::ReadTrackLog, ProtocolType::GarminSerial, pty.device_path());
    ctx.timer.abort();
    EXPECT_LT(connect_serial(ctx, 9600, false), 0);
    EXPECT_FALSE(ctx.serial.is_open());
    EXPECT_EQ(rep.statuses(), std::vector<std::string>{"Transfer aborted"});
}

TEST(ConnectSerial, DeviceThatCannotBeSetUpStopsTrying) {
    test::RecordingReporter rep;
    JobContext ctx(rep, AccessType::ReadTrackLog, ProtocolType::GarminSerial, "/dev/null");
    auto t0 = Clock::now();
    EXPECT_LT(connect_serial(ctx, 9600, false), 0);
    EXPECT_LT(ms_since(t0), 900);
    EXPECT_TRUE(rep.statuses().empty());
    EXPECT_EQ(rep.last_error().text, "Error while initialising port");
    EXPECT_EQ(rep.last_error().title, "Connecting to GPS on /dev/null");
    EXPECT_FALSE(ctx.serial.is_open());
}

TEST(ConnectSerial, BusyPortIsRetriedUntilFree) {
    sim::PtyPair pty;
    ASSERT_EQ(pty.open(), 0);
    SerialLink holder;
    ASSERT_EQ(holder.open(pty.device_path()), 0);
    test::RecordingReporter rep;
    JobContext ctx(rep, AccessType::ReadTrackLog, ProtocolType::GarminSerial, pty.device_path());
    ctx.options.timeout_seconds = 3;
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        holder.close();
    });
    EXPECT_EQ(connect_serial(ctx, 9600, false), 0);
    release.join();
    EXPECT_EQ(rep.statuses(), std::vector<std::string>{"Connecting to GPS (3)"});
    EXPECT_TRUE(ctx.serial.is_open());
}

class JobLinkPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pty_.open(), 0);
        dir_ = std::filesystem::temp_directory_path() / ("orlogix-link-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "dev");
        std::filesystem::create_directories(dir_ / "sys/class/tty/ttyUSB0/device/driver");
        // COM1 is the first listed port: a fake ttyUSB0 that leads to the pseudo-terminal.
        std::filesystem::create_symlink(pty_.device_path(), dir_ / "dev" / "ttyUSB0");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::unique_ptr<JobContext> context(ProtocolType p, const std::string& port) {
        auto ctx = std::make_unique<JobContext>(rep_, AccessType::ReadTrackLog, p, port);
        ctx->device_roots = {(dir_ / "dev").string(), (dir_ / "sys").string()};
        return ctx;
    }

    sim::PtyPair pty_;
    std::filesystem::path dir_;
    test::RecordingReporter rep_;
};

TEST_F(JobLinkPty, ComNumberConnectsAndWritesGoToInstrumentAndTrace) {
    auto ctx = context(ProtocolType::GarminSerial, "COM1");
    ASSERT_EQ(connect_serial(*ctx, 9600, false), 0);
    EXPECT_TRUE(rep_.statuses().empty());
    clear_trace();
    const uint8_t ack[] = {0x10, 0x06, 0x02, 0x0A, 0x00, 0xEE, 0x10, 0x03};
    EXPECT_EQ(write_bytes(*ctx, ack, sizeof ack), 0);
    EXPECT_EQ(write_text(*ctx, "$PMGNCMD,VERSION*19\r\n"), 0);
    std::string want = std::string(reinterpret_cast<const char*>(ack), sizeof ack) + "$PMGNCMD,VERSION*19\r\n";
    EXPECT_EQ(drain(pty_.master_fd(), 200), want);
    EXPECT_EQ(trace_snapshot(), want);
    end_job(*ctx);
    EXPECT_FALSE(ctx->serial.is_open());
    uint8_t b = 0;
    EXPECT_LT(write_bytes(*ctx, &b, 1), 0);
}

TEST_F(JobLinkPty, UnlistedComNumberNeverOpens) {
    auto ctx = context(ProtocolType::GarminSerial, "COM2");
    ctx->options.timeout_seconds = 1;
    EXPECT_LT(connect_serial(*ctx, 9600, false), 0);
    EXPECT_EQ(rep_.last_error().title, "Connecting to GPS on COM2 (not among the serial ports found)");
}

TEST_F(JobLinkPty, PortNumberErrorNamesTheDeviceItTried) {
    // COM2: a listed adapter whose device file is gone.
    std::filesystem::create_directories(dir_ / "sys/class/tty/ttyUSB1/device/driver");
    std::filesystem::create_symlink(dir_ / "unplugged", dir_ / "dev" / "ttyUSB1");
    auto ctx = context(ProtocolType::GarminSerial, "COM2");
    ctx->options.timeout_seconds = 1;
    EXPECT_LT(connect_serial(*ctx, 9600, false), 0);
    EXPECT_EQ(rep_.last_error().text, "Could not open serial port (sure it's the right one ?)");
    EXPECT_EQ(rep_.last_error().title, "Connecting to GPS on COM2 (" + (dir_ / "dev" / "ttyUSB1").string() + ")");
}

TEST_F(JobLinkPty, RateChangeInTheMiddleOfAJob) {
    auto ctx = context(ProtocolType::Mlr, pty_.device_path());
    ASSERT_EQ(connect_serial(*ctx, 4800, false), 0);
    ASSERT_EQ(write_text(*ctx, "$PMLR,24,82*00\r\n"), 0);
    EXPECT_EQ(drain(pty_.master_fd(), 100), "$PMLR,24,82*00\r\n");
    // Bytes still queued at the old rate are dropped by the change.
    ASSERT_EQ(::write(pty_.master_fd(), "old", 3), 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto t0 = Clock::now();
    ASSERT_EQ(set_baud(*ctx, 38400), 0);
    EXPECT_GE(ms_since(t0), 190);
    termios t{};
    ASSERT_EQ(tcgetattr(ctx->serial.fd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
    EXPECT_EQ(t.c_iflag & IXON, 0u);
    ASSERT_EQ(::write(pty_.master_fd(), "new", 3), 3);
    std::string got;
    for (int i = 0; i < 20 && got.size() < 3; ++i) {
        uint8_t buf[16];
        int n = read_bytes(*ctx, buf, sizeof buf);
        ASSERT_GE(n, 0);
        got.append(reinterpret_cast<char*>(buf), static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, "new");
    EXPECT_EQ(rep_.count("error"), 0);
}

TEST_F(JobLinkPty, RateChangeTurnsXonXoffOnForTheFlytecFamily) {
    auto ctx = context(ProtocolType::FlytecIq, pty_.device_path());
    ASSERT_EQ(connect_serial(*ctx, 57600, false), 0);
    ASSERT_EQ(set_baud(*ctx, 57600), 0);
    termios t{};
    ASSERT_EQ(tcgetattr(ctx->serial.fd(), &t), 0);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
}

TEST_F(JobLinkPty, RateChangeFailures) {
    auto ctx = context(ProtocolType::LogIt, pty_.device_path());
    EXPECT_LT(set_baud(*ctx, 57600), 0);
    EXPECT_EQ(rep_.last_error().text, "Error getting COM port state");
    EXPECT_EQ(rep_.last_error().title, "Initialising COM port");
    ASSERT_EQ(connect_serial(*ctx, 4800, false), 0);
    EXPECT_LT(set_baud(*ctx, 12345), 0);
    EXPECT_EQ(rep_.last_error().text, "Error setting COM port state");
}

TEST_F(JobLinkPty, ReaderThreadReadsWhileTheJobWrites) {
    auto ctx = context(ProtocolType::Mtk, pty_.device_path());
    ASSERT_EQ(connect_serial(*ctx, 115200, false), 0);
    std::mutex m;
    std::string received;
    ASSERT_EQ(ctx->reader.start(ctx->serial, ctx->timer,
                                [&](const uint8_t* d, std::size_t n) {
                                    std::lock_guard lock(m);
                                    received.append(reinterpret_cast<const char*>(d), n);
                                }),
              0);
    EXPECT_LT(ctx->reader.start(ctx->serial, ctx->timer, {}), 0);   // one reader at a time
    // The instrument echoes every command while the job keeps writing.
    std::atomic<bool> stop{false};
    std::thread instrument([&] {
        while (!stop) {
            std::string got = drain(pty_.master_fd(), 20);
            if (!got.empty()) {
                ASSERT_EQ(::write(pty_.master_fd(), got.data(), got.size()), static_cast<ssize_t>(got.size()));
            }
        }
    });
    std::string sent;
    for (int i = 0; i < 20; ++i) {
        std::string cmd = "$PMTK182,7," + std::to_string(i) + "*00\r\n";
        ASSERT_EQ(write_text(*ctx, cmd), 0);
        sent += cmd;
    }
    for (int i = 0; i < 100; ++i) {
        {
            std::lock_guard lock(m);
            if (received.size() >= sent.size()) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stop = true;
    instrument.join();
    {
        std::lock_guard lock(m);
        EXPECT_EQ(received, sent);
    }
    // Ending the job stops the reader before the port closes.
    EXPECT_TRUE(ctx->reader.running());
    end_job(*ctx);
    EXPECT_FALSE(ctx->reader.running());
    EXPECT_FALSE(ctx->serial.is_open());
    EXPECT_FALSE(ctx->reader.failed());
}

TEST_F(JobLinkPty, ReaderThreadEndsOnAbort) {
    auto ctx = context(ProtocolType::Mtk, pty_.device_path());
    ASSERT_EQ(connect_serial(*ctx, 115200, false), 0);
    ASSERT_EQ(ctx->reader.start(ctx->serial, ctx->timer, [](const uint8_t*, std::size_t) {}), 0);
    ctx->timer.abort();
    auto t0 = Clock::now();
    ctx->reader.stop();
    EXPECT_LT(ms_since(t0), 500);
}

}  // namespace
}  // namespace orlogix
