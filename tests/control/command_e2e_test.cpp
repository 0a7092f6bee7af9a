// The program as a user runs it: the orlogix executable with a command line,
// against a simulated Garmin receiver on a pseudo-terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "core/report.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/igc/reader.hpp"
#include "formats/igc/verify.hpp"
#include "formats/igc/writer.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"
#include "sim/upload_log.hpp"
#include "formats/commands/waypoint_file.hpp"
#include "competition/identity_position.hpp"
#include "competition/pilot_identity.hpp"
#include "support/peer_programs.hpp"
#include "support/recording_reporter.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<TrackPosition> load_flight(const std::string& name) {
    std::string bytes;
    EXPECT_EQ(read_file(std::string(ORLOGIX_TEST_DATA) + "/flights/" + name, bytes), 0);
    IgcParsed parsed;
    IgcParseError err;
    EXPECT_GT(parse_igc(bytes, parsed, err), 0) << err.text;
    return parsed.positions;
}

// Variables taken out of the environment the program is started with, for one test.
class WithoutEnvironment {
public:
    explicit WithoutEnvironment(std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (const char* v = std::getenv(n)) saved_.emplace_back(n, v);
            ::unsetenv(n);
        }
    }
    ~WithoutEnvironment() {
        for (const auto& [n, v] : saved_) ::setenv(n.c_str(), v.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::string>> saved_;
};

class CommandLineRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orlogix-e2e-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "out");
        // Keep the user's settings out of it.
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void start_receiver(std::vector<TrackPosition> track, sim::FaultSettings faults = {},
                        std::vector<Waypoint> waypoints = {}) {
        sim::GarminConfig config;
        config.track = std::move(track);
        config.waypoints = std::move(waypoints);
        harness_ = std::make_unique<sim::Harness>(std::make_unique<sim::GarminReceiver>(config));
        harness_->instrument().set_faults(faults);
        harness_->instrument().set_report_sink(uploads_.sink());
        ASSERT_EQ(harness_->start(), 0);
    }

    // Runs orlogix with the arguments; the exit code.
    int run(const std::vector<std::string>& args, std::string* out = nullptr) {
        test::Subprocess p;
        EXPECT_EQ(p.start(test::built_program("ORLOGIX_BIN", "orlogix"), args), 0);
        std::string line, all;
        while (p.read_line(line, 30s)) all += line + "\n";
        int code = p.wait(30s);
        stderr_ = p.error_output();
        if (out) *out = all;
        return code;
    }

    std::vector<fs::path> igc_files() {
        std::vector<fs::path> files;
        for (auto& e : fs::directory_iterator(dir_ / "out")) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        return files;
    }

    fs::path dir_;
    std::unique_ptr<sim::Harness> harness_;
    sim::UploadLog uploads_;
    std::string stderr_;
};

TEST_F(CommandLineRun, DownloadsARealFlightIntoASignedIgcFile) {
    std::vector<TrackPosition> flight = load_flight("tri.igc");
    ASSERT_GT(flight.size(), 4000u);
    start_receiver(flight);
    std::string out;
    int code = run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                    "/PILOT=Jo Example", "/WIN=0", "/EXIT"},
                   &out);
    ASSERT_EQ(code, 0) << stderr_;
    auto files = igc_files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "2019-06-15-xqv-000-01.igc");
    EXPECT_NE(out.find("4514 positions written"), std::string::npos) << out;

    std::string bytes;
    ASSERT_EQ(read_file(files[0].string(), bytes), 0);
    EXPECT_NE(bytes.find("HOPLTPILOT: Jo Example\r\n"), std::string::npos);
    EXPECT_EQ(verify_igc(bytes), IgcSecurity::Passed);
    IgcParsed back;
    IgcParseError err;
    ASSERT_EQ(parse_igc(bytes, back, err), static_cast<int>(flight.size())) << err.text;
    for (std::size_t i = 0; i < flight.size(); ++i) {
        ASSERT_EQ(back.positions[i].time, flight[i].time) << i;
        ASSERT_EQ(back.positions[i].latitude, flight[i].latitude) << i;
        ASSERT_EQ(back.positions[i].longitude, flight[i].longitude) << i;
        ASSERT_EQ(back.positions[i].gps_altitude, flight[i].gps_altitude) << i;
    }
}

