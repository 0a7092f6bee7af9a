// A small line protocol run as a real job through the framework over a
// pseudo-terminal: the normal download, a silent instrument and an abort in
// the middle of the transfer.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "access/debug_trace.hpp"
#include "access/event_loop.hpp"
#include "access/job_framework.hpp"
#include "access/link.hpp"
#include "core/current_data.hpp"
#include "core/report.hpp"
#include "sim/pty.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

using namespace std::chrono_literals;

// Asks for the log with "LOG\r\n" and takes "FIX,<time>" lines until "END".
int read_fix_log(JobContext& ctx) {
    if (connect_serial(ctx, 9600, false) != 0) return -1;
    if (write_text(ctx, "LOG\r\n") != 0) {
        job_error(ctx, "E201 COM port write error", "Read track log");
        return -1;
    }
    std::string line;
    Deadline silence(500);
    for (;;) {
        if (ctx.aborted()) return job_aborted(ctx);
        if (silence.expired()) {
            job_error(ctx, "E202 No answer", "Read track log");
            return -1;
        }
        uint8_t buf[64];
        int n = read_bytes(ctx, buf, sizeof buf);
        if (n < 0) {
            job_error(ctx, "E203 COM port read error", "Read track log");
            return -1;
        }
        if (n > 0) silence.restart();
        for (int i = 0; i < n; ++i) {
            if (buf[i] != '\n') {
                if (buf[i] != '\r') line += static_cast<char>(buf[i]);
                continue;
            }
            if (line == "END") {
                job_status(ctx, format_counts("% track positions read", ctx.result.track_log.positions.size()));
                return 0;
            }
            if (line.rfind("FIX,", 0) == 0) {
                TrackPosition p;
                p.time = static_cast<uint32_t>(std::stoul(line.substr(4)));
                ctx.result.track_log.positions.push_back(p);
            }
            line.clear();
        }
    }
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pty_.open(), 0);
        reg_.add(AccessType::ReadTrackLog, Routine::Garmin, read_fix_log);
        fw_.set_port_name(pty_.device_path());
        TrackPosition old;
        old.time = 42;
        data_.track_log.positions = {old};
    }
    void TearDown() override {
        stop_ = true;
        if (instrument_.joinable()) instrument_.join();
    }

    // The instrument answers "LOG" with the given lines, one every gap.
    void answer(std::vector<std::string> lines, std::chrono::milliseconds gap) {
        instrument_ = std::thread([this, lines = std::move(lines), gap] {
            std::string got;
            while (!stop_ && got.find("LOG\r\n") == std::string::npos) {
                pollfd p{pty_.master_fd(), POLLIN, 0};
                if (poll(&p, 1, 20) <= 0) continue;
                char buf[64];
                ssize_t n = ::read(pty_.master_fd(), buf, sizeof buf);
                if (n > 0) got.append(buf, static_cast<std::size_t>(n));
            }
            for (const auto& l : lines) {
                if (stop_) return;
                std::string s = l + "\r\n";
                if (::write(pty_.master_fd(), s.data(), s.size()) < 0) return;
                std::this_thread::sleep_for(gap);
            }
        });
    }

    void finish_job() {
        auto until = std::chrono::steady_clock::now() + 10s;
        while (fw_.job_registered() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
        ASSERT_FALSE(fw_.job_registered());
        ASSERT_TRUE(loop_.run_one(5000ms));
    }

    sim::PtyPair pty_;
    test::RecordingReporter ui_;
    HeadlessEventLoop loop_;
    CurrentData data_;
    RoutineRegistry reg_;
    JobFramework fw_{ui_, loop_, data_, reg_};
    std::thread instrument_;
    std::atomic<bool> stop_{false};
};

TEST_F(EndToEnd, DownloadIsInstalled) {
    answer({"FIX,100", "FIX,101", "FIX,103", "END"}, 5ms);
    ASSERT_EQ(fw_.start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog), 0);
    finish_job();
    ASSERT_EQ(data_.track_log.positions.size(), 3u);
    EXPECT_EQ(data_.track_log.positions[2].time, 103u);
    EXPECT_EQ(ui_.statuses().back(), "3 track positions read");
    EXPECT_FALSE(fw_.failed());
    EXPECT_EQ(ui_.count("error"), 0);
    // What the job wrote is in the trace, cleared when the job started.
    EXPECT_EQ(trace_snapshot(), "LOG\r\n");
}

TEST_F(EndToEnd, SilentInstrumentFailsTheJob) {
    answer({}, 0ms);
    ASSERT_EQ(fw_.start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog), 0);
    finish_job();
    EXPECT_EQ(ui_.last_error().text, "E202 No answer");
    EXPECT_TRUE(fw_.failed());
    ASSERT_EQ(data_.track_log.positions.size(), 1u);
    EXPECT_EQ(data_.track_log.positions[0].time, 42u);
}

TEST_F(EndToEnd, AbortInTheMiddleKeepsThePreviousLogAndFreesThePort) {
    std::vector<std::string> endless;
    for (int i = 0; i < 400; ++i) endless.push_back("FIX," + std::to_string(i));
    answer(endless, 10ms);
    ASSERT_EQ(fw_.start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog), 0);
    std::this_thread::sleep_for(400ms);
    auto t0 = std::chrono::steady_clock::now();
    fw_.abort_transfer();
    finish_job();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    EXPECT_EQ(ui_.statuses().back(), "Transfer aborted");
    EXPECT_TRUE(fw_.failed());
    ASSERT_EQ(data_.track_log.positions.size(), 1u);
    EXPECT_EQ(data_.track_log.positions[0].time, 42u);
    SerialLink again;
    EXPECT_EQ(again.open(pty_.device_path()), 0);
}

}  // namespace
}  // namespace orlogix
