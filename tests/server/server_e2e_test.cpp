// The server as a scoring machine runs it: orlogix /SERVER=127.0.0.1:0,
// clients on 127.0.0.1 and simulated Garmin receivers on pseudo-terminals.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <thread>
#include <tuple>

#include "formats/igc/reader.hpp"
#include "formats/igc/verify.hpp"
#include "core/report.hpp"
#include "sim/flytec/flytec_instrument.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"
#include "support/peer_programs.hpp"
#include "support/sim_kit.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string nul(const std::string& text) { return text + '\0'; }
std::string decode_error(const std::string& text) { return nul("$Orlogix Error Decode network command\n" + text); }
const std::string kRefusal = nul("$Orlogix Error New connection\r\nConnection not accepted");
const std::string kBadIdentifier = decode_error("$Orlogix Error Bad command identifier");

// One client connection on 127.0.0.1, collecting what the server sends.
class Client {
public:
    explicit Client(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Client() { close(); }
    bool connected() const { return connected_; }
    void send(std::string_view bytes) {
        for (ssize_t n; !bytes.empty() && (n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)) > 0;)
            bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    // Reads until the bytes hold text (empty: until the server ends the
    // connection) or the time is up; whether the text came.
    bool wait_for(const std::string& text, std::chrono::milliseconds limit = 30s) {
        char buf[65536];
        for (const auto until = Clock::now() + limit; Clock::now() < until;) {
            if (!text.empty() && bytes_.find(text) != std::string::npos) return true;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) break;
            bytes_.append(buf, static_cast<std::size_t>(n));
        }
        return !text.empty() && bytes_.find(text) != std::string::npos;
    }
    const std::string& read_to_end(std::chrono::milliseconds limit = 30s) {
        wait_for({}, limit);
        return bytes_;
    }
    const std::string& bytes() const { return bytes_; }
    // Drops the connection with a reset instead of a normal close.
    void reset() {
        linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        close();
    }
    void finish_sending() { ::shutdown(fd_, SHUT_WR); }   // the server reads end of file
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
    bool connected_ = false;
    std::string bytes_;
};

class ServerRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orlogix-server-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        ASSERT_EQ(server_.start(test::built_program("ORLOGIX_BIN", "orlogix"), {"/SERVER=127.0.0.1:0"}), 0);
        std::string line;
        ASSERT_TRUE(server_.read_line(line, 10s)) << server_.error_output();
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, std::regex("Listening on port (\\d+)"))) << line;
        port_ = std::stoi(m[1]);
        ASSERT_GT(port_, 0);
    }
    void TearDown() override {
        if (server_.running()) {
            server_.send_signal(SIGTERM);
            EXPECT_EQ(server_.wait(10s), 0) << server_.error_output();
        }
        receivers_.clear();
        fs::remove_all(dir_);
    }

    // A receiver with the first `count` fixes of a real flight; its device path.
    std::string receiver(std::size_t count = 40) {
        sim::GarminConfig config;
        std::vector<TrackPosition> flight = test::load_flight("flights/tri.igc");
        flight.resize(std::min(count, flight.size()));
        config.track = flight;
        track_ = flight;
        receivers_.push_back(std::make_unique<sim::Harness>(std::make_unique<sim::GarminReceiver>(config)));
        EXPECT_EQ(receivers_.back()->start(), 0);
        return receivers_.back()->device_path();
    }
    std::string download(const std::string& device, const std::string& extra = {}) {
        return "$Orlogix /gps=garmin /com=" + device + extra + std::string(1, '\0');
    }
    // n sessions, each answered a bad command (so each has its slot).
    std::vector<std::unique_ptr<Client>> answered_sessions(int n) {
        std::vector<std::unique_ptr<Client>> sessions;
        for (int i = 0; i < n; ++i) {
            sessions.push_back(std::make_unique<Client>(port_));
            sessions.back()->send(nul("hello"));
            EXPECT_TRUE(sessions.back()->wait_for(kBadIdentifier, 5s)) << i;
        }
        return sessions;
    }
    long open_descriptors() const {
        return std::distance(fs::directory_iterator("/proc/" + std::to_string(server_.pid()) + "/fd"), {});
    }

    fs::path dir_;
    test::Subprocess server_;
    int port_ = 0;
    std::vector<std::unique_ptr<sim::Harness>> receivers_;
    std::vector<TrackPosition> track_;
};

