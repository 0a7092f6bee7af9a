// Real airspace files: read without error, every arc and circle expanded
// where GeographicLib puts it, written and read back to the same CTRs, and a
// spoiled line reported with its number.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/geodesy.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "formats/airspace/ctr_points.hpp"
#include "formats/airspace/openair_reader.hpp"
#include "formats/airspace/openair_writer.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

const std::string kDir = std::string(ORLOGIX_TEST_DATA) + "/airspace/";

struct RealFile {
    const char* name;
    int airspaces;
};
const RealFile kFiles[] = {{"openair.txt", 26}, {"openair_2.txt", 4}, {"AirspaceAus-DAA.txt", 662}};

std::string load(const std::string& name) {
    std::string bytes;
    EXPECT_EQ(read_file(kDir + name, bytes), 0) << name;
    return bytes;
}

double metres_between(const LatLonDegrees& a, const LatLonDegrees& b) {
    constexpr double k = 3.14159265358979323846 / 180;
    double m = -1;
    EXPECT_EQ(geodesic_distance({a.latitude * k, a.longitude * k}, {b.latitude * k, b.longitude * k}, m), 0);
    return m;
}

TEST(OpenAirFiles, RealFilesAreReadWithoutError) {
    for (const RealFile& f : kFiles) {
        test::RecordingReporter r;
        CtrList list;
        EXPECT_EQ(read_openair_file(r, kDir + f.name, list), f.airspaces) << f.name << ": " << r.last_error().text;
        EXPECT_EQ(r.boxes().size(), 0u) << f.name;
        for (const Ctr& c : list) {
            EXPECT_FALSE(c.segments.empty()) << c.name;
            std::vector<Waypoint> points;
            EXPECT_GT(ctr_to_points(c, 0, 0, points), 2) << f.name << " " << c.name;
        }
    }
    test::RecordingReporter r;
    CtrList list;
    ASSERT_EQ(read_openair_file(r, kDir + "openair.txt", list), 26);
    EXPECT_EQ(list[0].name, "Radio-Test 1 (AR with MHz)");
    EXPECT_EQ(list[0].floor, "1000 ft");
    EXPECT_EQ(list[0].ceiling, "2000 ft");
    EXPECT_EQ(list[0].line, 3);
    EXPECT_EQ(list[0].segments[0].radius, 9260u);
    EXPECT_EQ(list[3].name, "Arc-Test");
    EXPECT_EQ(list[3].segments.size(), 2u);
}

// Every expanded arc and circle point against the points GeodSolve
// computed for the same definitions (make_reference.py beside the files).
TEST(OpenAirFiles, ExpansionsAgreeWithGeographicLib) {
    for (const RealFile& f : kFiles) {
        test::RecordingReporter r;
        CtrList list;
        ASSERT_EQ(read_openair_file(r, kDir + f.name, list), f.airspaces);
        std::ifstream ref(kDir + f.name + ".arcs.ref");
        ASSERT_TRUE(ref) << f.name;
        std::string line;
        int compared = 0;
        double worst = 0;
        std::size_t last_ctr = SIZE_MAX, last_seg = SIZE_MAX;
        std::vector<LatLonDegrees> points;
        while (std::getline(ref, line)) {
            std::istringstream in(line);
            std::size_t ctr = 0, seg = 0, k = 0;
            LatLonDegrees want;
            ASSERT_TRUE(in >> ctr >> seg >> k >> want.latitude >> want.longitude) << line;
            ASSERT_LT(ctr, list.size()) << line;
            ASSERT_LT(seg, list[ctr].segments.size()) << line;
            if (ctr != last_ctr || seg != last_seg) {
                points.clear();
                ctr_segment_points(list[ctr].segments[seg], points);
                last_ctr = ctr;
                last_seg = seg;
            }
            ASSERT_LT(k, points.size()) << line;
            const double d = metres_between(points[k], want);
            worst = std::max(worst, d);
            ASSERT_LT(d, 0.5) << f.name << " " << line;
            ++compared;
        }
        EXPECT_GT(compared, 0) << f.name;
        RecordProperty(std::string("worst_metres_") + f.name, std::to_string(worst));
    }
}

