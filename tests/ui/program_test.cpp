// The orlogix program itself: /WIN=1 runs the command line in the window,
// /WIN=0 never creates one.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include <filesystem>

#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orlogix-ui-program-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "out");
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        sim::GarminConfig config;
        config.track = sim::generated_track(50);
        harness_ = std::make_unique<sim::Harness>(std::make_unique<sim::GarminReceiver>(config));
        ASSERT_EQ(harness_->start(), 0);
    }
    void TearDown() override {
        harness_.reset();
        fs::remove_all(dir_);
    }
    int run(const std::vector<std::string>& args, const std::string& program = test::built_program("ORLOGIX_BIN", "orlogix")) {
        test::Subprocess p;
        EXPECT_EQ(p.start(program, args), 0);
        std::string line;
        while (p.read_line(line, 30s)) {
        }
        int code = p.wait(30s);
        stderr_ = p.error_output();
        return code;
    }
    std::size_t files_written() {
        std::size_t n = 0;
        for (auto& e : fs::directory_iterator(dir_ / "out")) n += e.path().extension() == ".igc" ? 1 : 0;
        return n;
    }
    fs::path dir_;
    std::unique_ptr<sim::Harness> harness_;
    std::string stderr_;
};

TEST_F(Program, WindowModeOneRunsTheDownloadInTheWindowAndExits) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int code = run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                          "/WIN=1", "/EXIT"});
    EXPECT_EQ(code, 0) << stderr_;
    EXPECT_EQ(files_written(), 1u);
}

TEST_F(Program, WindowModeOneNotifiesTheCallerAsHeadlessRunsDo) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string sock = (dir_ / "n.sock").string();
    int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::atomic<bool> stop{false};
    std::vector<std::string> notes;
    std::thread reader([&] {
        char buf[512];
        pollfd p{fd, POLLIN, 0};
        while (!stop) {
            if (::poll(&p, 1, 50) != 1) continue;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n > 0) notes.emplace_back(buf, static_cast<std::size_t>(n));
        }
    });
    const int code = run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                          "/NOTIFY=" + sock, "/SESSION=4", "/SENDLOG=60", "/WIN=1", "/EXIT"});
    stop = true;
    reader.join();
    ::close(fd);
    EXPECT_EQ(code, 0) << stderr_;
    ASSERT_GE(notes.size(), 3u);
    EXPECT_EQ(notes.front(), "4 Transfer started");
    EXPECT_EQ(notes.back(), "4 Transfer completed");
    int positions = 0, progress = 0;
    for (const auto& n : notes) {
        positions += n.rfind("4 Pos=", 0) == 0;
        progress += n.rfind("4 Progress ", 0) == 0;
    }
    EXPECT_GT(progress, 0);   // the protocol's own texts reach the caller
    EXPECT_GT(positions, 0);  // 50 fixes 5 s apart: a position every 60 s of track time
}

TEST_F(Program, WindowModeZeroNeverNeedsADisplay) {
    // A platform that does not exist: creating any window would fail.
    ::setenv("QT_QPA_PLATFORM", "no-such-platform", 1);
    const int code = run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                          "/WIN=0", "/EXIT"});
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_EQ(code, 0) << stderr_;
    EXPECT_EQ(files_written(), 1u);
}

TEST_F(Program, AMissingWindowProgramIsNamedInsteadOfAWindow) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // orlogix alone in a folder: its window program is not beside it.
    const fs::path alone = dir_ / "alone" / "orlogix";
    fs::create_directories(alone.parent_path());
    fs::copy_file(test::built_program("ORLOGIX_BIN", "orlogix"), alone);
    EXPECT_EQ(run({"/WIN=1", "/EXIT"}, alone.string()), 1);
    EXPECT_NE(stderr_.find((dir_ / "alone" / "orlogix-window").string() + " could not be started"), std::string::npos)
        << stderr_;
}

}  // namespace
}  // namespace orlogix
