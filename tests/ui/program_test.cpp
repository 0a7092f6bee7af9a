// The orlogix program itself: /WIN=1 runs the command line in the window,
// /WIN=0 never creates one.
#include <gtest/gtest.h>
#include <unistd.h>

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
    int run(const std::vector<std::string>& args) {
        test::Subprocess p;
        EXPECT_EQ(p.start(test::built_program("ORLOGIX_BIN", "orlogix"), args), 0);
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

TEST_F(Program, WindowModeZeroNeverNeedsADisplay) {
    // A platform that does not exist: creating any window would fail.
    ::setenv("QT_QPA_PLATFORM", "no-such-platform", 1);
    const int code = run({"/GPS=GARMIN", "/COM=" + harness_->device_path(), "/IGC_LOG=" + (dir_ / "out").string() + "/",
                          "/WIN=0", "/EXIT"});
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_EQ(code, 0) << stderr_;
    EXPECT_EQ(files_written(), 1u);
}

}  // namespace
}  // namespace orlogix