TEST_F(ServerRun, ADownloadRepliesWordForWordAndEndsTheConnection) {
    const std::string device = receiver(12);
    Client c(port_);
    // The command arrives in three packets.
    const std::string command = download(device);
    c.send(command.substr(0, 5));
    std::this_thread::sleep_for(50ms);
    c.send(command.substr(5, 20));
    std::this_thread::sleep_for(50ms);
    c.send(command.substr(25));
    std::string got = std::regex_replace(c.read_to_end(), std::regex("\\(\\d+\\.\\d{3} secs\\)"), "(T secs)");
    std::string expected = nul("$Orlogix Status Requesting product info (15)") + nul("$Orlogix Status Product data read") +
                           nul("$Orlogix Product SIMGPS Software Version 3.50") +
                           nul("$Orlogix Status Requesting track log download");
    for (int n = 5; n <= 10; n += 5) expected += nul("$Orlogix Status Track position " + std::to_string(n) + " of 13 (0m 0s)");
    expected += nul("$Orlogix Status 12 track positions read (T secs)");
    EXPECT_EQ(got, expected);
}

TEST_F(ServerRun, GrammarAndExecutionErrorsKeepTheSessionOpen) {
    Client c(port_);
    const std::pair<std::string, std::string> cases[] = {
        {"hello", "$Orlogix Error Bad command identifier"},
        {"$Orlogix /gps=garmin /com", "Missing parameter assignment character '='"},
        {"$Orlogix /com=3", "Missing GPS protocol"},
        {"$Orlogix /gps=garmin", "Missing/bad COM port"},
        {"$Orlogix /gps=garmin /com=0", "Missing/bad COM port"},
        {"$Orlogix /gps=topnav /com=3", "GPS protocol not supported"},
        {"$Orlogix /gps=mtk /com=/dev/null", "GPS protocol not supported"},
    };
    std::string expected;
    for (const auto& [command, error] : cases) {
        c.send(nul(command));
        expected += decode_error(error);
    }
    // 150 bytes and a line feed: the command is too long, and nothing of it runs.
    c.send(std::string(150, 'x') + "\n");
    expected += decode_error("Command too long");
    ASSERT_TRUE(c.wait_for(expected, 10s)) << c.bytes();
    EXPECT_EQ(c.bytes(), expected);
}

TEST_F(ServerRun, ASecondSessionOnTheSamePortIsRefusedAndADropFreesSlotAndPort) {
    const std::string device = receiver(3000);
    Client first(port_);
    first.send(download(device));
    ASSERT_TRUE(first.wait_for("Track position")) << first.bytes();
    Client second(port_);
    second.send(download(device));
    ASSERT_TRUE(second.wait_for(decode_error("COM port is used by another session"), 10s)) << second.bytes();
    // The first client goes in the middle of its download: its job is
    // aborted, and once it has ended the port is free for the next session.
    first.reset();
    bool started = false;
    for (auto until = Clock::now() + 10s; !started && Clock::now() < until;) {
        Client next(port_);
        next.send(download(device));
        next.wait_for("$Orlogix Status Requesting product info", 1s);
        started = next.bytes().find("Requesting product info") != std::string::npos;
    }
    EXPECT_TRUE(started);
}

