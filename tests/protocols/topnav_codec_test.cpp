// The Top Navigator codec against lines and bytes written by hand from the
// documented layouts: MXP header and position lines, the block form with a
// bad run, the waypoint lines and the 31-byte packet.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocols/topnav/block_decoder.hpp"
#include "protocols/topnav/mxp_decoder.hpp"
#include "protocols/topnav/waypoints.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::topnav {
namespace {

// 46 deg 30' N and 7 deg 15' 30" E: 279000 and 43550 in 1/6000 degree.
constexpr int32_t kLat = 554766609;
constexpr int32_t kLon = 86595290;
// 2011-06-15 00:00 and 10:30:00 in seconds from 1989-12-31.
constexpr uint32_t kJune15 = 677030400;
constexpr uint32_t kStart = 677068200;

TEST(TopNavMxp, HeaderAndPositionsWithAWrappedOffset) {
    MxpHeader h;
    ASSERT_EQ(decode_mxp_header("@tn12341A2B00110615103000010003011006C", false, h), 0);
    EXPECT_EQ(h.serial, 0x1A2Bu);
    EXPECT_EQ(h.start_time, kStart);
    EXPECT_EQ(h.count, 3u);
    EXPECT_EQ(h.variant, 1);
    EXPECT_EQ(h.product(), "Top Navigator V1.234, S/N 6699");

    MxpPositions d(h);
    TrackPosition p;
    ASSERT_EQ(d.decode("00010000010441D800AA1E04B07F", p), 0);
    EXPECT_EQ(p.time, kStart);
    EXPECT_EQ(p.latitude, kLat);
    EXPECT_EQ(p.longitude, kLon);
    EXPECT_EQ(p.gps_altitude, 12000);
    EXPECT_EQ(p.baro_altitude, 0);
    ASSERT_EQ(d.decode("0002FFFF01FBBE28FF55E2FFFB79", p), 0);
    EXPECT_EQ(p.time, kStart + 65535);
    EXPECT_EQ(p.latitude, -kLat);
    EXPECT_EQ(p.longitude, -kLon);
    EXPECT_EQ(p.gps_altitude, -50);
    // A smaller offset has wrapped its 16 bits.
    ASSERT_EQ(d.decode("00030004010441D800AA1E04B079", p), 0);
    EXPECT_EQ(p.time, kStart + 65536 + 4);
}

TEST(TopNavMxp, ErrorsOfHeaderAndPositionLines) {
    const std::string header = "@tn12341A2B00110615103000010003011006C";
    MxpHeader h;
    struct Case {
        std::string line;
        bool xc;
        int error;
    };
    const Case headers[] = {
        {header.substr(0, 37), false, kMxpTooShort},
        {header.substr(0, 36) + "G6", false, kMxpChecksumFormat},
        {header.substr(0, 36) + "6D", false, kMxpChecksum},
        {header, true, kMxpIdentifier},                                        // a Top Navigator on the XC Trainer's line
        {"@tn12341A2B00111315103000010003011006C", false, kMxpChecksum},       // month 13, sum left as it was
        {"@tn12341A2B001113151030000100030110068", false, kMxpStartTimeValue},  // month 13
        {"@tn12341A2B0011061510300002000301100""6F", false, kMxpGeodeticId},
    };
    for (const Case& c : headers) EXPECT_EQ(decode_mxp_header(c.line, c.xc, h), c.error) << c.line;

    ASSERT_EQ(decode_mxp_header(header, false, h), 0);
    const Case positions[] = {
        {"00010000010441D800AA1E04B0", false, kMxpTooShort},
        {"00010000010441D800AA1E04B07E", false, kMxpChecksum},
        {"0002000001" "0441D800AA1E04B07C", false, kMxpRecordSequence},   // the first must be 0 or 1
        {"0001000001" "0A000000AA1E04B0" "73", false, kMxpPositionValue}, // 655360: beyond 90 degrees
    };
    for (const Case& c : positions) {
        MxpPositions d(h);
        TrackPosition p;
        EXPECT_EQ(d.decode(c.line, p), c.error) << c.line;
    }
    EXPECT_STREQ(mxp_error_text(kMxpRecordSequence), "E202 Bad record number sequence");
    EXPECT_STREQ(mxp_error_text(19), "E202 Unknown error");
}

// The start record of 2011-06-15 in variant 1, serial 1A2B; a block time record.
const std::string kStartRecord = "@TN01" "1A2B" "000000" "110615" "10300000" "00" + std::string(47, '0');
std::string time_record(const std::string& hhmmss) { return hhmmss + "0000" "0" "0AC"; }
const std::string kGood = "0441D8" "00AA1E" "04B0" "00000000000" "000";
const std::string kBad = "0441D8" "00AA1E" "04B0" "0000000000G" "000";   // column 26 is no hex digit

// Feeds the lines; the first non-zero result, or 0.
int feed_all(BlockDecoder& d, const std::vector<std::string>& lines) {
    for (const std::string& l : lines)
        if (const int e = d.feed(l)) return e;
    return 0;
}

std::vector<std::string> block(int good_first, int bad, int good_after) {
    std::vector<std::string> out(good_first, kGood);
    out.insert(out.end(), bad, kBad);
    out.insert(out.end(), good_after, kGood);
    return out;
}

std::vector<std::string> concat(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(TopNavBlocks, ABadRunAndTheGoodEntriesCountedBackFromTheBlockEnd) {
    ASSERT_EQ(kStartRecord.size(), 78u);
    BlockDecoder d;
    const auto lines = concat({{"ignored noise", kStartRecord, time_record("103000")}, block(2, 3, 25),
                               {time_record("103030"), kGood}});
    ASSERT_EQ(feed_all(d, lines), 0);
    EXPECT_EQ(d.feed("@EOF"), kEndOfLog);
    EXPECT_TRUE(d.complete());
    EXPECT_EQ(d.serial(), 0x1A2Bu);
    EXPECT_EQ(d.bad_blocks(), 1);
    const auto& p = d.positions();
    ASSERT_EQ(p.size(), 28u);
    EXPECT_EQ(p[0].time, kStart);
    EXPECT_EQ(p[0].flags, kSegmentStart);
    EXPECT_EQ(p[1].time, kStart + 1);
    EXPECT_EQ(p[2].time, kStart + 5);     // after the bad run of three
    EXPECT_EQ(p[26].time, kStart + 29);   // the block ends at start + 29
    EXPECT_EQ(p[27].time, kStart + 30);
    EXPECT_EQ(p[27].flags, 0u);
    EXPECT_EQ(p[0].latitude, kLat);
    EXPECT_EQ(p[0].longitude, kLon);
    EXPECT_EQ(p[0].gps_altitude, 12000);
}

TEST(TopNavBlocks, MidnightAndTheBlockErrorsKeepTheirCodes) {
    BlockDecoder night;
    ASSERT_EQ(feed_all(night, concat({{kStartRecord, time_record("235950"), kGood, time_record("000020"), kGood}})), 0);
    ASSERT_EQ(night.feed("@EOF"), kEndOfLog);
    ASSERT_EQ(night.positions().size(), 2u);
    EXPECT_EQ(night.positions()[1].time, kJune15 + 86400 + 20);

    struct Case {
        const char* what;
        std::vector<std::string> lines;
        int error;
    };
    const std::vector<std::string> head = {kStartRecord, time_record("103000")};
    const Case cases[] = {
        {"time record too soon", concat({head, {kGood, time_record("103029")}}), kBadBlockTime},
        {"41 lines", concat({head, block(41, 0, 0)}), kBlockTooLong},
        {"good after bad in the closing block", concat({head, block(1, 1, 1), {"@EOF"}}), kGoodAfterBadAtEnd},
        {"bad after the second run", concat({head, block(1, 1, 1), {kBad, time_record("103100")}}),
         kBadAfterSecondRun},
        {"leading run of 31", concat({head, block(31, 0, 0), {time_record("103100")}}), kLeadingRunTooLong},
        {"trailing run of 31", concat({head, block(0, 1, 31), {time_record("103100")}}), kTrailingRunTooLong},
    };
    for (const Case& c : cases) {
        BlockDecoder d;
        EXPECT_EQ(feed_all(d, c.lines), c.error) << c.what;
    }
}

TEST(TopNavWaypoints, TextLines) {
    const auto w = parse_waypoint_line("ABC___ 1 TPT N 46 30 0 E 7 15 30 1200 m");
    ASSERT_TRUE(w);
    EXPECT_EQ(w->identifier, "ABC");
    EXPECT_NEAR(w->latitude, kLat, 1);
    EXPECT_NEAR(w->longitude, kLon, 1);
    EXPECT_EQ(w->height, 1200);
    const auto south = parse_waypoint_line("ab-x_1 0 TPT S 46 30 0 W 7 15 30 -5 m");
    ASSERT_TRUE(south);
    EXPECT_EQ(south->identifier, "AB-X-1");
    EXPECT_NEAR(south->latitude, -kLat, 1);
    EXPECT_EQ(south->height, 0);
    for (const char* refused : {"; ABC___ 1 TPT N 46 30 0 E 7 15 30 1200 m", "ABC___ 1 TPT N 46 60 0 E 7 15 30 1200 m",
                                "ABC___ 1 TPT N 90 0 0 E 7 15 30 1200 m", "ABC___ 1 TPT N 46 30 0 E 180 0 0 1200 m",
                                "______ 1 TPT N 46 30 0 E 7 15 30 1200 m", "ABC___ 1 TPT N 46 30 0 E 7 15 30 1200",
                                "ABC___  1 TPT N 46 30 0 E 7 15 30 1200 m", "ABC___ 1 WPT N 46 30 0 E 7 15 30 1200 m"})
        EXPECT_FALSE(parse_waypoint_line(refused)) << refused;
}

const std::vector<uint8_t> kAbcPacket = {0x40, 0x40, 0x57, 0x50, 0x81, 0x04, 0xB0, 0x41, 0x42, 0x43, 0x20,
                                         0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x4E, 0x4F, 0x06, 0x00,
                                         0xD8, 0x41, 0x04, 0x1E, 0xAA, 0x00, 0x5C, 0x0D, 0x0A};

TEST(TopNavWaypoints, PacketBothWays) {
    const Waypoint abc = test::waypoint_at("", 46.5, 7 + 15.5 / 60, 1200, "ABC");
    const WaypointPacket p = encode_waypoint_packet(abc);
    EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.end()), kAbcPacket);
    Waypoint low = abc;
    low.height = -5;
    const WaypointPacket q = encode_waypoint_packet(low);
    EXPECT_EQ(q[5], 0);
    EXPECT_EQ(q[6], 0);
    // South and west as 0x1000000 minus the magnitude.
    const WaypointPacket sw = encode_waypoint_packet(test::waypoint_at("", -46.5, -(7 + 15.5 / 60), 0, "ABC"));
    EXPECT_EQ(std::vector<uint8_t>(sw.begin() + 22, sw.begin() + 28),
              (std::vector<uint8_t>{0x28, 0xBE, 0xFB, 0xE2, 0x55, 0xFF}));

