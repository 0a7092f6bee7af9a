// The job's link operations: the connect loop with its attempts, statuses
// and errors, rate changes in the middle of a job, writes that reach the
// instrument and the trace, and a reader thread beside the writing job; the
// in-memory link on its simulated clock, with its line faults, and the
// tracing wrapper.
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
#include "access/memory_link.hpp"
#include "sim/instrument.hpp"
#include "sim/pty.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix {
namespace {

using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

int termios_fd(JobContext& ctx) { return dynamic_cast<SerialLink&>(ctx.link().inner()).fd(); }

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

// Answers "q" at once with "quick" and "p" after 300 ms with "pong"; when
// streaming, says "tick" every second.
class Answerer : public sim::Instrument {
public:
    explicit Answerer(bool streaming = false) : streaming_(streaming) {}
    std::chrono::milliseconds tick_interval() const override {
        return std::chrono::milliseconds(streaming_ ? 1000 : 0);
    }

protected:
    void on_bytes(std::string_view bytes) override {
        for (char c : bytes) {
            if (c == 'q') reply("quick");
            if (c != 'p') continue;
            pause(std::chrono::milliseconds(300));
            reply("pong");
        }
    }
    void on_tick() override { reply("tick"); }

private:
    bool streaming_;
};

struct MemoryRig {
    explicit MemoryRig(bool streaming = false)
        : sim(std::make_unique<Answerer>(streaming)), ctx(sim.job(rep, AccessType::ReadTrackLog, ProtocolType::Mlr)) {}
    std::string read(int timeout_ms = kReadTimeoutMs) {
        uint8_t buf[64];
        const int n = ctx->link().read(buf, sizeof buf, timeout_ms);
        return n < 0 ? "error" : std::string(reinterpret_cast<char*>(buf), static_cast<std::size_t>(n));
    }
    void write(std::string_view s) { ASSERT_EQ(write_text(*ctx, s), 0); }

