// The LogIt family over real pseudo-terminals: our download through the
// termios link at each of the four speeds and from a Tracklogger with its
// count, and the command line against orlogix-sim. No Debian program
// speaks the LogIt protocol, so the frames are checked by our jobs only.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "access/job_runner.hpp"
#include "core/file_read.hpp"
#include "protocols/logit/jobs.hpp"
#include "sim/logit/logit_logger.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"
#include "support/subprocess.hpp"

namespace orlogix::logit {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(LogItOverPty, EverySpeedAndTheTrackloggerCount) {
    const std::vector<TrackPosition> served = test::load_flight("flights/line.igc");
    for (const char* model : {"LOGIT", "TRACKLOGGER"}) {
        sim::LogItConfig c;
        c.name = model;
        c.positions = served;
        test::PtySim sim(std::make_unique<sim::LogItLogger>(c));
        ASSERT_TRUE(sim.started());
        for (const int baud : {57600, 38400, 19200, 115200}) {
            if (std::string(model) == "TRACKLOGGER" && baud != 115200) continue;
            test::RecordingReporter reporter;
            auto ctx = sim.job(reporter, AccessType::ReadTrackLog, ProtocolType::LogIt);
            ctx->params.baud = baud;
            ASSERT_EQ(run_job_inline(*ctx, read_track_log_job), 0) << model << baud << reporter.last_error().text;
            const std::vector<TrackPosition>& got = ctx->result.track_log.positions;
            ASSERT_EQ(got.size(), served.size()) << baud;
            EXPECT_EQ(got.back().time, served.back().time);
            EXPECT_EQ(got.back().longitude, served.back().longitude);
            EXPECT_EQ(reporter.has_status("Track point count read"), std::string(model) == "TRACKLOGGER");
            end_job(*ctx);
        }
    }
}

TEST(LogItOverPty, CommandLineWritesTheIgcLog) {
    const fs::path dir = fs::temp_directory_path() / ("orlogix-logit-cmd-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    test::Subprocess sim;
    ASSERT_EQ(sim.start(test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim"),
                        {"--family", "logit", "--track", std::string(ORLOGIX_TEST_DATA) + "/flights/line.igc", "--set",
                         "name=TRACKLOGGER"}),
              0);
    std::string device;
    ASSERT_TRUE(sim.read_line(device, 10s)) << sim.error_output();
    test::Subprocess program;
    ASSERT_EQ(program.start(test::built_program("ORLOGIX_BIN", "orlogix"),
                            {"/GPS=LOGIT", "/COM=" + device, "/IGC_LOG=" + (dir / "").string(), "/WIN=0", "/EXIT"}),
              0);
    for (std::string line; program.read_line(line, 60s);) {
    }
    EXPECT_EQ(program.wait(60s), 0) << program.error_output();
    std::size_t records = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string text;
        if (e.is_regular_file() && read_file(e.path().string(), text) == 0)
            for (std::size_t at = text.find("\nB"); at != std::string::npos; at = text.find("\nB", at + 1)) ++records;
    }
    EXPECT_EQ(records, test::load_flight("flights/line.igc").size());
    EXPECT_EQ(sim.send_signal(SIGTERM), 0);
    EXPECT_EQ(sim.wait(10s), 0);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix::logit
