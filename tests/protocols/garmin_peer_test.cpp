// GPSBabel as an independent peer of the simulated receiver: its own Garmin
// implementation downloads from and uploads to the simulator over the
// pseudo-terminal, which checks our frames and record layouts against a
// second reading of the same protocol. Skipped where gpsbabel is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "competition/identity_position.hpp"
#include "competition/pilot_identity.hpp"
#include "core/text_buffer.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "support/peer_programs.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::garmin {
namespace {

constexpr const char* kGpsbabel = "/usr/bin/gpsbabel";

std::string run(const std::string& command) { return test::peer_output(command); }

// unicsv output: a header line naming the columns, then one line per item.
std::vector<std::vector<std::string>> csv_rows(const std::string& text, std::vector<std::string>& header) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::istringstream cl(line);
        std::string cell;
        while (std::getline(cl, cell, ',')) {
            if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
            cells.push_back(cell);
        }
        if (first) header = cells;
        else rows.push_back(cells);
        first = false;
    }
    return rows;
}

int column(const std::vector<std::string>& header, const std::string& name) {
    for (std::size_t i = 0; i < header.size(); ++i)
        if (header[i] == name) return static_cast<int>(i);
    return -1;
}

double degrees(int32_t semicircles) { return semicircles * (180.0 / 2147483648.0); }

class GarminPeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!::orlogix::test::peer_available("gpsbabel")) GTEST_SKIP();
    }
    void start(sim::GarminConfig c) {
        harness = std::make_unique<test::PtySim>(std::make_unique<sim::GarminReceiver>(std::move(c)));
        ASSERT_TRUE(harness->started());
    }
    std::unique_ptr<test::PtySim> harness;
};

TEST_F(GarminPeer, ReadsOurWaypoints) {
    for (int type : {100, 103, 108, 109, 110, 151, 155}) {
        sim::GarminConfig c;
        c.waypoint_type = type;
        c.waypoints = sim::generated_waypoints(6);
        start(c);
        std::vector<std::string> header;
        const auto rows = csv_rows(
            run(std::string(kGpsbabel) + " -w -i garmin -f " + harness->device_path() + " -o unicsv -F - 2>&1"), header);
        harness->stop();
        const int name = column(header, "Name"), lat = column(header, "Latitude"), lon = column(header, "Longitude");
        ASSERT_GE(name, 0) << type;
        ASSERT_GE(lat, 0) << type;
        ASSERT_EQ(rows.size(), 6u) << type;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i][static_cast<std::size_t>(name)], c.waypoints[i].identifier) << type;
            EXPECT_NEAR(std::stod(rows[i][static_cast<std::size_t>(lat)]), degrees(c.waypoints[i].latitude), 2e-6);
            EXPECT_NEAR(std::stod(rows[i][static_cast<std::size_t>(lon)]), degrees(c.waypoints[i].longitude), 2e-6);
        }
        const int alt = column(header, "Altitude");
        if (type >= 108) {
            ASSERT_GE(alt, 0) << type;
            EXPECT_DOUBLE_EQ(std::stod(rows[2][static_cast<std::size_t>(alt)]), c.waypoints[2].height) << type;
        }
    }
}

TEST_F(GarminPeer, ReadsOurTrackLog) {
    for (int type : {300, 301, 302, 304}) {
        sim::GarminConfig c;
        c.track_protocol = type == 300 ? 300 : type == 301 ? 301 : 302;
        c.track_header_type = type == 301 ? 310 : 311;
        c.track_point_type = type;
        c.track = sim::generated_track(40);
        start(c);
        std::vector<std::string> header;
        const auto rows = csv_rows(
            run(std::string(kGpsbabel) + " -t -i garmin -f " + harness->device_path() + " -o unicsv -F - 2>&1"), header);
        harness->stop();
        const int lat = column(header, "Latitude"), alt = column(header, "Altitude"), time = column(header, "Time");
        ASSERT_GE(lat, 0) << type;
        ASSERT_GE(time, 0) << type;
        ASSERT_EQ(rows.size(), 40u) << type;
        EXPECT_NEAR(std::stod(rows[17][static_cast<std::size_t>(lat)]), degrees(c.track[17].latitude), 2e-6) << type;
        // 1000000000 s after 1989-12-31 00:00 is 2021-09-08 01:46:40 UTC; point 17 is 85 s later.
        EXPECT_EQ(rows[17][static_cast<std::size_t>(time)], "01:48:05") << type;
        if (type != 300) {
            ASSERT_GE(alt, 0) << type;
            EXPECT_NEAR(std::stod(rows[17][static_cast<std::size_t>(alt)]), c.track[17].gps_altitude / 10.0, 0.01);
        }
    }
}

