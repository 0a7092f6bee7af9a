// gpsbabel as the host of the simulated Magellan receiver over a real
// pseudo-terminal: its own reading of the protocol downloads a real
// flight's .log (served byte for byte) exactly as it reads the file itself,
// lists the waypoints and uploads with its handshake. Then our own track
// download over the pseudo-terminal, through the termios link.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "access/job_runner.hpp"
#include "core/file_read.hpp"
#include "protocols/magellan/jobs.hpp"
#include "sim/magellan/magellan_receiver.hpp"
#include "support/peer_programs.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"
#include "support/subprocess.hpp"

namespace orlogix::magellan {
namespace {

namespace fs = std::filesystem;

const std::string kLog = std::string(ORLOGIX_TEST_DATA) + "/tracks/d3p_gpsbabel.log";

std::string run(const std::string& command) { return test::peer_output(command); }

sim::MagellanConfig served_log() {
    std::string text;
    EXPECT_EQ(read_file(kLog, text), 0);
    sim::MagellanConfig c;
    c.track_lines = sim::log_file_lines(text);
    c.waypoints = {test::waypoint_at("TAKE OFF NORTH", 46 + 7.407 / 60, 6 + 39.259 / 60, 1234, "LAUNCH"),
                   test::waypoint_at("LANDING", -(33 + 7.5 / 60), -(70 + 30.0 / 60), -12, "LZ")};
    return c;
}

class MagellanPeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::peer_available("gpsbabel")) GTEST_SKIP();
    }
};

TEST_F(MagellanPeer, GpsbabelDownloadsTheLogAsItReadsTheFile) {
    test::PtySim harness(std::make_unique<sim::MagellanReceiver>(served_log()));
    ASSERT_TRUE(harness.started());
    const std::string live =
        run("gpsbabel -t -i magellan,baud=9600 -f " + harness.device_path() + " -o unicsv -F - 2>&1");
    const std::string file = run("gpsbabel -t -i magellan -f " + kLog + " -o unicsv -F - 2>&1");
    ASSERT_GT(std::count(file.begin(), file.end(), '\n'), 2500);
    EXPECT_EQ(live, file);

    const std::string waypoints =
        run("gpsbabel -w -i magellan,baud=9600 -f " + harness.device_path() + " -o unicsv -F - 2>&1");
    EXPECT_NE(waypoints.find("46.123450,6.654317,\"LAUNCH\",1234.0,\"TAKE OFF NORTH\""), std::string::npos)
        << waypoints;
    EXPECT_NE(waypoints.find("-33.125000,-70.500000,\"LZ\",-12.0,\"LANDING\""), std::string::npos) << waypoints;
}

TEST_F(MagellanPeer, GpsbabelUploadsWithItsHandshake) {
    test::PtySim harness(std::make_unique<sim::MagellanReceiver>(sim::MagellanConfig{}));
    ASSERT_TRUE(harness.started());
    const fs::path csv = fs::temp_directory_path() / ("orlogix-magellan-" + std::to_string(::getpid()) + ".csv");
    std::ofstream(csv) << "name,lat,lon,alt,desc\nLAUNCH,46.1,6.6,1234,TAKE OFF\nLAND,46.0,-6.5,-12,LANDING\n";
    const std::string out =
        run("gpsbabel -w -i unicsv -f " + csv.string() + " -o magellan,baud=9600 -F " + harness.device_path() + " 2>&1");
    fs::remove(csv);
    EXPECT_EQ(out, "");
    ASSERT_TRUE(harness.uploads.wait_for(2));
    EXPECT_EQ(harness.uploads.lines(), (std::vector<std::string>{"waypoint LAUNCH 46.10000 6.60000 1234 m TAKE OFF",
                                                                 "waypoint LAND 46.00000 -6.50000 -12 m LANDING"}));
}

TEST(MagellanOverPty, TrackDownloadOfARealFlight) {
    test::PtySim harness(std::make_unique<sim::MagellanReceiver>(served_log()));
    ASSERT_TRUE(harness.started());
    test::RecordingReporter reporter;
    auto ctx = harness.job(reporter, AccessType::ReadTrackLog, ProtocolType::Magellan);
    ASSERT_EQ(run_job_inline(*ctx, read_track_log_job), 0) << reporter.last_error().text;
    const auto flight = test::load_flight("flights/d3p.igc");
    const std::vector<TrackPosition>& got = ctx->result.track_log.positions;
    ASSERT_EQ(got.size(), flight.size());
    EXPECT_EQ(got.front().flags, kSegmentStart);
    EXPECT_EQ(got.front().time, flight.front().time);
    EXPECT_EQ(got.back().time, flight.back().time);
    EXPECT_EQ(got[100].gps_altitude, flight[100].gps_altitude);
    const TrackLogHeader& h = ctx->result.track_log.header;
    EXPECT_EQ(h.instrument_family, InstrumentFamily::Magellan);
    EXPECT_EQ(h.track_log_source, 1);
    EXPECT_EQ(h.times_in_utc + h.baro_present, 0);
    EXPECT_EQ(h.device_identity, "Magellan: 33");
    EXPECT_TRUE(reporter.has_status("2520 points received"));
    EXPECT_EQ(reporter.statuses().back(), "2527 points received");
}

// The command line's upload adds the pilot's ID waypoints after the file's.
TEST(MagellanOverPty, CommandLineUploadsTheFileAndThePilotIds) {
    test::PtySim harness(std::make_unique<sim::MagellanReceiver>(sim::MagellanConfig{}));
    ASSERT_TRUE(harness.started());
    const fs::path dir = fs::temp_directory_path() / ("orlogix-magellan-pty-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);   // keep the user's settings out of it
    test::Subprocess program;
    ASSERT_EQ(program.start(test::built_program("ORLOGIX_BIN", "orlogix"),
                            {"/GPS=MAGELLAN", "/COM=" + harness.device_path(),
                             "/WR_WPT=" + std::string(ORLOGIX_TEST_DATA) + "/waypoints/waypoints.cup",
                             "/COMPID=57", "/CIVLID=12345", "/WIN=0", "/EXIT"}),
              0);
    EXPECT_EQ(program.wait(std::chrono::seconds(60)), 0) << program.error_output();
    fs::remove_all(dir);
    ASSERT_TRUE(harness.uploads.wait_for(3));
    const std::vector<std::string> lines = harness.uploads.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.back(), "end of upload");
    EXPECT_EQ(lines[lines.size() - 3].substr(0, 15), "waypoint COMPID");
    EXPECT_EQ(lines[lines.size() - 2].substr(0, 15), "waypoint CIVLID");
}

}  // namespace
}  // namespace orlogix::magellan
