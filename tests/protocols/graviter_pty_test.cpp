// The Graviter family's one end-to-end run: the orlogix command line over a
// real pseudo-terminal against orlogix-sim dumping a memory of real flights
// (one stored without track data, one without fixes, the first across the
// end of the ring). Everything else runs on the in-memory link
// (graviter_jobs_test.cpp). No Debian program speaks this protocol, so no
// peer checks the simulated instrument.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "core/file_read.hpp"
#include "formats/kml/reader.hpp"
#include "support/recording_reporter.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(GraviterOverPty, CommandLineWritesTheKmlFileOfEveryFlightInMemory) {
    const std::string flights = std::string(ORLOGIX_TEST_DATA) + "/flights/";
    const fs::path dir = fs::temp_directory_path() / ("orlogix-graviter-pty-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);   // keep the user's settings out of it

    test::Subprocess sim;
    ASSERT_EQ(sim.start(test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim"),
                        {"--family", "graviter", "--track", flights + "d3p.igc", "--track", flights + "line.igc",
                         "--track", flights + "tri.igc", "--track", flights + "flat-xcontest-8.01.igc", "--set", "notrack=1",
                         "--set", "nofix=3", "--set", "ring=1"}),
              0);
    std::string device;
    ASSERT_TRUE(sim.read_line(device, 10s)) << sim.error_output();

    const fs::path kml = dir / "x.kml";
    test::Subprocess program;
    ASSERT_EQ(program.start(test::built_program("ORLOGIX_BIN", "orlogix"),
                            {"/GPS=GRAVITER", "/COM=" + device, "/KML_LOG=" + kml.string(), "/WIN=0", "/EXIT"}),
              0);
    for (std::string line; program.read_line(line, 60s);) {
    }
    EXPECT_EQ(program.wait(60s), 0) << program.error_output();
    EXPECT_NE(program.error_output().find("does not contain any valid GPS positions"), std::string::npos)
        << program.error_output();
    std::string written;
    ASSERT_EQ(read_file(kml.string(), written), 0);
    // Both flights with fixes are in the one log.
    test::RecordingReporter r;
    KmlTrack back;
    EXPECT_GT(read_kml_track(r, written, true, back), 4514);

    EXPECT_EQ(sim.send_signal(SIGTERM), 0);
    EXPECT_EQ(sim.wait(10s), 0);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
