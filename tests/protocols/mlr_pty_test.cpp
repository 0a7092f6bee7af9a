// The MLR family over real pseudo-terminals: our jobs through the termios
// link against the simulated receiver (a real flight, both waypoint
// downloads, the upload, whose GPWPL sentences gpsbabel reads back to the
// same names and positions), and the command line against orlogix-sim.
// No Debian program speaks the $PMLR fast frames, so the frames are
// checked by our own jobs only.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "access/job_runner.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "protocols/mlr/jobs.hpp"
#include "protocols/mlr/sentences.hpp"
#include "sim/mlr/mlr_receiver.hpp"
#include "support/peer_programs.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"
#include "support/subprocess.hpp"

namespace orlogix::mlr {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(MlrOverPty, TrackWaypointsListenerAndUploadThroughTheSerialLink) {
    sim::MlrConfig c;
    c.positions = test::load_flight("flights/line.igc");
    c.waypoints = {test::waypoint_at("", 46.5, 7.25, 1200, "TOWER"), test::waypoint_at("", -33.9, 151.2, 5, "SYD")};
    c.nmea = true;   // GPRMC, GPGGA and GPWPL every second among the answers
    test::PtySim sim(std::make_unique<sim::MlrReceiver>(c));
    ASSERT_TRUE(sim.started());
    test::RecordingReporter reporter;

    auto track = sim.job(reporter, AccessType::ReadTrackLog, ProtocolType::Mlr);
    ASSERT_EQ(run_job_inline(*track, read_track_log_job), 0) << reporter.last_error().text;
    const std::vector<TrackPosition>& got = track->result.track_log.positions;
    ASSERT_EQ(got.size(), c.positions.size());
    EXPECT_EQ(got.back().time, c.positions.back().time);
    EXPECT_EQ(got.back().latitude, c.positions.back().latitude);
    EXPECT_TRUE(reporter.has_status(std::to_string(got.size()) + " points received"));
    end_job(*track);
    // The commands at the connect rate, the frames at the transfer rate, the stop sentence at 4800 again.
    auto stopped = [&] {
        const std::string wrote = sim.runner().received();
        return wrote.rfind(kStopSentence) > wrote.find(kTrackStart);
    };
    for (int i = 0; i < 100 && !stopped(); ++i) std::this_thread::sleep_for(20ms);
    std::vector<std::pair<bool, int>> turns;
    for (const sim::TranscriptEntry& e : sim.runner().transcript()) {
        const bool frames = !e.from_program && e.bytes.find('\x8B') != std::string::npos;
        if (e.from_program || frames) turns.emplace_back(e.from_program, e.rate);
    }
    const std::vector<std::pair<bool, int>> rates = {{true, 4800}, {false, 38400}, {true, 4800}};
    std::vector<std::pair<bool, int>> seen;
    for (const auto& t : turns)
        if (seen.empty() || seen.back() != t) seen.push_back(t);
    EXPECT_EQ(seen, rates);

    auto fast = sim.job(reporter, AccessType::ReadWaypoints, ProtocolType::MlrFast);
    ASSERT_EQ(run_job_inline(*fast, read_waypoints_job), 0) << reporter.last_error().text;
    ASSERT_EQ(fast->result.waypoints.size(), 2u);
    EXPECT_EQ(fast->result.waypoints[1].identifier, "SYD");
    end_job(*fast);

    auto listen = sim.job(reporter, AccessType::ReadWaypoints, ProtocolType::Mlr);
    listen->params.baud = kListenerMode;
    ASSERT_EQ(run_job_inline(*listen, read_waypoints_job), 0) << reporter.last_error().text;
    EXPECT_EQ(listen->result.waypoints.size(), 2u);
    end_job(*listen);

    std::vector<Waypoint> upload = {test::waypoint_at("Top station", 46.508333, 7.254167, 0, "WP1"),
                                    test::waypoint_at("Opera, house", -33.9, 151.2, 0, "SYD")};
    auto send = sim.job(reporter, AccessType::WriteWaypoints, ProtocolType::Mlr);
    send->params.waypoints = upload;
    ASSERT_EQ(run_job_inline(*send, write_waypoints_job), 0) << reporter.last_error().text;
    end_job(*send);
    sim.stop();