TEST_F(GarminPeer, WritesWaypointsWeDecode) {
    char dir[] = "/tmp/garmin_peer_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string csv = std::string(dir) + "/w.csv";
    ASSERT_EQ(write_file_atomic(csv, "No,Name,Latitude,Longitude,Altitude,Description\n"
                                     "1,LAUNCH,46.123456,6.654321,1234,Take off north\n"
                                     "2,LZ1,-45.5,-6.25,-12,landing\n"),
              0);
    for (int type : {103, 108, 110}) {
        sim::GarminConfig c;
        c.waypoint_type = type;
        start(c);
        run(std::string(kGpsbabel) + " -w -i unicsv -f " + csv + " -o garmin -F " + harness->device_path() + " 2>&1");
        ASSERT_TRUE(harness->uploads.wait_for(4)) << type;
        harness->stop();
        const auto lines = harness->uploads.lines();
        const std::size_t base = lines.size() - 4;
        EXPECT_EQ(lines[base], "records 2") << type;
        // 46.123456 degrees = 550274264.16 semicircles; 6.654321 = 79389141.87.
        const std::string height = type == 103 ? "0" : "1234";
        EXPECT_EQ(lines[base + 1].rfind("waypoint LAUNCH 550274264 79389142 " + height + " 0 ", 0), 0u) << lines[base + 1];
        EXPECT_EQ(lines[base + 2].rfind("waypoint LZ1 -542836144 -74565404 ", 0), 0u) << lines[base + 2];
        EXPECT_EQ(lines[base + 3], "transfer complete 7") << type;
    }
    std::remove(csv.c_str());
    rmdir(dir);
}

// Pilot ID waypoints both ways: gpsbabel reads the ones we build at the
// positions the digits give (57: 0.085278/0; 12345: 3.068056/0.017222), and
// the ones it uploads from those degrees decode to the same numbers.
TEST_F(GarminPeer, PilotIdWaypointsAgreeWithGpsbabel) {
    sim::GarminConfig c;
    c.waypoint_type = 109;
    ASSERT_EQ(append_identity_waypoints(c.waypoints, PilotIds{57, 12345}, false, 0), 0);
    start(c);
    std::vector<std::string> header;
    const auto rows = csv_rows(
        run(std::string(kGpsbabel) + " -w -i garmin -f " + harness->device_path() + " -o unicsv -F - 2>&1"), header);
    harness->stop();
    const int lat = column(header, "Latitude"), lon = column(header, "Longitude");
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_GE(lat, 0);
    EXPECT_EQ(rows[0][static_cast<std::size_t>(lat)], "0.085278");
    EXPECT_EQ(rows[0][static_cast<std::size_t>(lon)], "0.000000");
    EXPECT_EQ(rows[1][static_cast<std::size_t>(lat)], "3.068056");
    EXPECT_EQ(rows[1][static_cast<std::size_t>(lon)], "0.017222");

    char dir[] = "/tmp/garmin_peer_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string csv = std::string(dir) + "/ids.csv";
    ASSERT_EQ(write_file_atomic(csv, "No,Name,Latitude,Longitude\n1,COMPID,0.085278,0.000000\n"
                                     "2,CIVLID,3.068056,0.017222\n"),
              0);
    start(sim::GarminConfig{});
    run(std::string(kGpsbabel) + " -w -i unicsv -f " + csv + " -o garmin -F " + harness->device_path() + " 2>&1");
    ASSERT_TRUE(harness->uploads.wait_for(4));
    harness->stop();
    IdentityRecogniser found(false);
    for (const std::string& line : harness->uploads.lines()) {
        std::istringstream in(line);
        std::string word, id;
        int32_t la = 0, lo = 0;
        if (in >> word >> id >> la >> lo && word == "waypoint") found.feed(id, semicircles_to_radians(la, lo));
    }
    EXPECT_EQ(found.found().comp_id, 57);
    EXPECT_EQ(found.found().civl_id, 12345);
    std::remove(csv.c_str());
    rmdir(dir);
}

}  // namespace
}  // namespace orlogix::garmin
