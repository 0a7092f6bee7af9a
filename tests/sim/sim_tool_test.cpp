// orlogix-sim as a separate process: device path first, echo over it, stop
// on a signal, usage errors.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <unistd.h>

#include "paced_echo.hpp"
#include "serial_fd.hpp"
#include "support/subprocess.hpp"

namespace orlogix::sim {
namespace {

using namespace std::chrono_literals;
using orlogix::test::Subprocess;
using test::SerialFd;

std::string sim_bin() {
    return orlogix::test::built_program("ORLOGIX_SIM_BIN", "orlogix-sim");
}

class SimTool : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::access(sim_bin().c_str(), X_OK), 0) << sim_bin() << " is not built"; }
    // Starts the tool and reads its device path; empty on failure.
    std::string start(const std::vector<std::string>& args) {
        if (proc.start(sim_bin(), args) != 0) return "";
        std::string path;
        if (!proc.read_line(path, 5s)) return "";
        return path;
    }
    Subprocess proc;
};

TEST_F(SimTool, FirstLineIsAnOpenableCharacterDevice) {
    const std::string path = start({"--family", "echo"});
    ASSERT_FALSE(path.empty()) << proc.error_output();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    SerialFd port(path);
    EXPECT_TRUE(port.ok());
}

TEST_F(SimTool, EchoesAndStopsCleanlyOnSigterm) {
    const std::string path = start({"--family", "echo"});
    ASSERT_FALSE(path.empty()) << proc.error_output();
    SerialFd port(path);
    ASSERT_TRUE(port.send("$PING*00\r\n"));
    EXPECT_EQ(port.read_n(10), "$PING*00\r\n");
    ASSERT_EQ(proc.send_signal(SIGTERM), 0);
    EXPECT_EQ(proc.wait(5s), 0);
}

TEST_F(SimTool, StopsCleanlyOnSigintWithoutAnyClient) {
    ASSERT_FALSE(start({"--family", "echo"}).empty());
    ASSERT_EQ(proc.send_signal(SIGINT), 0);
    EXPECT_EQ(proc.wait(5s), 0);
}

TEST_F(SimTool, FaultSwitchesReachTheInstrument) {
    const std::string path = start({"--family", "echo", "--drop", "2", "--cut-after", "9"});
    ASSERT_FALSE(path.empty()) << proc.error_output();
    SerialFd port(path);
    ASSERT_TRUE(port.send("one\ntwo\nthree\nfour\n"));
    EXPECT_EQ(port.read_n(9), "one\nthree");
    EXPECT_EQ(port.read_for(100ms), "");
}

TEST_F(SimTool, PaceKeepsTheEchoToTheLineRate) {
    const std::string path = start({"--family", "echo", "--pace"});
    ASSERT_FALSE(path.empty()) << proc.error_output();
    SerialFd port(path);
    EXPECT_TRUE(test::echo_keeps_to_the_line(port, B9600, 9600, std::string(40, 'q') + "\n"));
}

TEST_F(SimTool, PrintsReportedUploadsAsLines) {
    const std::string path = start({"--family", "echo", "--set", "report=on"});
    ASSERT_FALSE(path.empty()) << proc.error_output();
    SerialFd port(path);
    ASSERT_TRUE(port.send("A01 HOME\n"));
    std::string line;
    ASSERT_TRUE(proc.read_line(line, 5s));
    EXPECT_EQ(line, "line A01 HOME");
}

struct BadArguments {
    const char* name;
    std::vector<std::string> args;
    const char* error_part;
};

class SimToolUsage : public SimTool, public ::testing::WithParamInterface<BadArguments> {};

TEST_P(SimToolUsage, ExitsWithCodeTwoAndSaysWhy) {
    ASSERT_EQ(proc.start(sim_bin(), GetParam().args), 0);
    EXPECT_EQ(proc.wait(5s), 2);
    const std::string err = proc.error_output();
    EXPECT_NE(err.find(GetParam().error_part), std::string::npos) << err;
    std::string line;
    EXPECT_FALSE(proc.read_line(line, 100ms)) << "no device path expected, got " << line;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimToolUsage,
    ::testing::Values(BadArguments{"NoFamily", {}, "--family is required"},
                      BadArguments{"UnknownFamily", {"--family", "nosuch"}, "unknown family nosuch"},
                      BadArguments{"MissingValue", {"--family"}, "--family needs a value"},
                      BadArguments{"CorruptZero", {"--family", "echo", "--corrupt", "0"}, "--corrupt takes"},
                      BadArguments{"DropNotANumber", {"--family", "echo", "--drop", "2x"}, "--drop takes"},
                      BadArguments{"CutAfterNegative", {"--family", "echo", "--cut-after", "-1"}, "--cut-after takes"},
                      BadArguments{"SetWithoutKey", {"--family", "echo", "--set", "=on"}, "--set takes key=value"},
                      BadArguments{"UnknownSetting", {"--family", "echo", "--set", "color=red"}, "Unknown setting color"},
                      BadArguments{"UnknownArgument", {"--family", "echo", "--verbose"}, "unknown argument --verbose"}),
    [](const ::testing::TestParamInfo<BadArguments>& info) { return std::string(info.param.name); });

TEST_F(SimTool, HelpPrintsTheUsageAndTheFamiliesAndSucceeds) {
    ASSERT_EQ(proc.start(sim_bin(), {"--help"}), 0);
    std::string line, all;
    while (proc.read_line(line, 2s)) all += line + "\n";
    EXPECT_EQ(proc.wait(5s), 0);
    EXPECT_EQ(all.rfind("usage: orlogix-sim --family NAME", 0), 0u) << all;
    EXPECT_NE(all.find("\n  garmin "), std::string::npos) << all;
    EXPECT_EQ(proc.error_output(), "");
}

TEST_F(SimTool, AnUnreadableTrackFileTypeIsAClearFailure) {
    ASSERT_EQ(proc.start(sim_bin(), {"--family", "echo", "--track", "/tmp/flight.unknownext"}), 0);
    EXPECT_EQ(proc.wait(5s), 1);
    EXPECT_NE(proc.error_output().find("Unknown track file type \".unknownext\""), std::string::npos)
        << proc.error_output();
}

}  // namespace
}  // namespace orlogix::sim