    // The GPWPL sentences as they crossed the line, read by gpsbabel.
    std::string sentences;
    std::istringstream wrote(sim.runner().received());
    for (std::string line; std::getline(wrote, line);)
        if (line.rfind("$GPWPL,", 0) == 0) sentences += line + "\n";
    ASSERT_EQ(std::count(sentences.begin(), sentences.end(), '\n'), 2);
    if (!test::peer_available("gpsbabel")) return;
    const fs::path file = fs::temp_directory_path() / ("orlogix-mlr-wpl-" + std::to_string(::getpid()) + ".nmea");
    ASSERT_EQ(write_file_atomic(file.string(), sentences), 0);
    test::Subprocess babel;
    ASSERT_EQ(babel.start("gpsbabel", {"-i", "nmea", "-f", file.string(), "-o", "unicsv", "-F", "-"}), 0);
    std::vector<std::string> rows;
    for (std::string line; babel.read_line(line, 30s);) rows.push_back(line);
    EXPECT_EQ(babel.wait(30s), 0) << babel.error_output();
    fs::remove(file);
    ASSERT_EQ(rows.size(), 3u);
    const std::string expected[] = {"1,46.508333,7.254167,\"WP1   0Top station           \"",
                                    "2,-33.900000,151.200000,\"SYD   0Opera- house          \""};
    EXPECT_EQ(rows[1], expected[0]);
    EXPECT_EQ(rows[2], expected[1]);
}

class MlrCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orlogix-mlr-cmd-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        const std::string data = ORLOGIX_TEST_DATA;
        ASSERT_EQ(sim_.start(test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim"),
                             {"--family", "mlr", "--track", data + "/flights/line.igc", "--waypoints",
                              data + "/waypoints/waypoints.cup", "--set", "model=DGIFLY LEONARDO"}),
                  0);
        ASSERT_TRUE(sim_.read_line(device_, 10s)) << sim_.error_output();
    }
    void TearDown() override {
        sim_.send_signal(SIGTERM);
        sim_.wait(10s);
        fs::remove_all(dir_);
    }
    int orlogix(const std::vector<std::string>& args) {
        std::vector<std::string> all = args;
        all.insert(all.begin() + 1, "/COM=" + device_);
        all.insert(all.end(), {"/WIN=0", "/EXIT"});
        test::Subprocess program;
        if (program.start(test::built_program("ORLOGIX_BIN", "orlogix"), all) != 0) return -1;
        for (std::string line; program.read_line(line, 60s);) {
        }
        const int rc = program.wait(60s);
        EXPECT_EQ(rc, 0) << program.error_output();
        return rc;
    }
    fs::path dir_;
    test::Subprocess sim_;
    std::string device_;
};

TEST_F(MlrCommandLine, IgcLogWaypointsBothWays) {
    ASSERT_EQ(orlogix({"/GPS=MLR", "/IGC_LOG=" + (dir_ / "").string()}), 0);
    std::vector<fs::path> igc;
    for (const auto& e : fs::directory_iterator(dir_))
        if (e.path().extension() == ".igc" || e.path().extension() == ".IGC") igc.push_back(e.path());
    ASSERT_EQ(igc.size(), 1u);
    std::string text;
    ASSERT_EQ(read_file(igc[0].string(), text), 0);
    EXPECT_NE(text.find("DGIFLY LEONARDO"), std::string::npos) << text.substr(0, 300);
    EXPECT_NE(text.find("\nB"), std::string::npos);

    const fs::path wpt = dir_ / "read.wpt";
    ASSERT_EQ(orlogix({"/GPS=MLRC", "/RD_WPT=" + wpt.string()}), 0);
    ASSERT_EQ(read_file(wpt.string(), text), 0);
    EXPECT_NE(text.find("4,REDSQR        ,  55.754167,  37.620000"), std::string::npos) << text;

    ASSERT_EQ(orlogix({"/GPS=MLR", "/WR_WPT=" + std::string(ORLOGIX_TEST_DATA) + "/waypoints/waypoints.cup"}), 0);
    std::vector<std::string> reported;
    for (std::string line; reported.size() < 5 && sim_.read_line(line, 10s);) reported.push_back(line);
    ASSERT_EQ(reported.size(), 5u);
    // Red Square, 55 45.250 N 37 37.200 E.
    EXPECT_EQ(reported[3].rfind("waypoint 5545.250,N,03737.200,E,REDSQR0", 0), 0u) << reported[3];
}

}  // namespace
}  // namespace orlogix::mlr
