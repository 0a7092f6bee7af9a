// The simulated Garmin USB receiver in a umockdev test bed, through real
// libusb stacks: gpsbabel as an independent host, and orlogix itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/file_bytes.hpp"
#include "support/peer_programs.hpp"
#include "support/subprocess.hpp"

namespace orlogix::sim {
namespace {

using namespace std::chrono_literals;
using orlogix::test::Subprocess;

const std::string kFlight = std::string(ORLOGIX_TEST_DATA) + "/garmin/tri.igc";

std::string temp_path(const std::string& name) {
    return testing::TempDir() + "usb_testbed_" + std::to_string(::getpid()) + "_" + name;
}

// Runs a program; its exit code, with standard output and error in out.
int run(const std::string& program, const std::vector<std::string>& args, std::string& out) {
    Subprocess p;
    if (p.start(program, args) != 0) return -1;
    out.clear();
    std::string line;
    while (p.read_line(line, 60s)) out += line + "\n";
    const int code = p.wait(60s);
    out += p.error_output();
    return code;
}

struct Fix {
    double lat, lon;
};

// The fixes of the file's first track.
std::vector<Fix> gpx_fixes(const std::string& file) {
    std::string text = test::file_bytes(file);
    text = text.substr(0, text.find("</trk>"));
    static const std::regex point(R"re(<trkpt lat="([-0-9.]+)" lon="([-0-9.]+)")re");
    std::vector<Fix> out;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), point); it != std::sregex_iterator(); ++it)
        out.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
    return out;
}

// The flight's fixes as gpsbabel reads the IGC file itself (its first
// track has the GPS altitudes, the second the same fixes with the pressure ones).
std::vector<Fix> flight_fixes() {
    const std::string gpx = temp_path("flight.gpx");
    std::string err;
    EXPECT_EQ(run("gpsbabel", {"-i", "igc", "-f", kFlight, "-o", "gpx", "-F", gpx}, err), 0) << err;
    return gpx_fixes(gpx);
}

class GarminUsbTestbed : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::peer_available("umockdev-run") || !test::peer_available("gpsbabel")) GTEST_SKIP();
    }
    const std::string sim = test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim");
    const std::string orlogix = test::built_program("ORLOGIX_BIN", "orlogix");
};

TEST_F(GarminUsbTestbed, GpsbabelDownloadsEveryFixOnEitherPipe) {
    const std::vector<Fix> want = flight_fixes();
    ASSERT_GT(want.size(), 4000u);
    for (const char* bulk : {"bulk=off", "bulk=on"}) {
        const std::string out = temp_path("download.gpx");
        std::remove(out.c_str());
        std::string err;
        ASSERT_EQ(run(sim, {"--family", "garminusb", "--set", bulk, "--track", kFlight, "--", "gpsbabel", "-t", "-i",
                            "garmin", "-f", "usb:", "-o", "gpx", "-F", out},
                      err),
                  0)
            << bulk << err;
        const std::vector<Fix> got = gpx_fixes(out);
        ASSERT_EQ(got.size(), want.size()) << bulk;
        // A semicircle is 8.4e-8 degrees; the IGC file has thousandths of a minute.
        for (std::size_t i = 0; i < got.size(); ++i) {
            ASSERT_NEAR(got[i].lat, want[i].lat, 1e-5) << bulk << " fix " << i;
            ASSERT_NEAR(got[i].lon, want[i].lon, 1e-5) << bulk << " fix " << i;
        }
    }
}

TEST_F(GarminUsbTestbed, GpsbabelMovesWaypointsBothWays) {
    // D108 records are longer than one 64-byte packet of the interrupt pipe.
    const std::string gpx = temp_path("w.gpx");
    std::remove(gpx.c_str());
    std::string out;
    ASSERT_EQ(run(sim, {"--family", "garminusb", "--set", "wpts=5", "--", "gpsbabel", "-w", "-i", "garmin", "-f", "usb:",
                        "-o", "gpx", "-F", gpx},
                  out),
              0)
        << out;
    const std::string text = test::file_bytes(gpx);
    for (const char* name : {"<name>WP0</name>", "<name>WP4</name>"}) EXPECT_NE(text.find(name), std::string::npos) << text;
    ASSERT_EQ(run(sim, {"--family", "garminusb", "--", "gpsbabel", "-w", "-i", "gpx", "-f", gpx, "-o", "garmin", "-F",
                        "usb:"},
                  out),
              0)
        << out;
    EXPECT_NE(out.find("records 5\nwaypoint WP0 550000000 70000000\n"), std::string::npos) << out;
    EXPECT_NE(out.find("waypoint WP4 550200000 70160000\ntransfer complete 7\n"), std::string::npos) << out;
}

TEST_F(GarminUsbTestbed, OrlogixWritesTheDownloadedTrack) {
    const std::string kml = temp_path("x.kml");
    std::remove(kml.c_str());
    std::string err;
    ASSERT_EQ(run(sim, {"--family", "garminusb", "--set", "zero_length=off", "--track", kFlight, "--", orlogix,
                        "/GPS=GARMIN", "/USB", "/KML_LOG=" + kml, "/WIN=0", "/EXIT"},
                  err),
              0)
        << err;
    EXPECT_NE(err.find(kml + ": 4514 positions written"), std::string::npos) << err;
    EXPECT_NE(test::file_bytes(kml).find("<coordinates>"), std::string::npos);
}

TEST_F(GarminUsbTestbed, RunsOnlyWithACommand) {
    std::string err;
    EXPECT_EQ(run(sim, {"--family", "garminusb", "--track", kFlight}, err), 2);
    EXPECT_NE(err.find("runs a program: -- COMMAND"), std::string::npos) << err;
}

}  // namespace
}  // namespace orlogix::sim