TEST_F(ServerRun, SigtermInTheMiddleOfADownloadEndsWithinTwoSeconds) {
    const std::string device = receiver(4000);
    Client c(port_);
    c.send(download(device));
    ASSERT_TRUE(c.wait_for("Track position")) << c.bytes();
    const auto sent = Clock::now();
    ASSERT_EQ(server_.send_signal(SIGTERM), 0);
    EXPECT_EQ(server_.wait(2s), 0) << server_.error_output();
    EXPECT_LT(Clock::now() - sent, 2s);
    c.read_to_end(5s);   // the connection is gone with the process
}

TEST_F(ServerRun, TheEleventhConnectionGetsTheRefusalThenEndOfFile) {
    const auto ten = answered_sessions(10);
    Client eleventh(port_);
    EXPECT_EQ(eleventh.read_to_end(10s), kRefusal);
}

// A second server on the busy port, and ports that are no ports: standard
// error under "Start server", exit code 1.
TEST_F(ServerRun, StartErrorsGoToStandardErrorWithExitCodeOne) {
    const std::pair<std::string, std::string> cases[] = {
        {"127.0.0.1:" + std::to_string(port_), "Start server: bind() returned WSAEADDRINUSE"},
        {"127.0.0.1:", "Start server: Missing port input"},
        {"12a", "Start server: Bad port input"},
        {"65536", "Start server: Port out of range"},
    };
    for (const auto& [value, text] : cases) {
        test::Subprocess second;
        ASSERT_EQ(second.start(test::built_program("ORLOGIX_BIN", "orlogix"), {"/SERVER=" + value}), 0);
        std::string line;
        EXPECT_FALSE(second.read_line(line, 10s)) << line;
        EXPECT_EQ(second.wait(10s), 1) << value;
        EXPECT_NE(second.error_output().find(text), std::string::npos) << second.error_output();
    }
}

