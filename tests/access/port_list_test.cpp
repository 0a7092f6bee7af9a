// The port list over a fake /dev and /sys tree, and how port names resolve.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "access/port_list.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

class FakeDevices : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("orlogix-ports-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "dev");
        fs::create_directories(root_ / "sys" / "class" / "tty");
        roots_.dev = (root_ / "dev").string();
        roots_.sys = (root_ / "sys").string();
    }
    void TearDown() override { fs::remove_all(root_); }

    // A device node stand-in, with or without a bound driver.
    void device(const std::string& name, bool driver = true) {
        std::ofstream(root_ / "dev" / name).put('\0');
        fs::create_directories(root_ / "sys" / "class" / "tty" / name / "device");
        if (driver) fs::create_directories(root_ / "sys" / "class" / "tty" / name / "device" / "driver");
    }
    void by_id(const std::string& name, const std::string& target) {
        fs::create_directories(root_ / "dev" / "serial" / "by-id");
        fs::create_symlink("../../" + target, root_ / "dev" / "serial" / "by-id" / name);
    }
    std::string dev(const std::string& rel) const { return (root_ / "dev" / rel).string(); }

    fs::path root_;
    DeviceRoots roots_;
};

TEST_F(FakeDevices, StableOrderOnlyDevicesWithADriver) {
    device("ttyS1");
    device("ttyS0", false);   // a legacy port with nothing behind it
    device("ttyUSB10");
    device("ttyUSB2");
    device("ttyACM0");
    device("ttyUSBx");        // not a numbered device
    device("console");
    auto ports = list_serial_ports(roots_);
    std::vector<std::string> expected = {dev("ttyUSB2"), dev("ttyUSB10"), dev("ttyACM0"), dev("ttyS1")};
    EXPECT_EQ(ports, expected);
}

TEST_F(FakeDevices, ByIdNamesComeFirstAndReplaceTheirTargets) {
    device("ttyUSB0");
    device("ttyUSB1");
    by_id("usb-Prolific_USB-Serial-if00-port0", "ttyUSB1");
    by_id("usb-FTDI_FT232R-if00-port0", "ttyUSB0");
    auto ports = list_serial_ports(roots_);
    std::vector<std::string> expected = {dev("serial/by-id/usb-FTDI_FT232R-if00-port0"),
                                         dev("serial/by-id/usb-Prolific_USB-Serial-if00-port0")};
    EXPECT_EQ(ports, expected);
}

TEST_F(FakeDevices, AtMostTwenty) {
    for (int i = 0; i < 25; ++i) device("ttyS" + std::to_string(i));
    auto ports = list_serial_ports(roots_);
    ASSERT_EQ(ports.size(), kMaxListedPorts);
    EXPECT_EQ(ports.front(), dev("ttyS0"));
    EXPECT_EQ(ports.back(), dev("ttyS19"));
}

TEST_F(FakeDevices, MissingFoldersGiveAnEmptyList) {
    DeviceRoots nowhere{(root_ / "no-dev").string(), (root_ / "no-sys").string()};
    EXPECT_TRUE(list_serial_ports(nowhere).empty());
}

TEST_F(FakeDevices, ComNumbersNameListEntries) {
    device("ttyUSB0");
    device("ttyS0");
    device("ttyS4");
    EXPECT_EQ(resolve_port_name("COM1", roots_), dev("ttyUSB0"));
    EXPECT_EQ(resolve_port_name("COM3", roots_), dev("ttyS4"));
    EXPECT_EQ(resolve_port_name("com2", roots_), dev("ttyS0"));
    EXPECT_EQ(resolve_port_name("2", roots_), dev("ttyS0"));
    EXPECT_EQ(resolve_port_name("COM4", roots_), "");
    EXPECT_EQ(resolve_port_name("COM0", roots_), "");
    EXPECT_EQ(resolve_port_name("COMX", roots_), "");
    // A path names the device directly, listed or not.
    EXPECT_EQ(resolve_port_name("/dev/pts/7", roots_), "/dev/pts/7");
}

TEST_F(FakeDevices, HighPortNumbersResolveInBothForms) {
    for (int i = 0; i < 12; ++i) device("ttyS" + std::to_string(i));
    EXPECT_EQ(resolve_port_name("\\\\.\\COM12", roots_), dev("ttyS11"));
    EXPECT_EQ(resolve_port_name("COM10", roots_), dev("ttyS9"));
}

TEST(PortNames, NineAndTenUseTheirOwnForms) {
    EXPECT_EQ(com_port_name(9), "COM9");
    EXPECT_EQ(com_port_name(10), "\\\\.\\COM10");
    EXPECT_EQ(com_port_number("COM9"), 9);
    EXPECT_EQ(com_port_number("\\\\.\\COM10"), 10);
    EXPECT_EQ(com_port_number("COM"), 0);
    EXPECT_EQ(com_port_number("COM-3"), 0);
    EXPECT_EQ(com_port_number("/dev/ttyS0"), 0);
}

}  // namespace
}  // namespace orlogix

#include "access/user_port.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

TEST(UserPortField, NumbersFromOneToTwenty) {
    test::RecordingReporter rep;
    std::string name = "unchanged";
    EXPECT_EQ(check_user_port(rep, "9", name), 1);
    EXPECT_EQ(name, "COM9");
    EXPECT_EQ(check_user_port(rep, " 20 ", name), 1);
    EXPECT_EQ(name, "\\\\.\\COM20");
    EXPECT_EQ(check_user_port(rep, "/dev/ttyACM0", name), 1);
    EXPECT_EQ(name, "/dev/ttyACM0");
    EXPECT_EQ(rep.count("error"), 0);
    name = "kept";
    EXPECT_EQ(check_user_port(rep, "", name), 0);
    EXPECT_EQ(name, "kept");
}

TEST(UserPortField, RefusalsKeepTheDialogOpen) {
    struct Case {
        const char* field;
        const char* text;
    } cases[] = {{"21", "User port out of range (1-20)"},
                 {"0", "User port out of range (1-20)"},
                 {"99999999999999999999", "User port out of range (1-20)"},
                 {"3a", "User port input error"},
                 {"COM3", "User port input error"},
                 {"-1", "User port input error"}};
    for (const auto& c : cases) {
        test::RecordingReporter rep;
        std::string name = "kept";
        EXPECT_LT(check_user_port(rep, c.field, name), 0) << c.field;
        EXPECT_EQ(rep.last_error().text, c.text) << c.field;
        EXPECT_EQ(rep.last_error().title, "Select COM port");
        EXPECT_EQ(name, "kept");
    }
}

}  // namespace
}  // namespace orlogix
