// The Flymaster family's one end-to-end run: the orlogix command line over a
// real pseudo-terminal against orlogix-sim sending a real flight as blocks.
// Everything else runs on the in-memory link (flymaster_jobs_test.cpp).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "core/file_read.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(FlymasterOverPty, CommandLineWritesTheKmlFileOfTheServedFlight) {
    const std::string flight = std::string(ORLOGIX_TEST_DATA) + "/flights/line.igc";
    const fs::path dir = fs::temp_directory_path() / ("orlogix-flymaster-pty-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);   // keep the user's settings out of it

    test::Subprocess sim;
    ASSERT_EQ(sim.start(test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim"), {"--family", "flymaster", "--track", flight}),
              0);
    std::string device;
    ASSERT_TRUE(sim.read_line(device, 10s)) << sim.error_output();

    const fs::path kml = dir / "x.kml";
    test::Subprocess program;
    ASSERT_EQ(program.start(test::built_program("ORLOGIX_BIN", "orlogix"),
                            {"/GPS=FLYMASTER", "/COM=" + device, "/KML_LOG=" + kml.string(), "/WIN=0", "/EXIT"}),
              0);
    for (std::string line; program.read_line(line, 60s);) {
    }
    EXPECT_EQ(program.wait(60s), 0) << program.error_output();
    std::string written;
    ASSERT_EQ(read_file(kml.string(), written), 0);
    EXPECT_NE(written.find("<coordinates>"), std::string::npos);

    EXPECT_EQ(sim.send_signal(SIGTERM), 0);
    EXPECT_EQ(sim.wait(10s), 0);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