TEST_F(CommandLineRun, SecondDownloadTakesTheNextFreeFlightNumber) {
    start_receiver(sim::generated_track(50));
    std::vector<std::string> args = {"/GPS=garmin", "/COM=" + harness_->device_path(),
                                     "/IGC_LOG=" + (dir_ / "out").string() + "/", "/WIN=0", "/EXIT"};
    ASSERT_EQ(run(args), 0) << stderr_;
    // An existing folder named without the slash is a folder all the same.
    args[2] = "/IGC_LOG=" + (dir_ / "out").string();
    ASSERT_EQ(run(args), 0) << stderr_;
    auto files = igc_files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[0].string().find("-01.igc"), std::string::npos);
    EXPECT_NE(files[1].string().find("-02.igc"), std::string::npos);
}

TEST_F(CommandLineRun, FlightNumbersOneAndTwoPresentGiveThree) {
    std::vector<TrackPosition> track = sim::generated_track(20);
    start_receiver(track);
    CalendarTime day = calendar_from_time(track.front().time);
    for (int flight : {1, 2}) {
        std::string name = strformat("%d-%02d-%02d-xqv-000-%02d.igc", day.year, day.month, day.day, flight);
        ASSERT_EQ(write_file_atomic((dir_ / "out" / name).string(), "taken"), 0);
    }
    ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                   "/WIN=0", "/EXIT"}),
              0)
        << stderr_;
    auto files = igc_files();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_NE(files[2].string().find("-03.igc"), std::string::npos);
    std::string first;
    ASSERT_EQ(read_file(files[0].string(), first), 0);
    EXPECT_EQ(first, "taken");
    for (int flight = 4; flight <= 35; ++flight) {
        std::string name = strformat("%d-%02d-%02d-xqv-000-%02d.igc", day.year, day.month, day.day, flight);
        ASSERT_EQ(write_file_atomic((dir_ / "out" / name).string(), "taken"), 0);
    }
    EXPECT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string(), "/WIN=0",
                   "/EXIT"}),
              1);
    EXPECT_NE(stderr_.find("Save IGC log: No free flight number available in " + (dir_ / "out").string() + "/\n"),
              std::string::npos)
        << stderr_;
}

TEST_F(CommandLineRun, CommandLineLeavesStoredSettingsByteIdentical) {
    fs::create_directories(dir_ / "config" / "orlogix");
    const std::string file = (dir_ / "config" / "orlogix" / "settings.ini").string();
    const std::string stored = "[Orlogix]\nPortName=/dev/ttyS7\nTrackGapTime=600\nIgcPilotName=Kept\n";
    ASSERT_EQ(write_file_atomic(file, stored), 0);
    start_receiver(sim::generated_track(20));
    ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                   "/WIN=0", "/EXIT"}),
              0)
        << stderr_;
    std::string after;
    ASSERT_EQ(read_file(file, after), 0);
    EXPECT_EQ(after, stored);
}

TEST_F(CommandLineRun, SilentReceiverFailsWithExitCodeOneAndWritesNothing) {
    sim::FaultSettings silent;
    silent.silent = true;
    start_receiver(sim::generated_track(10), silent);
    int code = run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                    "/TIMEOUT=3", "/WIN=0", "/EXIT"});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(igc_files().empty());
    EXPECT_FALSE(stderr_.empty());
}

TEST_F(CommandLineRun, MissingPortFailsAfterTheConnectAttempts) {
    int code = run({"/GPS=GARMIN", "/COM=/dev/orlogix-no-such-port", "/IGC_LOG=" + (dir_ / "out").string() + "/",
                    "/TIMEOUT=1", "/WIN=0", "/EXIT"});
    EXPECT_EQ(code, 1);
    EXPECT_NE(stderr_.find("Could not open serial port (sure it's the right one ?)"), std::string::npos) << stderr_;
}

TEST_F(CommandLineRun, ParseErrorsAreReportedAndFail) {
    EXPECT_EQ(run({"/GPS=GARMIN", "/WIN=3"}), 2);
    EXPECT_NE(stderr_.find("Parsing command line: Bad window size"), std::string::npos) << stderr_;
    EXPECT_EQ(run({"/GPS=FLYMASTER", "/USB", "/KML_LOG=x.kml"}), 2);
    EXPECT_NE(stderr_.find("USB is not supported"), std::string::npos) << stderr_;
}

