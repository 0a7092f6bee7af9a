// The DSX family's one end-to-end run: the orlogix command line over a real
// pseudo-terminal against orlogix-sim holding two real flights; the newest
// comes down and its IGC text is saved as the instrument sent it, which
// gpsbabel reads to every fix. Everything else runs on the in-memory link
// (dsx_jobs_test.cpp). No Debian program speaks the DSX protocol itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "core/file_read.hpp"
#include "support/peer_programs.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(DsxOverPty, CommandLineSavesTheNewestTrackByteForByte) {
    const std::string flights = std::string(ORLOGIX_TEST_DATA) + "/flights/";
    std::string served;
    ASSERT_EQ(read_file(flights + "d3p.igc", served), 0);
    const fs::path dir = fs::temp_directory_path() / ("orlogix-dsx-pty-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);   // keep the user's settings out of it

    test::Subprocess sim;
    ASSERT_EQ(sim.start(test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim"),
                        {"--family", "dsx", "--track", flights + "line.igc", "--track", flights + "d3p.igc"}),
              0);
    std::string device;
    ASSERT_TRUE(sim.read_line(device, 10s)) << sim.error_output();

    test::Subprocess program;
    ASSERT_EQ(program.start(test::built_program("ORLOGIX_BIN", "orlogix"),
                            {"/GPS=DSX", "/COM=" + device, "/IGC_LOG=" + (dir / "out").string() + "/", "/WIN=0",
                             "/EXIT"}),
              0);
    for (std::string line; program.read_line(line, 60s);) {
    }
    EXPECT_EQ(program.wait(60s), 0) << program.error_output();

    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir / "out")) files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u);
    std::string written;
    ASSERT_EQ(read_file(files[0].string(), written), 0);
    EXPECT_TRUE(written == served) << written.size() << " bytes written, " << served.size() << " served";
    if (test::peer_available("gpsbabel")) {
        const std::vector<std::string> rows = test::gpsbabel_igc_rows(files[0].string());
        // Every fix, once by GPS and once by pressure altitude.
        ASSERT_EQ(rows.size(), 1 + 2 * 2527u);
        EXPECT_EQ(rows[1], "1,46.272633,13.472850,1308.0,2019/06/15,13:53:15");
    }

    EXPECT_EQ(sim.send_signal(SIGTERM), 0);
    EXPECT_EQ(sim.wait(10s), 0);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
