// The Flymaster codec against bytes written by hand from the protocol's
// layouts: requests and built sentences, the product reply, waypoint lines
// both ways, the upload answers and the binary track blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "protocols/flymaster/blocks.hpp"
#include "protocols/flymaster/sentences.hpp"
#include "protocols/flymaster/waypoint_lines.hpp"

namespace orlogix::flymaster {
namespace {

using Bytes = std::vector<uint8_t>;

double degrees(int32_t semicircles) { return semicircles * 180.0 / 2147483648.0; }

TEST(FlymasterSentences, BuiltSentencesCarryTheirChecksums) {
    // 2015-07-01 12:30:00 UTC in our time base (seconds from 1989-12-31).
    EXPECT_EQ(track_request(kEpochOffset + 489069000), "$PFMDNL,150701123000,*1f\r\n");
    EXPECT_EQ(ids_sentence(57, 12345, "ANNA BERG"), "$PFMIDS,57,12345,ANNA BERG*28\r\n");
    EXPECT_EQ(ids_sentence(-1, 12345, "A,N*N$A"), lower_checksum_sentence("PFMIDS,,12345,A N N A"));
    EXPECT_EQ(pilot_data_sentence("Anna Berg Longname", "57", "", "X"),
              lower_checksum_sentence("PFMPLT,Anna Berg Long,57,,X,"));
    EXPECT_EQ(altitude_alarm_sentence(3000), lower_checksum_sentence("PFMALT,3000,"));
    EXPECT_EQ(kTrackListRequest, "$PFMDNL,LST,*72\r\n");  // sent as the instruments expect it
}

TEST(FlymasterSentences, ProductReply) {
    Product p;
    ASSERT_TRUE(parse_product_line("$PBRSNP,B1NAV,,12345,1.19*01", p));
    EXPECT_TRUE(p.b1nav());
    Product f1;
    const std::string body = "PBRSNP,F1,,4711,1.21";
    char sum[3];
    uint8_t x = 0;
    for (char c : body) x ^= static_cast<uint8_t>(c);
    std::snprintf(sum, sizeof sum, "%02x", x);
    ASSERT_TRUE(parse_product_line("$" + body + "*" + sum, f1));
    EXPECT_EQ(f1.model, "F1");
    EXPECT_EQ(f1.serial, "4711");
    EXPECT_EQ(f1.version, "1.21");
    EXPECT_FALSE(f1.b1nav());
    EXPECT_EQ(device_identity(f1), "Flymaster: 4711");
    EXPECT_EQ(info_line(f1), "Flymaster F1  SN4711  SW1.21");
    EXPECT_FALSE(parse_product_line("$" + body + "*00", f1));
    EXPECT_FALSE(parse_product_line("$PBRSNP,F1*" + std::string(sum), f1));
}

TEST(FlymasterWaypoints, UploadSentenceAndAnswers) {
    Waypoint w;
    w.latitude = 562521411;   // 47.15 N
    w.longitude = 85302823;   // 7.15 E
    w.height = 1000;
    w.comment = "TAKEOFF";
    w.airfield = 1;
    EXPECT_EQ(waypoint_upload_sentence(w, "1.18"), "$PFMWPR,4709.000,N,00709.000,E,,TAKEOFF         ,1000*68\r\n");
    EXPECT_EQ(waypoint_upload_sentence(w, "1.19"), "$PFMWPR,4709.000,N,00709.000,E,,TAKEOFF         ,1000,1*75\r\n");
    const std::string name = upload_name(w);
    EXPECT_EQ(check_upload_answer("$PFMWPR,ACK,TAKEOFF         *33", name, "1.19"), 0);
    const struct {
        const char* line;
        const char* firmware;
        int type;
    } answers[] = {
        {"$PFMWPR,ACK,TAKEOFF         ", "1.19", 4}, {"$PFMWPR,ACK,TAKEOFF         *3G", "1.19", 1},
        {"$PFMWPR,ACK,TAKEOFF         *33 ", "1.19", 2}, {"$PFMWPR,ACK,TAKEOFF         *34", "1.19", 3},
        {"$PFMWPR,ACK*6B", "1.19", 5}, {"$PFMWPR,NAK,TAKEOFF         *3E", "1.19", 6},
        {"$PFMWPR,ACK,LANDING         *20", "1.19", 7}, {"$PFMWPR,TAKEOFF         *56", "1.14", 0},
        {"$PFMWPR,LANDING*65", "1.14", 7},
    };
    for (const auto& a : answers) EXPECT_EQ(check_upload_answer(a.line, name, a.firmware), a.type) << a.line;
}

TEST(FlymasterWaypoints, DownloadLinesAndTheirFormatErrors) {
    Waypoint w;
    ASSERT_EQ(decode_waypoint_line("$PFMWPL,47.150000,N,7.150000,E,1000,Takeoff Mountain,1*6c", 77, w), 0);
    EXPECT_NEAR(degrees(w.latitude), 47.15, 1e-6);
    EXPECT_NEAR(degrees(w.longitude), 7.15, 1e-6);
    EXPECT_EQ(w.height, 1000);
    EXPECT_EQ(w.identifier, "TAKEOF");
    EXPECT_EQ(w.comment, "Takeoff Mountain");
    EXPECT_EQ(w.airfield, 1);
    EXPECT_EQ(w.time, 77u);
    const struct {
        const char* body;
        int error;
    } cases[] = {
        {"PFMWPL,47.1,N,7.1,E,1000", 5},        {"PFMWPL,91.0,N,7.1,E,1000,A", 6},
        {"PFMWPL,47.1,X,7.1,E,1000,A", 7},       {"PFMWPL,47.1,N,181,E,1000,A", 8},
        {"PFMWPL,47.1,N,7.1,O,1000,A", 9},       {"PFMWPL,47.1,N,7.1,E,1e3,A", 10},
        {"PFMWPL,47.1,N,7.1,E,100000,A", 10},    {"PFMWPL,47.1,N,7.1,E,1000,  ", 11},
    };
    for (const auto& c : cases) {
        const std::string line = lower_checksum_sentence(c.body);
        EXPECT_EQ(decode_waypoint_line(line.substr(0, line.size() - 2), 0, w), c.error) << c.body;
    }
    EXPECT_EQ(decode_waypoint_line("$PFMWPL,1,N,1,E,1,A", 0, w), 4);
    EXPECT_EQ(decode_waypoint_line("$PFMWPL,1,N,1,E,1,A*zz", 0, w), 1);
}

TEST(FlymasterBlocks, KeyAndDeltaBlocksAsTheInstrumentSendsThem) {
    const Bytes stream{0xa1, 0xa1, 0x11, 0x00, 0xc8, 0x2a, 0x2b, 0x00, 0x38, 0x74, 0xf9, 0xff, 0xe8, 0x03, 0x1b,
                       0x23, 0x00, 0x00, 0x00, 0x00, 0x41, 0xa2, 0xa2, 0x06, 0x00, 0xff, 0x01, 0x02, 0xfe, 0xff,
                       0xfb, 0xa2, 0xa2, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07 /* bad */, 0xa3, 0xa3};
    BlockDecoder decoder;
    TrackAssembler track;
    std::vector<BlockEvent> events;
    for (const uint8_t b : stream) {
        const BlockEvent e = decoder.feed(b);
        if (e == BlockEvent::None) continue;
        events.push_back(e);
        if (e == BlockEvent::Block) {
            EXPECT_EQ(track.add(decoder.type(), decoder.data()), nullptr);
        }
    }
    EXPECT_EQ(events, (std::vector<BlockEvent>{BlockEvent::Block, BlockEvent::Block, BlockEvent::BadChecksum,
                                               BlockEvent::EndMark}));
    ASSERT_EQ(track.positions().size(), 2u);
    const TrackPosition& key = track.positions()[0];
    EXPECT_NEAR(degrees(key.latitude), 47.15, 1e-6);
    EXPECT_NEAR(degrees(key.longitude), 7.15, 1e-6);
    EXPECT_EQ(key.gps_altitude, 10000);
    EXPECT_EQ(key.baro_altitude, 1000);
    EXPECT_EQ(key.time, kEpochOffset);
    EXPECT_EQ(key.flags, kSegmentStart);
    const TrackPosition& next = track.positions()[1];
    EXPECT_EQ(next.time, kEpochOffset + 255);   // time byte 0xFF: 255 s later
    EXPECT_LT(next.latitude, key.latitude);     // latitude byte 0xFF: one unit south
    EXPECT_EQ(next.gps_altitude, 10020);
    EXPECT_EQ(next.flags, 0u);
    // No flight information block came: the end mark fails the download.
    EXPECT_STREQ(track.finish(), "E205 Missing flight info block");
    EXPECT_EQ(pressure_altitude(10132), 0);
}

TEST(FlymasterBlocks, BlocksThatFailTheDownload) {
    const Bytes key{0, 0xc8, 0x2a, 0x2b, 0, 0x38, 0x74, 0xf9, 0xff, 0xe8, 3, 0x1b, 0x23, 0, 0, 0, 0};
    Bytes far_north = key;
    far_north[1] = 0x41;
    far_north[2] = 0x66;
    far_north[3] = 0x52;  // 5400001
    Bytes far_east = key;
    far_east[5] = 0xc1;
    far_east[6] = 0x33;
    far_east[7] = 0x5b;
    far_east[8] = 0xff;  // -10800063
    EXPECT_STREQ(TrackAssembler().add(kDeltas, Bytes(6)), "E205 Missing key track position block");
    EXPECT_STREQ(TrackAssembler().add(kKeyPosition, Bytes(16)), "E205 Bad key track position block length");
    EXPECT_STREQ(TrackAssembler().add(kFlightInfo, Bytes(62)), "E205 Bad flight info block length");
    EXPECT_STREQ(TrackAssembler().add(kKeyPosition, far_north), "E205 Latitude outside valid range");
    EXPECT_STREQ(TrackAssembler().add(kKeyPosition, far_east), "E205 Longitude value outside valid range");
    TrackAssembler t;
    ASSERT_EQ(t.add(kKeyPosition, key), nullptr);
    EXPECT_STREQ(t.add(kDeltas, Bytes(7)), "E205 Bad track position block length");
    Bytes info(63, 0);
    info[0] = 1;
    info[1] = 21;
    info[4] = 0x39;
    info[5] = 0x30;
    ASSERT_EQ(t.add(kFlightInfo, info), nullptr);
    EXPECT_EQ(t.add(kEnd, {}), nullptr);
    EXPECT_TRUE(t.ended());
    EXPECT_EQ(t.description(), "Flymaster F1, V1.21, S/N 12345");
}

}  // namespace
}  // namespace orlogix::flymaster