TEST_F(CommandLineRun, APortThatCannotBeSetUpFailsEveryKindOfJob) {
    EXPECT_EQ(run({"/GPS=MLR", "/COM=/dev/null", "/COMP_LOG=KML", "/WIN=0", "/EXIT"}), 1);
    EXPECT_NE(stderr_.find("Error while initialising port"), std::string::npos) << stderr_;
    // USERNAME waits for its job and exits with its result: here the port fails.
    EXPECT_EQ(run({"/GPS=FLYMASTER", "/COM=/dev/null", "/USERNAME=Jo", "/WIN=0", "/EXIT"}), 1);
    EXPECT_NE(stderr_.find("Error while initialising port"), std::string::npos) << stderr_;
}

TEST_F(CommandLineRun, OziAndMapSourceTracksWriteAndOpenAgain) {
    std::vector<TrackPosition> track = sim::generated_track(40);
    start_receiver(track);
    for (const char* op : {"/OZI_LOG=", "/MPS_LOG="}) {
        const std::string ext = std::string(op) == "/OZI_LOG=" ? ".plt" : ".mps";
        const std::string file = (dir_ / "out" / ("t" + ext)).string();
        std::string out;
        ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), op + file, "/WIN=0", "/EXIT"}, &out), 0)
            << stderr_;
        EXPECT_EQ(out, file + ": 40 positions written\n");
        ASSERT_EQ(run({file}, &out), 0) << stderr_;
        EXPECT_EQ(out, "40 positions read (Signature ignored)\n");
    }
}

TEST_F(CommandLineRun, OpensAnIgcFileGivenAsTheOnlyArgument) {
    std::string path = std::string(ORLOGIX_TEST_DATA) + "/flights/d3p.igc";
    std::string out;
    ASSERT_EQ(run({path}, &out), 0) << stderr_;
    EXPECT_EQ(out, "2527 positions read (Signature ignored)\n");
    EXPECT_EQ(run({(dir_ / "nothing.igc").string()}), 2);  // not a file: read as a keyword
    // Instruments name their files in upper case.
    const std::string upper = (dir_ / "FLIGHT.IGC").string();
    fs::copy_file(path, upper);
    for (const std::vector<std::string>& args : {std::vector<std::string>{upper}, {"/LOGFILE=" + upper, "/WIN=0", "/EXIT"}}) {
        ASSERT_EQ(run(args, &out), 0) << args[0] << ": " << stderr_;
        EXPECT_EQ(out, "2527 positions read (Signature ignored)\n") << args[0];
    }
}

// The calling program's notification socket, read on its own thread while
// the program runs (the program waits for a receiver that reads slowly).
class NotifyReceiver {
public:
    explicit NotifyReceiver(const std::string& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        reader_ = std::thread([this] {
            char buf[512];
            pollfd p{fd_, POLLIN, 0};
            while (!stop_) {
                if (::poll(&p, 1, 50) != 1) continue;
                ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
                if (n > 0) notes_.emplace_back(buf, static_cast<std::size_t>(n));
            }
        });
    }
    ~NotifyReceiver() {
        stop();
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    // Everything received; call once the program has ended.
    std::vector<std::string> notes() {
        stop();
        return notes_;
    }

private:
    void stop() {
        if (reader_.joinable()) {
            ::usleep(100000);  // the last datagrams are in the queue already
            stop_ = true;
            reader_.join();
        }
    }
    std::string path_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread reader_;
    std::vector<std::string> notes_;
};

TEST_F(CommandLineRun, NotifiesStartStatusPositionsAndCompletion) {
    start_receiver(sim::generated_track(40));
    NotifyReceiver rx((dir_ / "n.sock").string());
    ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                   "/NOTIFY=" + (dir_ / "n.sock").string(), "/SESSION=9", "/SENDLOG=60", "/WIN=0", "/EXIT"}),
              0)
        << stderr_;
    auto notes = rx.notes();
    ASSERT_GE(notes.size(), 3u);
    EXPECT_EQ(notes.front(), "9 Transfer started");
    EXPECT_EQ(notes.back(), "9 Transfer completed");
    int positions = 0, progress = 0;
    for (const auto& n : notes) {
        EXPECT_EQ(n.rfind("9 ", 0), 0u) << n;
        positions += n.rfind("9 Pos=", 0) == 0;
        progress += n.rfind("9 Progress ", 0) == 0;
    }
    EXPECT_EQ(progress, 8);  // every fifth of the 40 track points
    // 40 fixes 5 s apart span 195 s: one position every 60 s of track time.
    EXPECT_EQ(positions, 4);
}