// Floods of connections, resets, random bytes and a client that never reads
// leave the server serving, with its descriptors back where they were.
TEST_F(ServerRun, AbuseIsBoundedAndLeavesNoDescriptorBehind) {
    answered_sessions(1);
    std::this_thread::sleep_for(200ms);
    const long before = open_descriptors();
    // Each cycle waits for one reply, so that the cycles test the server
    // rather than the listen queue; every other one ends with a reset.
    for (int i = 0; i < 1000; ++i) {
        Client c(port_);
        ASSERT_TRUE(c.connected()) << i;
        c.send(nul("hello"));
        ASSERT_TRUE(c.wait_for(kBadIdentifier, 5s)) << i;
        if (i % 2) c.reset();
    }
    {
        // 1 MiB of random bytes: replies for the NULs in it, never a crash.
        Client noise(port_);
        std::mt19937 random(17);
        std::string bytes(1 << 20, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        std::thread reader([&] { noise.read_to_end(20s); });
        noise.send(bytes);
        noise.finish_sending();
        reader.join();
        EXPECT_NE(noise.bytes().find(decode_error("Command too long")), std::string::npos);
    }
    {
        // A client that never reads is cut off: far fewer replies reach it
        // than its 400000 empty commands asked for, then the connection ends.
        Client deaf(port_);
        const std::string empties(400000, '\0');
        std::thread writer([&] { deaf.send(empties); });
        writer.join();
        deaf.read_to_end(10s);
        EXPECT_LT(deaf.bytes().size(), empties.size() * kBadIdentifier.size() / 2);
        EXPECT_GT(deaf.bytes().size(), 0u);
    }
    answered_sessions(10);
    long after = 0;
    for (auto until = Clock::now() + 5s; Clock::now() < until; std::this_thread::sleep_for(50ms))
        if ((after = open_descriptors()) == before) break;
    EXPECT_EQ(after, before);
}

TEST_F(ServerRun, TheFlightOnRequestIsASignedIgcFile) {
    const std::string device = receiver(300);
    Client c(port_);
    c.send(download(device, " /igc=1"));
    const std::string& bytes = c.read_to_end();
    const std::size_t at = bytes.find("$Orlogix IgcFile ");
    ASSERT_NE(at, std::string::npos) << bytes.substr(0, 400);
    EXPECT_NE(bytes.rfind("$Orlogix Status 300 track positions read", at), std::string::npos);
    const std::size_t line_end = bytes.find('\n', at);
    const std::size_t length = std::stoul(bytes.substr(at + 17, line_end - at - 17));
    const std::string igc = bytes.substr(line_end + 1);
    ASSERT_EQ(igc.size(), length);
    EXPECT_EQ(verify_igc(igc), IgcSecurity::Passed);
    IgcParsed parsed;
    IgcParseError err;
    ASSERT_EQ(parse_igc(igc, parsed, err), 300) << err.text;
    for (std::size_t i = 0; i < track_.size(); ++i)
        ASSERT_EQ(std::tie(parsed.positions[i].time, parsed.positions[i].latitude, parsed.positions[i].longitude),
                  std::tie(track_[i].time, track_[i].latitude, track_[i].longitude)) << i;
    if (test::peer_available("gpsbabel")) {
        const fs::path file = dir_ / "flight.igc";
        std::ofstream(file, std::ios::binary) << igc;
        test::Subprocess p;
        ASSERT_EQ(p.start("gpsbabel", {"-t", "-i", "igc", "-f", file.string(), "-o", "unicsv", "-F", "-"}), 0);
        int rows = -1;   // the header line
        for (std::string line; p.read_line(line, 30s);) ++rows;
        EXPECT_EQ(p.wait(30s), 0);
        EXPECT_EQ(rows, 300);
    }
}

TEST_F(ServerRun, TheFlightOnRequestOfAnEmptyLogIsAnError) {
    Client c(port_);
    c.send(download(receiver(0), " /igc=1"));
    const std::string& bytes = c.read_to_end();
    const std::string error = nul("$Orlogix Error Download track log\nNo positions");
    ASSERT_GE(bytes.size(), error.size()) << bytes;
    EXPECT_EQ(bytes.substr(bytes.size() - error.size()), error) << bytes;
}

// A track-list family: the client gets the list, names a track (an unlisted
// one is refused and the wait goes on) and receives the instrument's own file.
TEST_F(ServerRun, AFlytecSessionChoosesFromTheTrackListAndGetsItsOwnIgcFile) {
    sim::FlytecConfig config;
    SilentReporter quiet;
    const std::string flights = std::string(ORLOGIX_TEST_DATA) + "/flights/";
    ASSERT_TRUE(sim::load_served_tracks(quiet, {flights + "d3p.igc", flights + "flat-xcontest-8.01.igc"}, config.serial,
                                        config.tracks));
    receivers_.push_back(std::make_unique<sim::Harness>(std::make_unique<sim::FlytecInstrument>(config)));
    ASSERT_EQ(receivers_.back()->start(), 0);
    Client c(port_);
    c.send("$Orlogix /gps=iqcompeo /com=" + receivers_.back()->device_path() + " /igc=1" + std::string(1, '\0'));
    const std::string list = nul("$Orlogix TrackList " + std::to_string(config.tracks[0].start) + "," +
                                 std::to_string(config.tracks[0].duration) + "\n" +
                                 std::to_string(config.tracks[1].start) + "," +
                                 std::to_string(config.tracks[1].duration));
    ASSERT_TRUE(c.wait_for(list)) << c.bytes();
    c.send(nul("$Orlogix /track=3"));
    ASSERT_TRUE(c.wait_for(decode_error("Bad track select"), 5s)) << c.bytes();
    c.send(nul("$Orlogix /track=2"));
    const std::string& bytes = c.read_to_end();
    const std::string igc = config.tracks[1].igc;
    const std::string delivered = "$Orlogix IgcFile " + std::to_string(igc.size()) + "\n" + igc;
    ASSERT_GE(bytes.size(), delivered.size()) << bytes;
    EXPECT_EQ(bytes.substr(bytes.size() - delivered.size()), delivered);
}

}  // namespace
}  // namespace orlogix