    test::RecordingReporter rep;
    test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(ConnectSerial, TimeoutOfFiveCountsDownThenFails) {
    MemoryRig rig;
    rig.sim.link().set_present(false);
    rig.ctx->options.timeout_seconds = 5;
    EXPECT_LT(connect_serial(*rig.ctx, 9600, false), 0);
    std::vector<std::string> expected = {"Connecting to GPS (5)", "Connecting to GPS (4)", "Connecting to GPS (3)",
                                         "Connecting to GPS (2)", "Connecting to GPS (1)"};
    EXPECT_EQ(rig.rep.statuses(), expected);
    ASSERT_EQ(rig.rep.count("error"), 1);
    EXPECT_EQ(rig.rep.last_error().text, "Could not open serial port (sure it's the right one ?)");
    EXPECT_EQ(rig.rep.last_error().title, "Connecting to GPS on memory (not among the serial ports found)");
    EXPECT_FALSE(rig.ctx->link().is_open());
    // One second between attempts, on the link's clock.
    EXPECT_EQ(rig.sim.now_ms(), 5000);
}

TEST(MemoryLink, ConnectsAtTheRateAskedAndSettles) {
    MemoryRig rig;
    ASSERT_EQ(connect_serial(*rig.ctx, 4800, false), 0);
    EXPECT_TRUE(rig.rep.statuses().empty());
    EXPECT_EQ(rig.sim.now_ms(), 200);
    ASSERT_EQ(set_baud(*rig.ctx, 38400), 0);
    EXPECT_EQ(rig.sim.now_ms(), 400);
    rig.ctx->protocol_type = ProtocolType::FlytecIq;
    ASSERT_EQ(set_baud(*rig.ctx, 57600), 0);
    EXPECT_EQ(rig.sim.link().settings(),
              (std::vector<std::pair<int, bool>>{{4800, false}, {38400, false}, {57600, true}}));
    EXPECT_LT(set_baud(*rig.ctx, 12345), 0);
    EXPECT_EQ(rig.rep.last_error().text, "Error setting COM port state");
    end_job(*rig.ctx);
    EXPECT_FALSE(rig.sim.link().is_open());
    EXPECT_EQ(rig.read(), "error");
    uint8_t b = 0;
    EXPECT_LT(write_bytes(*rig.ctx, &b, 1), 0);
}

TEST(MemoryLink, ReadsWaitOnTheSimulatedClockForTheReply) {
    MemoryRig rig;
    ASSERT_EQ(rig.ctx->link().open("memory"), 0);
    rig.write("p");
    // Each empty read takes its 50 ms; the one that reaches the reply stops there.
    std::string got;
    int reads = 0;
    while (got.empty() && reads < 100) {
        got = rig.read();
        ++reads;
    }
    EXPECT_EQ(got, "pong");
    EXPECT_EQ(reads, 6);
    EXPECT_EQ(rig.sim.now_ms(), 300);
    // A long time-out ends at the reply, a silence at the time-out.
    rig.write("p");
    EXPECT_EQ(rig.read(5000), "pong");
    EXPECT_EQ(rig.sim.now_ms(), 600);
    EXPECT_EQ(rig.read(10000), "");
    EXPECT_EQ(rig.sim.now_ms(), 10600);
    // A pause runs on the same clock.
    EXPECT_TRUE(rig.ctx->pause_ms(400));
    EXPECT_EQ(rig.sim.now_ms(), 11000);
    EXPECT_EQ(rig.sim.link().transcript().size(), 4u);
    EXPECT_EQ(rig.sim.link().exchange(), "ppongppong");
}

TEST(MemoryLink, StreamingInstrumentTicksAsTimePasses) {
    MemoryRig rig(true);
    ASSERT_EQ(rig.ctx->link().open("memory"), 0);
    EXPECT_EQ(rig.read(2500), "tick");
    EXPECT_EQ(rig.sim.now_ms(), 1000);
    EXPECT_EQ(rig.read(2500), "tick");
    EXPECT_EQ(rig.sim.now_ms(), 2000);
    // Purging drops what came due unread.
    EXPECT_TRUE(rig.ctx->pause_ms(1500));
    ASSERT_EQ(rig.ctx->link().purge(), 0);
    EXPECT_EQ(rig.read(400), "");
    EXPECT_EQ(rig.read(400), "tick");
    EXPECT_EQ(rig.sim.now_ms(), 4000);
}

TEST(MemoryLink, LineFaultsCountBothDirections) {
    struct Case {
        LineFaults faults;
        const char* exchange;
        const char* got;
    };
    const auto cut = [](std::size_t n) {
        LineFaults f;
        f.cut_after = n;
        return f;
    };
    const auto spoil = [](std::size_t n) {
        LineFaults f;
        f.spoil_at = n;
        return f;
    };
    const Case cases[] = {
        {{}, "qquickqquick", "quickquick"},
        {cut(0), "", ""},
        {cut(3), "qqu", "qu"},             // the second question never reaches the instrument
        {cut(7), "qquickq", "quick"},
        {spoil(0), "\x8eqquick", "quick"},   // the first question is lost on the way
        {spoil(2), "qq\x8aickqquick", "q\x8aickquick"},
    };
    for (const Case& k : cases) {
        MemoryRig rig;
        rig.sim.link().set_faults(k.faults);
        ASSERT_EQ(rig.ctx->link().open("memory"), 0);
        std::string got;
        for (int i = 0; i < 2; ++i) {
            rig.write("q");
            got += rig.read();
        }
        EXPECT_EQ(rig.sim.link().exchange(), k.exchange) << k.exchange;
        EXPECT_EQ(got, k.got) << k.exchange;
        // A cut line still takes what the program writes.
        EXPECT_EQ(rig.rep.count("error"), 0);
    }
}

TEST(MemoryLink, FailingPortAndWatch) {
    MemoryRig rig;
    ASSERT_EQ(rig.ctx->link().open("memory"), 0);
    int fired = 0;
    rig.sim.link().watch(3, [&fired] { ++fired; });
    rig.write("qq");
    EXPECT_EQ(rig.read(), "quickquick");
    EXPECT_EQ(fired, 1);
    rig.sim.link().set_read_failure(true);
    EXPECT_EQ(rig.read(), "error");
    rig.sim.link().set_write_failure(true);
    uint8_t b = 'q';
    EXPECT_LT(write_bytes(*rig.ctx, &b, 1), 0);
    EXPECT_EQ(rig.sim.link().crossed(), 12u);
    EXPECT_EQ(rig.sim.link().opens(), 1);
}

TEST(TracingLink, WritesAlwaysReadsOnRequest) {
    MemoryRig rig;
    ASSERT_EQ(rig.ctx->link().open("memory"), 0);
    clear_trace();
    rig.write("q");
    EXPECT_EQ(rig.read(), "quick");
    EXPECT_EQ(trace_snapshot(), "q");
    rig.ctx->link().set_trace_input(true);
    rig.write("q");
    EXPECT_EQ(rig.read(), "quick");
    EXPECT_EQ(trace_snapshot(), "qqquick");
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
    EXPECT_FALSE(ctx.link().is_open());
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
    EXPECT_FALSE(ctx.link().is_open());
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
    EXPECT_TRUE(ctx.link().is_open());
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
    EXPECT_FALSE(ctx->link().is_open());
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
    ASSERT_EQ(tcgetattr(termios_fd(*ctx), &t), 0);
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
    ASSERT_EQ(tcgetattr(termios_fd(*ctx), &t), 0);
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
    ASSERT_EQ(ctx->reader.start(ctx->link(), ctx->timer,
                                [&](const uint8_t* d, std::size_t n) {
                                    std::lock_guard lock(m);
                                    received.append(reinterpret_cast<const char*>(d), n);
                                }),
              0);
    EXPECT_LT(ctx->reader.start(ctx->link(), ctx->timer, {}), 0);   // one reader at a time
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
    EXPECT_FALSE(ctx->link().is_open());
    EXPECT_FALSE(ctx->reader.failed());
}

TEST_F(JobLinkPty, ReaderThreadEndsOnAbort) {
    auto ctx = context(ProtocolType::Mtk, pty_.device_path());
    ASSERT_EQ(connect_serial(*ctx, 115200, false), 0);
    ASSERT_EQ(ctx->reader.start(ctx->link(), ctx->timer, [](const uint8_t*, std::size_t) {}), 0);
    ctx->timer.abort();
    auto t0 = Clock::now();
    ctx->reader.stop();
    EXPECT_LT(ms_since(t0), 500);
}

}  // namespace
}  // namespace orlogix