std::string command_time(uint32_t t) {
    const CalendarTime c = calendar_from_time(t);
    return strformat("%04d%02d%02d%02d%02d%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
}

TEST_F(CommandLineRun, CompLogWritesThePilotsFilesInsideTheWindow) {
    const std::vector<TrackPosition> flight = load_flight("d3p.igc");
    start_receiver(flight);
    const uint32_t start = flight.front().time + 600, stop = flight.back().time - 600;
    const fs::path out = dir_ / "out";
    NotifyReceiver rx((dir_ / "n.sock").string());
    ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/COMP_LOG=IGC", "/COMP_DIR=" + out.string(),
                   "/PILOT=Anna Berg", "/COMPID=12", "/CIVLID=34567", "/FILTER=" + command_time(start),
                   "/FILTEREND=" + command_time(stop), "/NOTIFY=" + (dir_ / "n.sock").string(), "/SESSION=9",
                   "/WIN=0", "/EXIT"}),
              0)
        << stderr_;
    const std::vector<fs::path> files = igc_files();
    ASSERT_EQ(files.size(), 2u);
    const std::string base = files[0].parent_path() / files[0].stem();
    EXPECT_EQ(files[0].filename().string().rfind("Anna Berg.", 0), 0u);
    EXPECT_TRUE(base.ends_with(".34567.12"));
    EXPECT_EQ(files[1], base + ".kml");
    const auto notes = rx.notes();
    auto has = [&](const std::string& n) { return std::find(notes.begin(), notes.end(), n) != notes.end(); };
    EXPECT_TRUE(has("9 Pilot [12] Anna Berg"));
    EXPECT_TRUE(has("9 File \"" + base + ".igc\" written"));
    EXPECT_TRUE(has("9 File \"" + base + ".kml\" written"));

    std::string igc, kml;
    ASSERT_EQ(read_file(base + ".igc", igc), 0);
    ASSERT_EQ(read_file(base + ".kml", kml), 0);
    EXPECT_EQ(verify_igc(igc), IgcSecurity::Passed);
    EXPECT_NE(kml.find("civl_pilot_id=\"34567\" comp_pilot_id=\"12\""), std::string::npos);
    IgcParsed parsed;
    IgcParseError err;
    ASSERT_GT(parse_igc(igc, parsed, err), 0) << err.text;
    std::size_t inside = 0;
    for (const TrackPosition& p : flight) inside += p.time >= start && p.time <= stop;
    EXPECT_LE(parsed.positions.size(), inside);
    EXPECT_GT(parsed.positions.size(), inside * 9 / 10);  // only the speed check may drop a few
    for (const TrackPosition& p : parsed.positions) {
        EXPECT_GE(p.time, start);
        EXPECT_LE(p.time, stop);
    }
    std::string check;
    EXPECT_EQ(run({"/CHKKML=" + base + ".kml", "/WIN=0", "/EXIT"}, &check), 0) << stderr_;
    if (test::peer_available("xmllint")) {
        EXPECT_EQ(std::system(("xmllint --noout '" + base + ".kml'").c_str()), 0);
    }
    // gpsbabel reads the same fixes from both files.
    if (test::peer_available("gpsbabel")) {
        auto rows = [](const std::string& command) {
            test::Subprocess p;
            EXPECT_EQ(p.start("/bin/sh", {"-c", command}), 0);
            std::string line;
            int n = -1;  // the header line
            while (p.read_line(line, 30s)) ++n;
            p.wait(30s);
            return n;
        };
        const int from_igc = rows("gpsbabel -t -i igc -f '" + base + ".igc' -o unicsv -F -");
        EXPECT_EQ(from_igc, static_cast<int>(parsed.positions.size()));
        EXPECT_EQ(rows("gpsbabel -t -i kml -f '" + base + ".kml' -x track,name=Tracklog -o unicsv -F -"), from_igc);
    }
}

