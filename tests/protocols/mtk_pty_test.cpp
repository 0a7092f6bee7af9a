// The simulated MTK logger over real pseudo-terminals: our own download job
// with its port reader thread, and gpsbabel and mtkbabel as independent
// hosts of orlogix-sim: each gets every fix of a real flight, both erase,
// and the flash image the simulator saves reads the same with both.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "access/job_runner.hpp"
#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "protocols/mtk/jobs.hpp"
#include "protocols/mtk/log_image.hpp"
#include "sim/mtk/mtk_logger.hpp"
#include "support/peer_programs.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"
#include "support/subprocess.hpp"

namespace orlogix::mtk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kFlight = "flights/d3p.igc";

TEST(MtkOverPty, OwnJobReadsTheFlightThroughTheReaderThread) {
    sim::MtkConfig c;
    c.positions = test::load_flight(kFlight);
    c.stream = true;
    test::PtySim sim(std::make_unique<sim::MtkLogger>(c));
    ASSERT_TRUE(sim.started());
    test::RecordingReporter reporter;
    auto ctx = sim.job(reporter, AccessType::ReadTrackLog, ProtocolType::Mtk);
    ASSERT_EQ(run_job_inline(*ctx, read_track_log_job), 0) << reporter.last_error().text;
    const std::vector<TrackPosition>& got = ctx->result.track_log.positions;
    ASSERT_EQ(got.size(), c.positions.size());
    EXPECT_EQ(got.back().time, c.positions.back().time);
    EXPECT_EQ(got.back().gps_altitude, c.positions.back().gps_altitude);
    EXPECT_TRUE(reporter.has_status("Turn on logging"));
    EXPECT_FALSE(ctx->reader.running());
}

// One line per fix as the gpsbabel style below writes it.
std::string fix_lines(const std::vector<TrackPosition>& fixes) {
    std::string out;
    for (const TrackPosition& p : fixes) {
        const std::time_t t = static_cast<std::time_t>(p.time) + kEpochOffset;
        std::tm tm{};
        gmtime_r(&t, &tm);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &tm);
        out += strformat("%.6f,%.6f,%.1f,%s\n", semicircle_to_degrees(p.latitude), semicircle_to_degrees(p.longitude),
                         p.gps_altitude / 10.0, when);
    }
    return out;
}

class MtkPeers : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::peer_available("gpsbabel") || !test::peer_available("mtkbabel")) GTEST_SKIP();
        dir_ = fs::temp_directory_path() / ("orlogix-mtk-peers-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ASSERT_EQ(write_file_atomic(style(), "FIELD_DELIMITER COMMA\nRECORD_DELIMITER NEWLINE\n"
                                             "OFIELD LAT_DECIMAL, \"\", \"%.6f\"\nOFIELD LON_DECIMAL, \"\", \"%.6f\"\n"
                                             "OFIELD ALT_METERS, \"\", \"%.1f\"\n"
                                             "OFIELD GMT_TIME, \"\", \"%Y-%m-%dT%H:%M:%SZ\"\n"),
                  0);
        ASSERT_EQ(sim_.start(test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim"),
                             {"--family", "mtk", "--track", std::string(ORLOGIX_TEST_DATA) + "/" + kFlight, "--set",
                              "image=" + (dir_ / "flash.bin").string()}),
                  0);
        ASSERT_TRUE(sim_.read_line(device_, 10s)) << sim_.error_output();
    }
    void TearDown() override {
        if (sim_.running()) {
            sim_.send_signal(SIGTERM);
            sim_.wait(10s);
        }
        fs::remove_all(dir_);
    }
    std::string style() const { return (dir_ / "fix.style").string(); }
    // Runs a peer to its end; its exit code.
    int peer(const std::string& program, const std::vector<std::string>& args) {
        test::Subprocess p;
        if (p.start(program, args) != 0) return -1;
        for (std::string line; p.read_line(line, 120s);) {
        }
        const int rc = p.wait(120s);
        EXPECT_EQ(rc, 0) << program << ": " << p.error_output();
        return rc;
    }
    // The track of a file gpsbabel reads as `format`, one line per fix.
    std::string fixes_of(const std::string& format, const std::string& file) {
        const std::string out = (dir_ / "fixes.txt").string();
        fs::remove(out);
        peer("gpsbabel", {"-t", "-i", format, "-f", file, "-x", "transform,wpt=trk,del", "-o", "xcsv,style=" + style(),
                          "-F", out});
        std::string text;
        read_file(out, text);
        return text;
    }
    std::vector<std::string> reports(std::size_t n) {   // what the simulator printed
        std::vector<std::string> lines;
        for (std::string line; lines.size() < n && sim_.read_line(line, 10s);) lines.push_back(line);
        return lines;
    }

    fs::path dir_;
    test::Subprocess sim_;
    std::string device_;
};

TEST_F(MtkPeers, GpsbabelAndMtkbabelGetEveryFixAndErase) {
    const std::string expected = fix_lines(test::load_flight(kFlight));
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 2527);
    // The flash image as saved, read from the file by both.
    const std::string image = (dir_ / "flash.bin").string();
    EXPECT_EQ(fixes_of("mtk-bin", image), expected);
    ASSERT_EQ(peer("mtkbabel", {"-b", image, "-t"}), 0);
    EXPECT_EQ(fixes_of("gpx", (dir_ / "flash_trk.gpx").string()), expected);

    // Both as hosts of the logger; each switches logging off and on again.
    EXPECT_EQ(fixes_of("mtk", device_), expected);
    EXPECT_EQ(reports(2), (std::vector<std::string>{"logging off", "logging on"}));
    ASSERT_EQ(peer("mtkbabel", {"-p", device_, "-s", "115200", "-f", (dir_ / "x").string(), "-t"}), 0);
    EXPECT_EQ(fixes_of("gpx", (dir_ / "x_trk.gpx").string()), expected);

    ASSERT_EQ(peer("gpsbabel", {"-i", "mtk,erase_only", "-f", device_}), 0);
    ASSERT_EQ(peer("mtkbabel", {"-p", device_, "-s", "115200", "-E"}), 0);
    const std::vector<std::string> erased = reports(8);
    EXPECT_EQ(std::count(erased.begin(), erased.end(), "log erased"), 2);
}

}  // namespace
}  // namespace orlogix::mtk