    Waypoint w;
    ASSERT_EQ(decode_waypoint_packet(kAbcPacket.data(), w), 0);
    EXPECT_EQ(w.identifier, "ABC");
    EXPECT_EQ(w.comment, "ABC");
    EXPECT_EQ(w.height, 1200);
    EXPECT_EQ(w.latitude, kLat);
    EXPECT_EQ(w.longitude, kLon);
}

TEST(TopNavWaypoints, PacketErrors) {
    struct Case {
        std::size_t at;
        uint8_t value;
        uint8_t checksum;   // byte 28 set to keep the sum right, or left
        int error;
    };
    const Case cases[] = {
        {10, 0x41, 0x5C, kPacketChecksum},  // a name byte changed, the sum not
        {0, 0x41, 0x5C, 3},
        {1, 0x41, 0x5C, 4},
        {2, 0x58, 0x53, 5},                 // "X" for "W", sum kept right
        {3, 0x51, 0x5D, 6},
        {24, 0x0A, 0x52, kPacketPosition},  // latitude 0x0A41D8: beyond 90 degrees
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> p = kAbcPacket;
        p[c.at] = c.value;
        p[28] = c.checksum;
        Waypoint w;
        EXPECT_EQ(decode_waypoint_packet(p.data(), w), c.error) << c.at;
    }
}

}  // namespace
}  // namespace orlogix::topnav