// The pilot's IDs come from the instrument's COMPID/CIVLID waypoints and
// choose the entry of the pilot list; a transfer that fails writes nothing
// and leaves the files already in the folder alone.
TEST_F(CommandLineRun, CompLogFindsThePilotOnTheInstrumentAndFailsCleanly) {
    std::vector<Waypoint> waypoints = sim::generated_waypoints(3);
    ASSERT_EQ(append_identity_waypoints(waypoints, PilotIds{13, 34567}, false, 0), 0);
    const std::string list = std::string(ORLOGIX_TEST_DATA) + "/competition/pilots_python.csv";
    const std::vector<std::string> args{"/GPS=GARMIN", "/COMP_LOG=KML", "/COMP_DIR=" + (dir_ / "out").string(),
                                        "/COMP_FS=" + list, "/TIMEOUT=3", "/WIN=0", "/EXIT"};
    auto with_port = [&] {
        std::vector<std::string> a = args;
        a.push_back("/COM=" + harness_->device_path());
        return a;
    };
    start_receiver(sim::generated_track(60), {}, waypoints);
    ASSERT_EQ(run(with_port()), 0) << stderr_;
    const std::vector<fs::path> first = igc_files();
    ASSERT_EQ(first.size(), 1u);
    const std::string name = first[0].filename().string();
    EXPECT_EQ(name.rfind("Berg, Anna.", 0), 0u) << name;
    EXPECT_TRUE(name.ends_with(".34567.13.kml")) << name;
    std::string kept;
    ASSERT_EQ(read_file(first[0].string(), kept), 0);

    sim::FaultSettings silent, cut;
    silent.silent = true;
    cut.cut_after = 300;
    for (const sim::FaultSettings& f : {silent, cut}) {
        start_receiver(sim::generated_track(60), f, waypoints);
        EXPECT_EQ(run(with_port()), 1);
        EXPECT_EQ(igc_files(), first);
        std::string now;
        ASSERT_EQ(read_file(first[0].string(), now), 0);
        EXPECT_EQ(now, kept);
    }
}

TEST_F(CommandLineRun, CompLogWithABadPilotListAsksNoInstrument) {
    const fs::path list = dir_ / "list.csv";
    ASSERT_EQ(write_file_atomic(list.string(), "Anna,12x\r\n"), 0);
    start_receiver(sim::generated_track(40));
    EXPECT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/COMP_LOG=KML",
                   "/COMP_DIR=" + (dir_ / "out").string(), "/COMP_FS=" + list.string(), "/WIN=0", "/EXIT"}),
              1);
    EXPECT_NE(stderr_.find("Bad CompId number"), std::string::npos) << stderr_;
    EXPECT_TRUE(igc_files().empty());
}

}  // namespace
}  // namespace orlogix

namespace orlogix {
namespace {

TEST_F(CommandLineRun, KmlLogWritesASignedTripThatChecksAndOpens) {
    std::vector<TrackPosition> flight = load_flight("d3p.igc");
    start_receiver(flight);
    const std::string kml = (dir_ / "out" / "$date.kml").string();
    std::string out;
    ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/KML_LOG=" + kml, "/WIN=0", "/EXIT"}, &out), 0)
        << stderr_;
    auto files = igc_files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string().size(), std::string("20190615.kml").size());
    EXPECT_EQ(files[0].extension(), ".kml");

    ASSERT_EQ(run({"/CHKKML=" + files[0].string(), "/WIN=0", "/EXIT"}, &out), 0) << stderr_;
    EXPECT_EQ(out, std::to_string(flight.size()) + " positions read (Signature OK)\n");
    ASSERT_EQ(run({files[0].string()}, &out), 0) << stderr_;
    EXPECT_EQ(out, std::to_string(flight.size()) + " positions read (Signature ignored)\n");

