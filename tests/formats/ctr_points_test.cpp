// CTR outlines as points: circles, arcs in both directions, close points
// dropped, the outline closed, and the waypoint names and fields.
#include <gtest/gtest.h>

#include <cmath>

#include "core/geodesy.hpp"
#include "core/geodesic_direct.hpp"
#include "formats/airspace/ctr_points.hpp"

namespace orlogix {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

GeoPosition rad(const LatLonDegrees& d) { return {d.latitude * kDeg, d.longitude * kDeg}; }

double metres(const LatLonDegrees& a, const LatLonDegrees& b) {
    double m = -1;
    EXPECT_EQ(geodesic_distance(rad(a), rad(b), m), 0);
    return m;
}
double bearing(const LatLonDegrees& from, const LatLonDegrees& to) {
    return geodesic_azimuth(rad(from), rad(to)) / kDeg;
}

CtrSegment point(double lat, double lon) {
    CtrSegment s;
    s.centre = {lat, lon};
    return s;
}
CtrSegment circle(double lat, double lon, uint32_t radius) {
    CtrSegment s;
    s.kind = CtrSegmentKind::Circle;
    s.centre = {lat, lon};
    s.radius = radius;
    return s;
}
CtrSegment arc(double lat, double lon, uint32_t radius, double from, double to, char direction) {
    CtrSegment s;
    s.kind = CtrSegmentKind::ArcByAngles;
    s.centre = {lat, lon};
    s.radius = radius;
    s.start_bearing = from;
    s.end_bearing = to;
    s.direction = direction;
    return s;
}
Ctr ctr_of(std::vector<CtrSegment> segments) {
    Ctr c;
    c.name = "T";
    c.segments = std::move(segments);
    return c;
}

TEST(CtrPoints, CircleIsThirtySevenPointsClosedOnItself) {
    const Ctr c = ctr_of({circle(46.2, 6.1, 3704), point(0, 0)});
    std::vector<LatLonDegrees> outline;
    ASSERT_EQ(ctr_outline(c, outline), 37);
    for (std::size_t k = 0; k < outline.size(); ++k) {
        EXPECT_NEAR(metres(c.segments[0].centre, outline[k]), 3704.0, 0.01) << k;
        // Math angles 0, 10, ... from east, counter-clockwise.
        const double want = std::fmod(90.0 - 10.0 * static_cast<double>(k) + 720.0, 360.0);
        const double got = bearing(c.segments[0].centre, outline[k]);
        EXPECT_NEAR(std::remainder(got - want, 360.0), 0.0, 1e-6) << k;
    }
    EXPECT_NEAR(metres(outline.front(), outline.back()), 0.0, 0.001);

    std::vector<Waypoint> points;
    ASSERT_EQ(ctr_to_points(c, 0, 12345, points), 37);
    EXPECT_EQ(points.front().latitude, points.back().latitude);
    EXPECT_EQ(points.front().longitude, points.back().longitude);

    // A full turn of a DA arc as the first segment is the same circle.
    std::vector<LatLonDegrees> turn;
    ASSERT_EQ(ctr_outline(ctr_of({arc(46.2, 6.1, 3704, 0, 360, '-')}), turn), 37);
    EXPECT_NEAR(metres(turn[9], outline[9]), 0.0, 0.001);
}

TEST(CtrPoints, SmallCircleDropsPointsCloserThanAHundredMetres) {
    // 10-degree steps of a 400 m circle are 70 m apart: every other goes.
    std::vector<LatLonDegrees> outline;
    const int n = ctr_outline(ctr_of({circle(0.5, 0.5, 400)}), outline);
    EXPECT_EQ(n, 19);
    for (std::size_t k = 1; k < outline.size(); ++k) EXPECT_GE(metres(outline[k - 1], outline[k]), 100.0) << k;
}

TEST(CtrPoints, ArcsTurnTheWayTheirDirectionSays) {
    // Quarter from north to east clockwise: 1 + 9 steps, 11 points.
    std::vector<LatLonDegrees> cw, ccw;
    ctr_segment_points(arc(45, 6, 10000, 0, 90, '+'), cw);
    ASSERT_EQ(cw.size(), 11u);
    for (std::size_t k = 0; k < cw.size(); ++k) {
        EXPECT_NEAR(metres({45, 6}, cw[k]), 10000.0, 0.01);
        EXPECT_NEAR(bearing({45, 6}, cw[k]), 9.0 * static_cast<double>(k), 1e-6) << k;
    }
    // The same bearings counter-clockwise take the other three quarters.
    ctr_segment_points(arc(45, 6, 10000, 0, 90, '-'), ccw);
    ASSERT_EQ(ccw.size(), 29u);   // 1 + trunc(270 / 10) = 28 steps
    EXPECT_NEAR(bearing({45, 6}, ccw[14]), 225.0, 1e-6);
    EXPECT_NEAR(bearing({45, 6}, ccw.back()), 90.0, 1e-6);

    // An arc across north: 350 to 10 clockwise is 20 degrees.
    std::vector<LatLonDegrees> across;
    ctr_segment_points(arc(45, 6, 5000, 350, 10, '+'), across);
    ASSERT_EQ(across.size(), 4u);   // 3 steps
    EXPECT_NEAR(std::remainder(bearing({45, 6}, across[1]) - (350 + 20.0 / 3), 360.0), 0.0, 1e-6);
}

TEST(CtrPoints, ArcByEndPoints) {
    CtrSegment s;
    s.kind = CtrSegmentKind::ArcByEnds;
    s.centre = {45, 6};
    s.first = {45.1, 6};   // about 11.1 km north
    s.second = {45, 6.2};  // about 15.7 km east
    s.direction = '+';
    std::vector<LatLonDegrees> cw;
    ctr_segment_points(s, cw);
    ASSERT_GE(cw.size(), 10u);   // about 90 degrees: 9 or 10 steps
    EXPECT_EQ(cw.front().latitude, s.first.latitude);
    EXPECT_EQ(cw.back().longitude, s.second.longitude);
    // Clockwise from north to east passes north-east, the radius growing
    // steadily from the first end's to the second's.
    const LatLonDegrees mid = cw[cw.size() / 2];
    EXPECT_GT(mid.latitude, 45.0);
    EXPECT_GT(mid.longitude, 6.0);
    const double r1 = metres(s.centre, s.first), r2 = metres(s.centre, s.second);
    const double steps = static_cast<double>(cw.size() - 1);
    for (std::size_t k = 1; k + 1 < cw.size(); ++k)
        EXPECT_NEAR(metres(s.centre, cw[k]), r1 + (r2 - r1) * static_cast<double>(k) / steps, 0.01) << k;

    s.direction = '-';
    std::vector<LatLonDegrees> ccw;
    ctr_segment_points(s, ccw);
    EXPECT_GT(ccw.size(), cw.size());
    const LatLonDegrees other = ccw[ccw.size() / 2];
    EXPECT_LT(other.latitude, 45.0);
    EXPECT_LT(other.longitude, 6.0);
}

TEST(CtrPoints, PolygonIsClosedAndDuplicatesDropped) {
    const Ctr open = ctr_of({point(45, 6), point(45.0004, 6), point(45.1, 6), point(45.1, 6.1)});
    std::vector<LatLonDegrees> outline;
    // The second point lies 44 m from the first and is dropped; the first
    // comes again at the end.
    ASSERT_EQ(ctr_outline(open, outline), 4);
    EXPECT_EQ(outline[1].latitude, 45.1);
    EXPECT_EQ(outline.back().latitude, 45.0);
    EXPECT_EQ(outline.back().longitude, 6.0);

    // Already closed within 100 m: nothing added.
    const Ctr closed = ctr_of({point(45, 6), point(45.1, 6), point(45.1, 6.1), point(45.0005, 6)});
    ASSERT_EQ(ctr_outline(closed, outline), 4);
    EXPECT_EQ(outline.back().latitude, 45.0005);

    // One point stays one point.
    ASSERT_EQ(ctr_outline(ctr_of({point(45, 6)}), outline), 1);
}

TEST(CtrPoints, WaypointNamesAndFields) {
    Ctr c = ctr_of({circle(-33.9, 151.2, 20000)});
    std::vector<Waypoint> points;
    ASSERT_EQ(ctr_to_points(c, 0, 777, points), 37);
    EXPECT_EQ(points[0].identifier, "CAAAAA");
    EXPECT_EQ(points[27].identifier, "CAAABB");
    EXPECT_EQ(points[36].identifier, "CAAABK");
    EXPECT_EQ(points[5].time, 777u);
    EXPECT_EQ(points[5].height, 0);
    EXPECT_TRUE(points[5].comment.empty());
    ASSERT_EQ(ctr_to_points(c, 26 * 3 + 4, 0, points), 37);
    EXPECT_EQ(points[1].identifier, "CDEAAB");

    // Many points: the three letters run through 676 and 26.
    std::vector<CtrSegment> many;
    for (int i = 0; i < 700; ++i) many.push_back(point(10 + i * 0.01, 20));
    ASSERT_EQ(ctr_to_points(ctr_of(many), 1, 0, points), 701);
    EXPECT_EQ(points[676 + 3].identifier, "CABBAD");
    EXPECT_EQ(points[26 * 3 + 2].identifier, "CABADC");
    EXPECT_EQ(points[700].identifier, points[0].identifier.substr(0, 3) + "BAY");

    // Positions in semicircles of the outline's degrees.
    std::vector<LatLonDegrees> outline;
    ctr_outline(ctr_of(many), outline);
    EXPECT_NEAR(points[3].latitude * 180.0 / 2147483648.0, outline[3].latitude, 1e-7);
    EXPECT_NEAR(points[3].longitude * 180.0 / 2147483648.0, 20.0, 1e-7);
}

TEST(CtrPoints, NothingToDraw) {
    std::vector<Waypoint> points(3);
    EXPECT_EQ(ctr_to_points(ctr_of({}), 0, 0, points), -1);
    EXPECT_EQ(points.size(), 3u);
    EXPECT_EQ(ctr_to_points(ctr_of({point(91, 0)}), 0, 0, points), -1);
    EXPECT_EQ(ctr_to_points(ctr_of({point(0, 0), point(NAN, 0)}), 0, 0, points), -1);
    // The date line itself is a place.
    EXPECT_EQ(ctr_to_points(ctr_of({point(0, 180), point(1, -179.5)}), 0, 0, points), 3);
}

TEST(CtrGeodesy, DestinationAndAzimuthInvertEachOther) {
    const GeoPosition start{-35.0 * kDeg, 138.5 * kDeg};
    for (double az : {0.0, 37.0, 90.0, 181.0, 300.0}) {
        for (double d : {50.0, 9260.0, 166680.0}) {
            const GeoPosition end = geodesic_destination(start, az * kDeg, d);
            double m = 0;
            ASSERT_EQ(geodesic_distance(start, end, m), 0);
            EXPECT_NEAR(m, d, 0.001) << az << " " << d;
            EXPECT_NEAR(std::remainder(geodesic_azimuth(start, end) / kDeg - az, 360.0), 0.0, 1e-7) << az << " " << d;
        }
    }
    // Across the date line the longitude wraps into -180..180.
    const GeoPosition east = geodesic_destination({0, 179.99 * kDeg}, 90 * kDeg, 5000);
    EXPECT_LT(east.longitude, -179.9 * kDeg);
}

}  // namespace
}  // namespace orlogix
