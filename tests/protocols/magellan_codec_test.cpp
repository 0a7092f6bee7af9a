// The Magellan codec: the fixed commands and an upload sentence as bytes
// written out by hand (checksums worked out by hand), the sentence reader's
// error numbers, and the field decoders' errors in field order.
#include <gtest/gtest.h>

#include <cmath>

#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/magellan/sentences.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::magellan {
namespace {

// Feeds the bytes; the last non-zero result (0 when none).
int feed_all(SentenceReader& r, std::string_view bytes) {
    int last = 0;
    for (const char c : bytes)
        if (const int v = r.feed(c); v != 0) last = v;
    return last;
}

TEST(MagellanCodec, FixedCommandsAndTheUploadSentence) {
    EXPECT_EQ(kVersionRequest, "$PMGNCMD,VERSION*28\r\n");
    EXPECT_EQ(kTrackRequest, "$PMGNCMD,TRACK,2*23\r\n");
    EXPECT_EQ(kWaypointRequest, "$PMGNCMD,WAYPOINT*71\r\n");
    EXPECT_EQ(kStop, "$PMGNCMD,STOP*6A\r\n");
    EXPECT_EQ(kEnd, "$PMGNCMD,END*3D\r\n");
    // 46 deg 7.407 min N, 6 deg 39.259 min E.
    const Waypoint w = test::waypoint_at("TAKE OFF NORTH", 46 + 7.407 / 60, 6 + 39.259 / 60, 1234, "LAUNCH");
    EXPECT_EQ(waypoint_sentence(w), "$PMGNWPL,4607.407,N,00639.259,E,1234,M,LAUNCH,TAKE OFF NORTH*2F\r\n");
    // Below sea level goes out as 0; the south and west signs; what would
    // break the sentence is cleaned out of the ID and the comment.
    const Waypoint low = test::waypoint_at("A,B*C", -(46 + 0.5 / 60), -(6 + 30.0 / 60), -12, "L$X");
    EXPECT_EQ(waypoint_sentence(low), "$PMGNWPL,4600.500,S,00630.000,W,0000,M,L X,A B C*50\r\n");
}

TEST(MagellanCodec, ReaderErrors) {
    const std::pair<std::string, int> cases[] = {
        {"$PMGNCMD,END*3D\r\n", 1},
        {"noise$PMGNCMD,END*3d\r\n", 1},             // lower-case digits too
        {"$PMGNCMD,END*3G\r\n", -kBadDigit},
        {"$PMGNCMD,END*3E\r\n", -kBadChecksum},
        {"$PMGNCMD,END*3Dx\n", -kBadChecksum},       // no CR after the digits
        {"$PMGNCMD,END*3D\rx", -kBadLineFeed},
        {"$" + std::string(99, 'A') + "*00\r\n", -kBadChecksum},   // 100 kept: decoded (and checked)
        {"$" + std::string(100, 'A') + "*00\r\n", -kTooLong},
    };
    for (const auto& [bytes, want] : cases) {
        SentenceReader r;
        EXPECT_EQ(feed_all(r, bytes), want) << bytes;
    }
    SentenceReader r;
    ASSERT_EQ(feed_all(r, "$PMGNCMD, END*1D\r\n"), 1);
    EXPECT_TRUE(is_end(r.body()));   // blanks before a field are skipped
}

TEST(MagellanCodec, VersionAnswer) {
    Version v;
    ASSERT_TRUE(decode_version("PMGNVER,24,3.135,GPS 315", v));
    EXPECT_EQ(v.product_id, 24);
    EXPECT_EQ(v.version_x100, 314);   // rounded
    EXPECT_EQ(product_string(v), "GPS 315, SW 3.135");
    for (const char* bad : {"PMGNVER,24,3.20", "PMGNVER,x,3.20,A", "PMGNVER,24,v3,A", "PMGNCMD,24,3.20,A"})
        EXPECT_FALSE(decode_version(bad, v)) << bad;
}

TEST(MagellanCodec, TrackPoints) {
    const uint32_t day = time_from_calendar(2019, 6, 15, 13, 53, 15);
    struct Case {
        const char* body;
        int error;
        bool fix;
        int32_t altitude;   // tenths of a metre
        uint32_t time;
    };
    const Case cases[] = {
        {"PMGNTRK,4616.358,N,01328.371,E,01000,F,135315.50,A,,150619", 0, true, 3048, day + 1},
        {"PMGNTRK,4616.358,N,01328.371,E,01000,M,135315.49,A,,150619", 0, true, 10000, day},
        {"PMGNTRK,4616.358,N,01328.371,E,-0012,M,135315,A,,150619", 0, true, -120, day},
        {"PMGNTRK,4616.358,N,01328.371,E,-0012,M,135315,V,,150619", 0, false, 0, 0},
        {"PMGNTRK", 1, false, 0, 0},
        {"PMGNTRK,4616.358", 4, false, 0, 0},
        {"PMGNTRK,4616.358,X,01328.371,E,1,M,135315,A,,150619", 5, false, 0, 0},
        {"PMGNTRK,4616.358,N,01328.371,E,214748365,M,135315,A,,150619", 12, false, 0, 0},   // past 32 bits x10
        {"PMGNTRK,4616.358,N,01328.371,E,1,K,135315,A,,150619", 14, false, 0, 0},
        {"PMGNTRK,4616.358,N,01328.371,E,1,M,246000,A,,150619", 16, false, 0, 0},
        {"PMGNTRK,4616.358,N,01328.371,E,1,M,135315,A,", 19, false, 0, 0},
        {"PMGNTRK,4616.358,N,01328.371,E,1,M,135315,A,,320619", 21, false, 0, 0},
        {"PMGNTRK,4616.358,N,01328.371,E,1,M,135315,A,,000619", 21, false, 0, 0},
    };
    for (const Case& c : cases) {
        TrackPosition p;
        bool fix = true;
        ASSERT_EQ(decode_track_point(c.body, p, fix), c.error) << c.body;
        if (c.error) continue;
        EXPECT_EQ(fix, c.fix) << c.body;
        if (!c.fix) continue;
        EXPECT_EQ(p.gps_altitude, c.altitude) << c.body;
        EXPECT_EQ(p.time, c.time) << c.body;
        EXPECT_NEAR(semicircle_to_degrees(p.latitude), 46 + 16.358 / 60, 1e-6);
        EXPECT_NEAR(semicircle_to_degrees(p.longitude), 13 + 28.371 / 60, 1e-6);
    }
    TrackPosition p;
    bool fix = false;
    EXPECT_EQ(decode_track_point("PMGNWPL,1", p, fix), -1);
}

TEST(MagellanCodec, Waypoints) {
    Waypoint w;
    ASSERT_EQ(decode_waypoint("PMGNWPL,4607.407,N,00639.259,E,1234,F,launch,TAKE OFF NORTH,a", 77, w), 0);
    EXPECT_EQ(w.identifier, "LAUNCH");
    EXPECT_EQ(w.comment, "TAKE OFF NORTH");
    EXPECT_EQ(w.height, 376);   // 1234 ft
    EXPECT_EQ(w.time, 77u);
    ASSERT_EQ(decode_waypoint("PMGNWPL,4600.000,S,00630.000,W,-000012,M,LAND", 0, w), 0);
    EXPECT_EQ(w.height, -12);
    EXPECT_LT(w.latitude, 0);
    const std::pair<const char*, int> bad[] = {
        {"PMGNWPL", 1},
        {"PMGNWPL,4607.407,N,00639.259", 9},
        {"PMGNWPL,4607.407,N,00639.259,E", 11},
        {"PMGNWPL,4607.407,N,00639.259,E,1234,K,X", 14},
        {"PMGNWPL,4607.407,N,00639.259,E,1234,M", 15},
        {"PMGNWPL,4607.407,N,00639.259,E,1234,M,LAUNCHX,x", 16},
    };
    for (const auto& [body, error] : bad) EXPECT_EQ(decode_waypoint(body, 0, w), error) << body;
}

}  // namespace
}  // namespace orlogix::magellan
