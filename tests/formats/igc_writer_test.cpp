// The IGC encoder against lines written by hand from the record layouts.
#include <gtest/gtest.h>

#include <bit>
#include <limits>

#include "core/time.hpp"
#include "formats/igc/writer.hpp"

namespace orlogix {
namespace {

uint32_t depth_bits(float metres) { return std::bit_cast<uint32_t>(metres); }

TrackPosition fix(uint32_t time, int32_t lat, int32_t lon, int32_t gps_dm = 0, int32_t baro = 0) {
    TrackPosition p;
    p.time = time;
    p.latitude = lat;
    p.longitude = lon;
    p.gps_altitude = gps_dm;
    p.baro_altitude = baro;
    return p;
}

constexpr uint32_t kNoon = 679659630;  // 2011-07-15 10:20:30 UTC

TEST(IgcBRecord, PositionFieldsRoundToThousandthsOfAMinute) {
    // 45 degrees north, 90 degrees west.
    EXPECT_EQ(igc_b_record(fix(kNoon, 1 << 29, -(1 << 30)), false), "B1020304500000N09000000WA0000000000");
    EXPECT_EQ(igc_b_record(fix(kNoon, -(1 << 29), 1 << 30), false), "B1020304500000S09000000EA0000000000");
    // 6 degrees east is 71582788.3 semicircles: rounds to 360000 thousandths.
    EXPECT_EQ(igc_b_record(fix(kNoon, 0, 71582788), false).substr(15, 9), "00600000E");
    // Either side of 60000.5 thousandths (1 degree and half a thousandth).
    EXPECT_EQ(igc_b_record(fix(kNoon, 11930564, 0), false).substr(7, 8), "0100000N");
    EXPECT_EQ(igc_b_record(fix(kNoon, 11930565, 0), false).substr(7, 8), "0100001N");
    EXPECT_EQ(igc_b_record(fix(kNoon, -11930565, 0), false).substr(7, 8), "0100001S");
}

TEST(IgcBRecord, TinyNegativeLatitudeIsPrintedNorth) {
    // -50 semicircles is -0.25 thousandths: rounds to zero, which prints as north.
    EXPECT_EQ(igc_b_record(fix(kNoon, -50, -50), false).substr(7, 17), "0000000N00000000E");
    // -150 semicircles is -0.75 thousandths: rounds to -1.
    EXPECT_EQ(igc_b_record(fix(kNoon, -150, -150), false).substr(7, 17), "0000001S00000001W");
}

TEST(IgcBRecord, AltitudeFields) {
    auto alts = [](int32_t gps_dm, int32_t baro) { return igc_b_record(fix(kNoon, 0, 0, gps_dm, baro), false).substr(25); };
    EXPECT_EQ(alts(-3, 0), "0000000000");
    EXPECT_EQ(alts(1234, 0), "0000000123");
    EXPECT_EQ(alts(1235, 0), "0000000124");
    EXPECT_EQ(alts(0, -12), "-001200000");
    EXPECT_EQ(alts(0, 4321), "0432100000");
}

TEST(IgcBRecord, OutOfRangeAltitudesKeepTheRecordWidth) {
    const std::string b = igc_b_record(fix(kNoon, 0, 0, 2000000000, -2000000), false);
    EXPECT_EQ(b.size(), 35u);
    EXPECT_EQ(b.substr(25), "-999999999");
    const std::string high = igc_b_record(fix(kNoon, 0, 0, 0, 123456), false);
    EXPECT_EQ(high.substr(25, 5), "99999");
}

TEST(IgcBRecord, TimeOfDayOnly) {
    // The next day at 00:00:05 prints only the time of day.
    EXPECT_EQ(igc_b_record(fix(kNoon - 37230 + 86400 + 5, 0, 0), false).substr(0, 7), "B000005");
}

TEST(IgcEnl, FromDepthInFeet) {
    EXPECT_EQ(igc_enl_from_depth(depth_bits(10.0f)), 33);
    EXPECT_EQ(igc_enl_from_depth(depth_bits(304.9f)), 999);
    EXPECT_EQ(igc_enl_from_depth(depth_bits(-1.0f)), 0);
    EXPECT_EQ(igc_enl_from_depth(depth_bits(0.0f)), 0);
    EXPECT_EQ(igc_enl_from_depth(depth_bits(std::numeric_limits<float>::quiet_NaN())), 0);
    EXPECT_EQ(igc_enl_from_depth(depth_bits(std::numeric_limits<float>::infinity())), 999);
    EXPECT_EQ(igc_enl_from_depth(depth_bits(1e30f)), 999);
    TrackPosition p = fix(kNoon, 0, 0);
    p.depth = depth_bits(10.0f);
    const std::string b = igc_b_record(p, true);
    ASSERT_EQ(b.size(), 38u);
    EXPECT_EQ(b.substr(35), "033");
}

TEST(IgcEncode, WholeFileWithEnlAndSecurityRecord) {
    std::vector<TrackPosition> track = {fix(kNoon, 1 << 29, -(1 << 30), 12345, 1234),
                                        fix(kNoon + 5, -(1 << 29), 71582788, -3, -12)};
    track[0].flags = kSegmentStart;
    track[0].depth = depth_bits(10.0f);
    track[1].depth = depth_bits(-1.0f);
    IgcHeaderTexts texts;
    texts.pilot = "Jane Doe";
    texts.glider_type = "Alpha 5";
    texts.competition_class = "Sport";
    texts.site = "Annecy";
    IgcEncodeOptions options;
    options.source = 1;
    options.instrument_description = "Garmin eTrex V2.50";
    options.fr_serial = "ABC";
    options.download_time = CalendarTime{2011, 7, 15, 18, 5, 9, 0};
    options.add_enl = true;
    options.program_version = 10;
    std::string text;
    bool g_possible = false;
    const int n = encode_igc(track, texts, options, text, g_possible);
    const std::string expected =
        "AXQVABC Garmin eTrex V2.50\r\n"
        "HFDTE150711\r\n"
        "HOPLTPILOT: Jane Doe\r\n"
        "HOGTYGLIDERTYPE: Alpha 5\r\n"
        "HOGIDGLIDERID: \r\n"
        "HODTM100GPSDATUM: WGS-84\r\n"
        "HOCIDCOMPETITIONID: \r\n"
        "HOCCLCOMPETITION CLASS: Sport\r\n"
        "HOSITSite: Annecy\r\n"
        "I013638ENL\r\n"
        "B1020304500000N09000000WA0123401235033\r\n"
        "B1020354500000S00600000EA-001200000000\r\n"
        "LXQV Orlogix version 0.10\r\n"
        "LXQV Downloaded 2011-07-15  18:05:09\r\n"
        "GB03B3678F310ED0C\r\n";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(n, static_cast<int>(expected.size()));
    EXPECT_TRUE(g_possible);
}

TEST(IgcEncode, SourceOtherThanDownloadGetsNoSecurityRecord) {
    const std::vector<TrackPosition> track = {fix(kNoon, 0, 0)};
    IgcEncodeOptions options;
    options.source = 0;
    std::string text;
    bool g_possible = true;
    ASSERT_GT(encode_igc(track, {}, options, text, g_possible), 0);
    EXPECT_FALSE(g_possible);
    EXPECT_EQ(text.find("\r\nG"), std::string::npos);
    EXPECT_TRUE(text.ends_with("LXQV Downloaded 0-00-00  00:00:00\r\n"));

    // Asked not to sign: no G line even from a download, but still possible.
    options.source = 1;
    options.want_g_record = false;
    ASSERT_GT(encode_igc(track, {}, options, text, g_possible), 0);
    EXPECT_TRUE(g_possible);
    EXPECT_EQ(text.find("\r\nG"), std::string::npos);
}

TEST(IgcEncode, EmptyTextsKeepLabelsAndSerial) {
    const std::vector<TrackPosition> track = {fix(kNoon, 0, 0)};
    IgcEncodeOptions options;
    options.fr_serial = "";
    options.instrument_description = "Flymaster F1";
    options.program_version = 1234;
    std::string text;
    bool g_possible = false;
    ASSERT_GT(encode_igc(track, {}, options, text, g_possible), 0);
    EXPECT_TRUE(text.starts_with("AXQV Flymaster F1\r\nHFDTE150711\r\nHOPLTPILOT: \r\nHOGTYGLIDERTYPE: \r\n"));
    EXPECT_NE(text.find("\r\nHOSITSite: \r\nB1020300000000N00000000EA0000000000\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nLXQV Orlogix version 12.34\r\n"), std::string::npos);

    options.fr_serial = "000";
    options.instrument_description = "";
    ASSERT_GT(encode_igc(track, {}, options, text, g_possible), 0);
    EXPECT_TRUE(text.starts_with("AXQV000 \r\n"));
}

TEST(IgcEncode, DateComesFromTheFirstFixOnly) {
    // 2011-12-31 23:59:30 then 2012-01-01 00:00:10.
    const uint32_t t = time_from_calendar(2011, 12, 31, 23, 59, 30);
    const std::vector<TrackPosition> track = {fix(t, 0, 0), fix(t + 40, 0, 0)};
    std::string text;
    bool g_possible = false;
    ASSERT_GT(encode_igc(track, {}, {}, text, g_possible), 0);
    EXPECT_NE(text.find("\r\nHFDTE311211\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nB235930"), std::string::npos);
    EXPECT_NE(text.find("\r\nB000010"), std::string::npos);
}

TEST(IgcEncode, NoPositionsIsRefused) {
    std::string text = "old";
    bool g_possible = false;
    IgcEncodeOptions options;
    options.source = 1;
    EXPECT_LT(encode_igc({}, {}, options, text, g_possible), 0);
    EXPECT_TRUE(text.empty());
}

}  // namespace
}  // namespace orlogix
