// The Flytec/Brauniger and IQ Basic families' one end-to-end run each: the
// orlogix command line over a real pseudo-terminal against orlogix-sim
// serving a real flight. Everything else runs on the in-memory link
// (flytec_jobs_test.cpp, iq_basic_jobs_test.cpp).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "core/file_read.hpp"
#include "support/command_run.hpp"
#include "support/peer_programs.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(FlytecOverPty, CommandLineWritesTheServedIgcFileByteForByte) {
    const std::string flight = std::string(ORLOGIX_TEST_DATA) + "/flights/d3p.igc";
    std::string served;
    ASSERT_EQ(read_file(flight, served), 0);
    const fs::path dir = fs::temp_directory_path() / ("orlogix-flytec-pty-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);   // keep the user's settings out of it

    test::Subprocess sim;
    ASSERT_EQ(sim.start(test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim"), {"--family", "flytec", "--track", flight}), 0);
    std::string device;
    ASSERT_TRUE(sim.read_line(device, 10s)) << sim.error_output();

    test::Subprocess program;
    ASSERT_EQ(program.start(test::built_program("ORLOGIX_BIN", "orlogix"),
                            {"/GPS=IQCOMPEO", "/COM=" + device, "/IGC_LOG=" + (dir / "out").string() + "/", "/WIN=0",
                             "/EXIT"}),
              0);
    for (std::string line; program.read_line(line, 60s);) {
    }
    EXPECT_EQ(program.wait(60s), 0) << program.error_output();

    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir / "out")) files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u);
    // The logger ID of the A-record names the file; the bytes are the instrument's.
    EXPECT_EQ(files[0].filename(), "2019-06-15-xxx-GPB-01.igc");
    std::string written;
    ASSERT_EQ(read_file(files[0].string(), written), 0);
    EXPECT_TRUE(written == served) << written.size() << " bytes written, " << served.size() << " served";
    // gpsbabel reads the written file to every fix, once by GPS and once by
    // pressure altitude.
    if (test::peer_available("gpsbabel")) {
        const std::vector<std::string> rows = test::gpsbabel_igc_rows(files[0].string());
        ASSERT_EQ(rows.size(), 1 + 2 * 2527u);
        EXPECT_EQ(rows[1], "1,46.272633,13.472850,1308.0,2019/06/15,13:53:15");
    }

    EXPECT_EQ(sim.send_signal(SIGTERM), 0);
    EXPECT_EQ(sim.wait(10s), 0);
    fs::remove_all(dir);
}

// The 6015's own flight, with XON and XOFF mixed into the text on a line
// without flow control, read whole into the KML file.
TEST(IqBasicOverPty, CommandLineWritesTheKmlLogOfTheServedFlight) {
    const std::string flight = std::string(ORLOGIX_TEST_DATA) + "/flights/record_de_france.igc";
    const fs::path dir = fs::temp_directory_path() / ("orlogix-iqbasic-pty-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);

    test::Subprocess sim;
    ASSERT_EQ(sim.start(test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim"), {"--family", "iqbasic", "--track", flight}),
              0);
    std::string device;
    ASSERT_TRUE(sim.read_line(device, 10s)) << sim.error_output();

    test::Subprocess program;
    const fs::path kml = dir / "x.kml";
    ASSERT_EQ(program.start(test::built_program("ORLOGIX_BIN", "orlogix"),
                            {"/GPS=IQBASIC", "/COM=" + device, "/KML_LOG=" + kml.string(), "/WIN=0", "/EXIT"}),
              0);
    std::string output;
    for (std::string line; program.read_line(line, 60s);) output += line + "\n";
    EXPECT_EQ(program.wait(60s), 0) << program.error_output();
    EXPECT_NE(output.find("7292 positions written"), std::string::npos) << output;
    std::string written;
    ASSERT_EQ(read_file(kml.string(), written), 0);
    EXPECT_NE(written.find("2019-05-12"), std::string::npos);

    EXPECT_EQ(sim.send_signal(SIGTERM), 0);
    EXPECT_EQ(sim.wait(10s), 0);
    fs::remove_all(dir);
}

// Each operation the command line allows these names, against the
// simulated instruments, with its exit code.
TEST(FlytecOverPty, CommandLineOperationsOfBothNamesWithTheirExitCodes) {
    const std::string data = ORLOGIX_TEST_DATA;
    const std::string track = data + "/flights/d3p.igc";
    const fs::path dir = fs::temp_directory_path() / ("orlogix-flytec-ops-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const fs::path ctr = dir / "one.txt", wpt = dir / "two.wpt";
    const std::string waypoints = wpt.string();
    const std::pair<fs::path, std::string> files[] = {
        {ctr, "AC D\r\nAN HILL ZONE\r\nAL GND\r\nAH 2000m MSL\r\nV X=46:30:00 N 007:15:00 E\r\nDC 2\r\n"},
        {wpt, "$FormatGEO\r\nABC       N 46 30 00.00    E 007 15 30.00  1200  Abc\r\n"
              "LOW       S 33 07 30.00    W 070 30 00.00   -12  Low point\r\n"}};
    for (const auto& [path, text] : files) {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    const struct {
        std::vector<std::string> sim;
        std::vector<std::string> args;
        fs::path written;      // a file the run writes, or empty
        int exit_code;
        const char* reported;  // a line the simulator reports, or ""
    } cases[] = {
        {{"--family", "flytec", "--track", track}, {"/GPS=IQCOMPEO", "/KML_LOG=" + (dir / "f.kml").string()},
         dir / "f.kml", 0, ""},
        {{"--family", "flytec", "--waypoints", waypoints}, {"/GPS=IQCOMPEO", "/RD_WPT=" + (dir / "f.wpt").string()},
         dir / "f.wpt", 0, ""},
        {{"--family", "flytec"}, {"/GPS=IQCOMPEO", "/WR_WPT=" + waypoints}, {}, 0, "waypoint 2 "},
        {{"--family", "flytec"}, {"/GPS=IQCOMPEO", "/WR_CTR=" + ctr.string()}, {}, 0, "ctr HILL ZONE"},
        {{"--family", "flytec", "--silent"}, {"/GPS=IQCOMPEO", "/KML_LOG=" + (dir / "s.kml").string(), "/TIMEOUT=2"},
         {}, 1, ""},
        {{"--family", "iqbasic", "--waypoints", waypoints}, {"/GPS=IQBASIC", "/RD_WPT=" + (dir / "b.wpt").string()},
         dir / "b.wpt", 0, ""},
        {{"--family", "iqbasic"}, {"/GPS=IQBASIC", "/WR_WPT=" + waypoints}, {}, 0, "waypoint 2 "},
        {{"--family", "iqbasic", "--silent"}, {"/GPS=IQBASIC", "/RD_WPT=" + (dir / "t.wpt").string(), "/TIMEOUT=2"},
         {}, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const test::CommandRun run = test::run_against_sim(c.sim, c.args);
        EXPECT_EQ(run.exit_code, c.exit_code) << run.output << run.errors;
        if (!c.written.empty()) {
            std::string bytes;
            EXPECT_EQ(read_file(c.written.string(), bytes), 0);
            EXPECT_GT(bytes.size(), 100u);
        }
        if (*c.reported) {
            EXPECT_NE(run.reported.find(c.reported), std::string::npos) << run.reported;
        }
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
