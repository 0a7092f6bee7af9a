// The Flymaster family's one end-to-end run: the orlogix command line over a
// real pseudo-terminal against orlogix-sim sending a real flight as blocks,
// into a KML and an IGC file; gpsbabel reads the IGC file back to the served
// fixes. Everything else runs on the in-memory link (flymaster_jobs_test.cpp).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "support/peer_programs.hpp"
#include "support/sim_kit.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(FlymasterOverPty, CommandLineWritesKmlAndIgcFilesOfTheServedFlight) {
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

    // One download into each file, from the same instrument.
    const fs::path kml = dir / "x.kml", igc = dir / "x.igc";
    for (const std::string& operation : {"/KML_LOG=" + kml.string(), "/IGC_LOG=" + igc.string()}) {
        test::Subprocess program;
        ASSERT_EQ(program.start(test::built_program("ORLOGIX_BIN", "orlogix"),
                                {"/GPS=FLYMASTER", "/COM=" + device, operation, "/WIN=0", "/EXIT"}),
                  0);
        for (std::string line; program.read_line(line, 60s);) {
        }
        EXPECT_EQ(program.wait(60s), 0) << operation << program.error_output();
    }
    std::string written;
    ASSERT_EQ(read_file(kml.string(), written), 0);
    EXPECT_NE(written.find("<coordinates>"), std::string::npos);
    ASSERT_EQ(read_file(igc.string(), written), 0);
    // The A-record describes the instrument the flight came from.
    EXPECT_LT(written.find("Flymaster F1, V1.19, S/N 12345"), written.find('\n')) << written.substr(0, 80);

    // gpsbabel lists the GPS-altitude track, then the pressure one: the first
    // half holds every served fix at its time, within a thousandth of a
    // minute (the instrument's and the IGC file's own steps).
    if (test::peer_available("gpsbabel")) {
        const std::vector<TrackPosition> served = test::load_flight("flights/line.igc");
        test::Subprocess babel;
        ASSERT_EQ(babel.start("gpsbabel", {"-t", "-i", "igc", "-f", igc.string(), "-o", "unicsv,utc=0", "-F", "-"}), 0);
        std::vector<std::string> rows;
        for (std::string line; babel.read_line(line, 30s);) rows.push_back(line);
        EXPECT_EQ(babel.wait(30s), 0) << babel.error_output();
        ASSERT_EQ(rows.size(), 1 + 2 * served.size());
        const double semicircle = 180.0 / 2147483648.0, step = 1.0 / 60000;
        for (std::size_t i = 0; i < served.size(); ++i) {
            std::istringstream row(rows[1 + i]);
            std::string no, lat, lon, alt, date, time;
            std::getline(row, no, ',');
            std::getline(row, lat, ',');
            std::getline(row, lon, ',');
            std::getline(row, alt, ',');
            std::getline(row, date, ',');
            std::getline(row, time, ',');
            ASSERT_NEAR(std::stod(lat), served[i].latitude * semicircle, 2 * step) << rows[1 + i];
            ASSERT_NEAR(std::stod(lon), served[i].longitude * semicircle, 2 * step) << rows[1 + i];
            const CalendarTime c = calendar_from_time(served[i].time);
            ASSERT_EQ(date + ' ' + time, strformat("%04d/%02d/%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                                                   c.minute, c.second))
                << rows[1 + i];
        }
    }

    EXPECT_EQ(sim.send_signal(SIGTERM), 0);
    EXPECT_EQ(sim.wait(10s), 0);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