    // One changed fix in the signed track breaks the check.
    std::string text;
    ASSERT_EQ(read_file(files[0].string(), text), 0);
    std::size_t at = text.find("time_of_first_point");
    ASSERT_NE(at, std::string::npos);
    at = text.find("<coordinates>", at);
    ASSERT_NE(at, std::string::npos);
    at = text.find_first_of("123456789", at + 20);
    text[at] = text[at] == '9' ? '8' : static_cast<char>(text[at] + 1);
    ASSERT_EQ(write_file_atomic(files[0].string(), text), 0);
    const std::string check = "/CHKKML=" + files[0].string();
    EXPECT_EQ(run({check, "/WIN=0", "/EXIT"}, &out), 1);
    // Every outcome of a check is its output, not only the good one.
    EXPECT_EQ(out, std::to_string(flight.size()) + " positions read (NO signature)\n");
    at = text.find(" hash=\"");
    ASSERT_NE(at, std::string::npos);
    text.erase(at, text.find('"', at + 7) + 1 - at);
    ASSERT_EQ(write_file_atomic(files[0].string(), text), 0);
    EXPECT_EQ(run({check, "/WIN=0", "/EXIT"}, &out), 1);
    EXPECT_EQ(out, std::to_string(flight.size()) + " positions read (NO signature)\n");
    ASSERT_EQ(write_file_atomic(files[0].string(), text.substr(0, text.find("<coordinates>") + 20)), 0);
    EXPECT_EQ(run({check, "/WIN=0", "/EXIT"}, &out), 1);
    EXPECT_EQ(out, "No positions found\n");
    EXPECT_EQ(stderr_.rfind("Parsing track log file: ", 0), 0u) << stderr_;  // the reader's own error
}

TEST_F(CommandLineRun, ExistingKmlIsKeptAndTheRunFailsInHiddenModeWithoutOverwrite) {
    start_receiver(sim::generated_track(30));
    const std::string kml = (dir_ / "out" / "f.kml").string();
    ASSERT_EQ(write_file_atomic(kml, "keep me"), 0);
    EXPECT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/KML_LOG=" + kml, "/WIN=0", "/EXIT"}), 1);
    EXPECT_NE(stderr_.find("File already exists"), std::string::npos) << stderr_;
    std::string text;
    ASSERT_EQ(read_file(kml, text), 0);
    EXPECT_EQ(text, "keep me");
    EXPECT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/KML_LOG=" + kml, "/OVERWRITE", "/WIN=0",
                   "/EXIT"}),
              0)
        << stderr_;
    ASSERT_EQ(read_file(kml, text), 0);
    EXPECT_NE(text.find("<Document>"), std::string::npos);
}

TEST_F(CommandLineRun, IgcToKmlConvertsARealFlight) {
    fs::copy_file(std::string(ORLOGIX_TEST_DATA) + "/flights/line.igc", dir_ / "out" / "line.igc");
    ASSERT_EQ(run({"/IGC2KML=" + (dir_ / "out" / "line.igc").string()}), 0) << stderr_;
    std::string text;
    ASSERT_EQ(read_file((dir_ / "out" / "line.kml").string(), text), 0);
    EXPECT_NE(text.find("<Document>"), std::string::npos);
    EXPECT_EQ(run({"/IGC2KML=" + (dir_ / "out" / "missing.igc").string()}), 1);
}

}  // namespace
}  // namespace orlogix

