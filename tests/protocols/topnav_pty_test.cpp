// The Top Navigator and XC Trainer over real pseudo-terminals: waypoints
// both ways through the termios link against each simulated instrument
// (which hears the program's purge as a packet-mode status byte), and the
// command line downloading real flights in both forms from orlogix-sim,
// with its exit codes. A downloaded log read back from its .tnc copy is in
// the window's test. No Debian program speaks these protocols, so no third-party
// host checks the simulators; the codec's golden bytes stand for that.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "access/job_runner.hpp"
#include "core/file_read.hpp"
#include "protocols/topnav/waypoint_transfer.hpp"
#include "sim/topnav/topnav_instrument.hpp"
#include "support/command_run.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::topnav {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using P = ProtocolType;

sim::TopNavConfig waypoint_config(bool xc, std::vector<Waypoint> w) {
    sim::TopNavConfig c;
    c.xc_trainer = xc;
    c.send_waypoints = true;
    c.waypoints = std::move(w);
    return c;
}

struct PtyRig {
    PtyRig(sim::TopNavConfig c, P protocol, AccessType access)
        : sim(std::make_unique<sim::TopNavInstrument>(std::move(c))), ctx(sim.job(reporter, access, protocol)) {
        ctx->options.timeout_seconds = 3;
    }
    test::RecordingReporter reporter;
    test::PtySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(TopNavOverPty, WaypointsBothWaysAndAnXoffTakenByTheLine) {
    const std::vector<Waypoint> served = {test::waypoint_at("", 46.5, 7 + 15.5 / 60, 1200, "ABC"),
                                          test::waypoint_at("", -33.25, -70.5, 300, "SOUTH")};
    // With XON/XOFF on, the pseudo-terminal's line discipline takes the XOFF
    // (0x13) inside the packet: the read fails with a reported error, no hang.
    // It waits out its 10 s of silence beside the other reads.
    PtyRig xoff(waypoint_config(true, {test::waypoint_at("", 0x044113 / 6000.0, 7.25, 100, "XOFF"), served[0]}),
                P::XcTrainer, AccessType::ReadWaypoints);
    int xoff_result = 0;
    std::thread xoff_read([&] { xoff_result = run_job_inline(*xoff.ctx, read_waypoint_packets_job); });
    for (const bool xc : {false, true}) {
        PtyRig read(waypoint_config(xc, served), xc ? P::XcTrainer : P::TopNavigator, AccessType::ReadWaypoints);
        // No ASSERT while the other read runs.
        EXPECT_EQ(run_job_inline(*read.ctx, xc ? read_waypoint_packets_job : read_waypoint_lines_job), 0)
            << read.reporter.last_error().text;
        const auto& got = read.ctx->result.waypoints;
        EXPECT_EQ(got.size(), 2u);
        if (got.size() == 2) {
            EXPECT_EQ(got[1].identifier, "SOUTH");
            EXPECT_EQ(got[1].height, 300);
            // Lines carry whole arc seconds, packets 1/6000 degree.
            EXPECT_NEAR(got[1].latitude, served[1].latitude, xc ? 995 : 1660);
        }
        // One "@@OK" per line ("@EOF" too) or per packet.
        const std::string answers = xc ? "@@OK@@OK" : "@@OK@@OK@@OK";
        read.sim.runner().wait_received(answers.size(), 2s);
        EXPECT_EQ(read.sim.runner().received(), answers);

        PtyRig write(sim::TopNavConfig{}, xc ? P::XcTrainer : P::TopNavigator, AccessType::WriteWaypoints);
        write.ctx->params.waypoints = served;
        EXPECT_EQ(run_job_inline(*write.ctx, write_waypoints_job), 0) << write.reporter.last_error().text;
        EXPECT_TRUE(write.sim.uploads.wait_for(2));
        EXPECT_TRUE(write.sim.uploads.has("waypoint SOUTH -33.25000 -70.50000 300"));
    }
    xoff_read.join();
    EXPECT_EQ(xoff_result, -1);
    EXPECT_EQ(xoff.reporter.last_error().text, "E302 Format error 1");
}

// The command line names each instrument; orlogix-sim serves it.
TEST(TopNavOverPty, CommandLineForEachGpsNameWithItsExitCode) {
    const std::string track = std::string(ORLOGIX_TEST_DATA) + "/flights/flat-xcontest-8.01.igc";
    const fs::path dir = fs::temp_directory_path() / ("orlogix-topnav-pty-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const fs::path wpt = dir / "in.wpt";
    {
        const std::string text = "$FormatGEO\r\nABC       N 46 30 00.00    E 007 15 30.00  1200  Abc\r\n";
        FILE* f = std::fopen(wpt.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    struct Case {
        const char* family;
        std::vector<std::string> sim_args;
        std::vector<std::string> args;
        std::string output;   // a file the run writes, or empty
        int exit_code;
        std::string report;   // a line the simulator must report, or empty
    };
    const Case cases[] = {
        {"topnav", {}, {"/GPS=TOPNAV", "/KML_LOG=" + (dir / "t.kml").string()}, (dir / "t.kml").string(), 0, ""},
        {"xctrainer", {"--set", "variant=0"}, {"/GPS=XCTRAINER", "/OZI_LOG=" + (dir / "x.plt").string()},
         (dir / "x.plt").string(), 0, ""},
        {"xctrainer", {"--set", "form=mxp"}, {"/GPS=XCT_MXP", "/IGC_LOG=" + (dir / "m.igc").string()},
         (dir / "m.igc").string(), 0, ""},
        {"xctrainer", {"--set", "form=mxp"}, {"/GPS=XCT_MXP", "/MPS_LOG=" + (dir / "m.mps").string()},
         (dir / "m.mps").string(), 0, ""},
        // Cut in the middle: the download fails, the program says so in its exit code.
        {"xctrainer", {"--set", "form=mxp", "--cut-after", "5000"}, {"/GPS=XCT_MXP", "/KML_LOG=" + (dir / "c.kml").string()},
         "", 1, ""},
        {"topnav", {}, {"/GPS=TOPNAV", "/WR_WPT=" + wpt.string(), "/COMPID=57"}, "", 0, "waypoint COMPID"},
        {"xctrainer", {}, {"/GPS=XCTRAINER", "/WR_WPT2=" + wpt.string()}, "", 0, "waypoint ABC 46.50000 7.25833 1200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        std::vector<std::string> sim_args = {"--family", c.family, "--track", track};
        sim_args.insert(sim_args.end(), c.sim_args.begin(), c.sim_args.end());
        const test::CommandRun run = test::run_against_sim(sim_args, c.args);
        EXPECT_EQ(run.exit_code, c.exit_code) << run.errors;
        if (!c.output.empty()) {
            std::string written;
            EXPECT_EQ(read_file(c.output, written), 0);
            EXPECT_GT(written.size(), 1000u);
        }
        if (!c.report.empty()) {
            EXPECT_NE(run.reported.find(c.report), std::string::npos) << run.reported;
        }
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix::topnav