TEST(OpenAirFiles, WrittenFileReadsBackToTheSameCtrs) {
    for (const RealFile& f : kFiles) {
        test::RecordingReporter r;
        CtrList list;
        ASSERT_EQ(read_openair_file(r, kDir + f.name, list), f.airspaces);
        const std::string text = write_openair(list, false);
        CtrList back;
        ASSERT_EQ(parse_openair(r, text, back), f.airspaces) << r.last_error().text;
        constexpr double kTenthArcsec = 1.0 / 36000;
        const auto same_place = [&](const LatLonDegrees& a, const LatLonDegrees& b) {
            return std::fabs(a.latitude - b.latitude) <= kTenthArcsec / 2 + 1e-12 &&
                   std::fabs(a.longitude - b.longitude) <= kTenthArcsec / 2 + 1e-12;
        };
        for (std::size_t i = 0; i < list.size(); ++i) {
            const Ctr& a = list[i];
            const Ctr& b = back[i];
            ASSERT_EQ(a.name, b.name);
            EXPECT_EQ(a.floor, b.floor);
            EXPECT_EQ(a.ceiling, b.ceiling);
            ASSERT_EQ(a.segments.size(), b.segments.size()) << a.name;
            for (std::size_t s = 0; s < a.segments.size(); ++s) {
                const CtrSegment& x = a.segments[s];
                const CtrSegment& y = b.segments[s];
                ASSERT_EQ(x.kind, y.kind) << a.name << " " << s;
                EXPECT_TRUE(same_place(x.centre, y.centre)) << a.name << " " << s;
                if (x.kind == CtrSegmentKind::ArcByEnds) {
                    EXPECT_TRUE(same_place(x.first, y.first)) << a.name << " " << s;
                    EXPECT_TRUE(same_place(x.second, y.second)) << a.name << " " << s;
                }
                if (x.kind != CtrSegmentKind::Point) {
                    EXPECT_EQ(x.direction, y.direction) << a.name << " " << s;
                }
                EXPECT_EQ(x.radius, y.radius) << a.name << " " << s;
                EXPECT_NEAR(x.start_bearing, y.start_bearing, 0.005);
                EXPECT_NEAR(x.end_bearing, y.end_bearing, 0.005);
            }
        }
        // Writing what was read back gives the same text again.
        EXPECT_EQ(write_openair(back, false), text) << f.name;
    }
}

TEST(OpenAirFiles, SpoiledLineIsReportedWithItsNumber) {
    std::string text = load("AirspaceAus-DAA.txt");
    // Line 5000 of the file gets minutes beyond 59.
    std::size_t pos = 0;
    for (int line = 1; line < 5000; ++line) pos = text.find('\n', pos) + 1;
    const std::size_t end = text.find('\n', pos);
    const std::string original = text.substr(pos, end - pos);
    ASSERT_EQ(original.rfind("DP", 0), 0u) << original;
    std::string spoiled = original;
    spoiled.replace(spoiled.find(':') + 1, 2, "61");
    text.replace(pos, end - pos, spoiled);
    test::RecordingReporter r;
    CtrList list;
    EXPECT_EQ(parse_openair(r, text, list), -1);
    EXPECT_EQ(r.last_error().text, "Bad position format on line 5000") << spoiled;
    EXPECT_TRUE(list.empty());
}

TEST(OpenAirFiles, FileErrors) {
    test::RecordingReporter r;
    CtrList list(1);
    EXPECT_EQ(read_openair_file(r, kDir + "no_such_file.txt", list), -1);
    EXPECT_EQ(r.last_error().title, "Error opening CTR file");
    EXPECT_EQ(read_openair_file(r, kDir, list), -1);
    EXPECT_EQ(r.last_error().title, "CTR file read error");
    const std::string empty = ::testing::TempDir() + "/orlogix_empty_openair.txt";
    ASSERT_EQ(write_file_atomic(empty, ""), 0);
    EXPECT_EQ(read_openair_file(r, empty, list), -1);
    EXPECT_EQ(r.last_error().title, "Reading CTR file");
    EXPECT_EQ(r.last_error().text, "File is empty");
    EXPECT_EQ(list.size(), 1u);
}

}  // namespace
}  // namespace orlogix