namespace orlogix {
namespace {

TEST_F(CommandLineRun, WaypointsDownloadIntoAnOziFileThatReadsBack) {
    std::vector<Waypoint> served = sim::generated_waypoints(12);
    start_receiver({}, {}, served);
    const std::string file = (dir_ / "out" / "w.wpt").string();
    std::string out;
    ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/RD_WPT=" + file, "/WIN=0", "/EXIT"}, &out), 0)
        << stderr_;
    EXPECT_EQ(out, file + ": 12 waypoints written\n");
    test::RecordingReporter r;
    std::vector<Waypoint> back;
    ASSERT_EQ(read_waypoint_file(r, file, false, back), 12);
    for (std::size_t i = 0; i < served.size(); ++i) {
        EXPECT_EQ(back[i].identifier, served[i].identifier);
        // The file keeps six decimals of a degree: within 0.11 m.
        EXPECT_NEAR(back[i].latitude, served[i].latitude, 12);
        EXPECT_NEAR(back[i].longitude, served[i].longitude, 12);
    }
}

TEST_F(CommandLineRun, WaypointFileUploadAddsThePilotNumberWaypoints) {
    start_receiver({});
    std::vector<Waypoint> file_points = sim::generated_waypoints(3);
    const std::string file = (dir_ / "up.wpt").string();
    test::RecordingReporter r;
    ASSERT_EQ(write_waypoint_file(r, file, file_format(FormatKind::Waypoint, "ozi"), file_points), 0);
    ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/WR_WPT=" + file, "/COMPID=123",
                   "/CIVLID=45678", "/WIN=0", "/EXIT"}),
              0)
        << stderr_;
    ASSERT_TRUE(uploads_.wait_for(5, 5s));
    std::vector<std::string> ids;
    for (const auto& line : uploads_.lines())
        if (line.rfind("waypoint ", 0) == 0) ids.push_back(line.substr(9, line.find(' ', 9) - 9));
    ASSERT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids[3], "COMPID");
    EXPECT_EQ(ids[4], "CIVLID");
    SemicirclePair p;
    ASSERT_EQ(encode_id_position(123, p), 0);
    bool found = false;
    for (const auto& line : uploads_.lines())
        found |= line.rfind(strformat("waypoint COMPID %d %d ", p.latitude, p.longitude), 0) == 0;
    EXPECT_TRUE(found);
}

TEST_F(CommandLineRun, MissingWaypointFileFailsBeforeAnyTransfer) {
    EXPECT_EQ(run({"/GPS=GARMIN", "/COM=/dev/null", "/WR_WPT=" + (dir_ / "none.wpt").string(), "/WIN=0", "/EXIT"}),
              1);
}

}  // namespace
}  // namespace orlogix

namespace orlogix {
namespace {

TEST_F(CommandLineRun, XcScoreOfARealFlightPrintsEveryTypeAndWritesGeoJson) {
    const std::string geojson = (dir_ / "out" / "best.geojson").string();
    std::string out;
    ASSERT_EQ(run({"/XC_SCORE=" + std::string(ORLOGIX_TEST_DATA) + "/flights/trifai-xcontest-189.65.igc",
                   "/XC_OUT=" + geojson, "/TIMEOUT=30"},
                  &out),
              0)
        << stderr_;
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 7u) << out;
    EXPECT_EQ(lines[0], "Rules: XContest");
    EXPECT_EQ(lines[3].rfind("FAI triangle: 121.93 km x 1.40 = 166.21 points, turnpoints ", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find(", closing 3.21 km, optimal"), std::string::npos) << lines[3];
    EXPECT_EQ(lines[6].rfind("Best: Closed FAI triangle, ", 0), 0u) << lines[6];
    // A JSON parser reads the file; the properties carry the best result.
    test::Subprocess py;
    ASSERT_EQ(py.start("python3", {"-c",
                                   "import json,sys\n"
                                   "d=json.load(open(sys.argv[1]))\n"
                                   "p=d['properties']\n"
                                   "ids=[f['properties']['id'] for f in d['features']]\n"
                                   "print(d['type'],p['rules'],p['code'],p['distance'],p['optimal'],p['score']==p['bound'],"
                                   "' '.join(ids))",
                                   geojson}),
              0);
    std::string parsed;
    ASSERT_TRUE(py.read_line(parsed, 30s));
    EXPECT_EQ(py.wait(30s), 0) << py.error_output();
    EXPECT_EQ(parsed, "FeatureCollection XContest fai 121.93 True True cp_in tp0 tp1 tp2 cp_out seg0 seg1 seg2 closing");
}

TEST_F(CommandLineRun, XcScoreAfterADownloadScoresTheDownloadedTrack) {
    start_receiver(load_flight("tri.igc"));
    std::string out;
    ASSERT_EQ(run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/KML_LOG=" + (dir_ / "out" / "t.kml").string(),
                   "/XC_SCORE", "/XC_RULES=ffvl", "/WIN=0", "/EXIT"},
                  &out),
              0)
        << stderr_;
    EXPECT_NE(out.find("Rules: FFVL\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nBest: "), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(dir_ / "out" / "t.kml"));
}

}  // namespace
}  // namespace orlogix
