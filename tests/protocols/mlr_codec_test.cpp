// The $PMLR codec against bytes written by hand from the documented
// layouts: the command sums, the product and count replies, the fast
// frames and records, and the GPWPL sentences both ways.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/units.hpp"
#include "protocols/mlr/frames.hpp"
#include "protocols/mlr/sentences.hpp"
#include "protocols/mlr/waypoint_sentences.hpp"

namespace orlogix::mlr {
namespace {

template <class Reader>
bool feed_all(Reader& r, std::string_view bytes) {
    bool done = false;
    for (const char c : bytes) done = r.feed(c);
    return done;
}

TEST(MlrSentences, FixedSentencesFollowTheSumRuleExceptThe4800Start) {
    // The last four digits are the 16-bit sum of everything before them.
    for (const std::string_view s : {kProductRequest, kStopSentence, kTrackStart, kWaypointStart, kCountRequest,
                                     kEraseCommand, logit_start_sentence(115200), logit_start_sentence(57600),
                                     logit_start_sentence(19200)}) {
        const std::size_t cut = s.rfind(',') + 1;
        EXPECT_EQ(pmlr_sentence(s.substr(0, cut)), s) << s;
    }
    // The logger expects "0388" although the rule gives 0399.
    EXPECT_EQ(logit_start_sentence(4800), "$PMLR,24,02,0110,0388\r\n");
    EXPECT_EQ(logit_start_sentence(9600), "$PMLR,24,02,0110,0388\r\n");
    EXPECT_EQ(pmlr_sentence("$PMLR,24,02,0110,"), "$PMLR,24,02,0110,0399\r\n");
    EXPECT_EQ(logit_start_sentence(38400), kTrackStart);
    EXPECT_EQ(logit_transfer_rate(9600), 4800);
    EXPECT_EQ(restart_sentence(1), "$PMLR,59,1,0282\r\n");
    EXPECT_EQ(name_sentence("Jo,*$\r\nLongName"), "$PMLR,IDGPS,01,Jo-----Lo,       *00\r\n");
    EXPECT_EQ(name_sentence("Ann"), "$PMLR,IDGPS,01,Ann      ,       *00\r\n");
}

TEST(MlrSentences, ProductReplyFieldsAndTheirLimits) {
    ProductReplyReader mlr(kMlrProductLimits);
    // Noise and another sentence first; leading blanks skipped.
    EXPECT_TRUE(feed_all(mlr, "xx$GPRMC,1*00\r\n$PMLR,IDGPS,01,SP24 XC,b,  123,2.71,Pro*5C\r\n"));
    ASSERT_EQ(mlr.fields().size(), 5u);
    EXPECT_EQ(mlr.fields()[2], "123");
    const MlrProduct p = mlr_product(mlr.fields());
    EXPECT_TRUE(p.time_correction);
    EXPECT_EQ(mlr_info_line(p), "MLR Pro SW2.71");
    EXPECT_FALSE(feed_all(mlr, "$PMLR,IDGPS,01,SP24 XC,b,123,2.71,Pro*5D\r\n"));   // sum wrong
    EXPECT_FALSE(feed_all(mlr, "$PMLR,IDGPS,01," + std::string(41, 'A') + "*00\r\n"));

    struct Case {
        std::vector<std::string> fields;
        bool correction;
        const char* name;
    };
    const Case cases[] = {{{"SP24", "", "", "2.72"}, false, "MLR"},  {{"SP24", "", "", "1.5"}, true, "MLR"},
                          {{"SP24", "", "", "9.90"}, true, "MLR"},   {{"SP24", "", "", "10.00"}, false, "MLR"},
                          {{"DGIFLY LEO", "", "", "2.0"}, false, "Digifly"},
                          {{"CPILOT X"}, false, "CPilot"},           {{"COMO1"}, false, "CoMo"}};
    for (const Case& c : cases) {
        EXPECT_EQ(mlr_product(c.fields).time_correction, c.correction) << c.fields[0] << ' ' << c.fields.back();
        EXPECT_EQ(mlr_product_name(c.fields[0]), c.name);
    }

    // A LogIt on firmware 1.02 is taken whatever its sum says, others are not.
    ProductReplyReader logit(kLogItProductLimits, "1.02");
    EXPECT_TRUE(feed_all(logit, "$PMLR,IDGPS,01,LOGIT,a,b,1.02*00\r\n"));
    EXPECT_EQ(logit.fields()[0], "LOGIT");
    EXPECT_FALSE(feed_all(logit, "$PMLR,IDGPS,01,LOGIT,a,b,1.03*00\r\n"));
}

TEST(MlrSentences, CountReply) {
    CountReplyReader r;
    CountReplyReader::Result last = CountReplyReader::Result::More;
    for (const char c : std::string_view("$GPGGA,1*00\r\n$PMLR,NUMTRACKPOINTS,4514*01\r\n")) last = r.feed(c);
    ASSERT_EQ(last, CountReplyReader::Result::Count);
    EXPECT_EQ(r.count(), 4514);
    for (const auto& [line, code] : {std::pair{"$PMLR,NUMTRACKPOINTS,4514*02\r\n", 7},
                                     {"$PMLR,NUMTRACKPOINTS,45\r\n", 2}, {"$PMLR,NUMTRACKPOINTS,12x*7E\r\n", 9}}) {
        CountReplyReader bad;
        last = CountReplyReader::Result::More;
        for (const char c : std::string_view(line))
            if (last == CountReplyReader::Result::More) last = bad.feed(c);
        EXPECT_EQ(last, CountReplyReader::Result::Error) << line;
        EXPECT_EQ(bad.error(), code) << line;
    }
}

TEST(MlrFrames, StartFrameByHand) {
    const std::vector<uint8_t> debut = {0x8B, 0x00, 0x54, 0x01, 0x44, 0x45, 0x42, 0x55, 0x54, 0x02, 0x54, 0x0D, 0x0A};
    EXPECT_EQ(encode_frame(kMlrTrackFrames, 0, FrameKind::Start), debut);
    FrameDecoder d(kMlrTrackFrames);
    FrameDecoder::Result r = FrameDecoder::Result::More;
    for (const uint8_t b : debut) r = d.feed(b);
    EXPECT_EQ(r, FrameDecoder::Result::Frame);
    EXPECT_EQ(d.frame().kind, FrameKind::Start);
    // The LogIt reads the same start frame.
    FrameDecoder l(kLogItFrames);
    for (const uint8_t b : debut) r = l.feed(b);
    EXPECT_EQ(r, FrameDecoder::Result::Frame);
}

// One track record: point 1, time 315100800, 45 N, 22.5 W, altitude 0xFFFFF6, a new segment.
const std::vector<uint8_t> kTrackFrame = {0x8B, 0x05, 0x54, 0x01, 0x00, 0x01, 0x00, 0x01, 0x12, 0xC8, 0x0E,
                                          0x80, 0x20, 0x00, 0x00, 0x00, 0xF0, 0x00, 0x00, 0x00, 0xFF, 0xFF,
                                          0xF6, 0x01, 0x06, 0x54, 0x0D, 0x0A};

TEST(MlrFrames, TrackRecordByHand) {
    FrameDecoder d(kMlrTrackFrames);
    FrameDecoder::Result r = FrameDecoder::Result::More;
    for (const uint8_t b : kTrackFrame) r = d.feed(b);
    ASSERT_EQ(r, FrameDecoder::Result::Frame);
    ASSERT_EQ(d.frame().count, 1);
    EXPECT_EQ(d.frame().sequence, 5);
    const TrackRecord t = track_record(std::span<const uint8_t, kTrackRecordSize>(d.frame().records.data(), 18));
    EXPECT_EQ(t.point, 1);
    EXPECT_EQ(t.altitude, -10);
    EXPECT_EQ(t.latitude, 0x20000000);
    EXPECT_EQ(t.longitude, static_cast<int32_t>(0xF0000000));
    EXPECT_EQ(t.flags, 1);
    EXPECT_EQ(program_time(t.time), 0u);
    EXPECT_EQ(program_time(315100814, kEpochOffset + kSp24Offset), 0u);
    EXPECT_EQ(program_time(100), 0u);   // before the epoch: 0, not a wrapped value
    EXPECT_EQ(encode_frame(kMlrTrackFrames, 5, FrameKind::Data, encode_track_record(t), 1), kTrackFrame);
}

TEST(MlrFrames, WaypointRecordByHand) {
    std::vector<uint8_t> f = {0x8B, 0x07, 0x57, 0x02, 0x00, 0x01, 'W', 'P', '1', ' ', ' ', ' ', 0x12, 0xC8, 0x0E, 0x80,
                              0x20, 0, 0, 0, 0xF0, 0, 0, 0, 0xFF, 0xFF, 0x83, 0, 0x07, 0x1D, 0x0D, 0x0A};
    FrameDecoder d(kMlrWaypointFrames);
    FrameDecoder::Result r = FrameDecoder::Result::More;
    for (const uint8_t b : f) r = d.feed(b);
    ASSERT_EQ(r, FrameDecoder::Result::Frame);
    const WaypointRecord w = waypoint_record(std::span<const uint8_t, kWaypointRecordSize>(d.frame().records.data(), 22));
    EXPECT_EQ(w.identifier, "WP1   ");
    EXPECT_EQ(w.altitude, -125);
    EXPECT_EQ(gps_altitude_metres(w.altitude), -13);
    EXPECT_EQ(gps_altitude_metres(125), 13);
    // A track decoder skips the waypoint transfer's frame.
    FrameDecoder t(kMlrTrackFrames);
    for (const uint8_t b : f) EXPECT_EQ(t.feed(b), FrameDecoder::Result::More);
}

TEST(MlrFrames, EachBrokenPlaceHasItsErrorNumber) {
    struct Case {
        std::size_t at;
        uint8_t value;
        const FrameRules* rules;
        int code;
    };
    // Positions in kTrackFrame: 2 letter, 3 number, 4 kind, 5 count, 24 sum, 26 CR, 27 LF.
    const Case cases[] = {{5, 0, &kMlrTrackFrames, 1},   {5, 28, &kMlrTrackFrames, 1}, {24, 0x07, &kMlrTrackFrames, 2},
                          {26, 'x', &kMlrTrackFrames, 3}, {27, 'x', &kMlrTrackFrames, 4}, {2, 'W', &kLogItFrames, 2},
                          {3, 2, &kLogItFrames, 3},       {4, 'X', &kLogItFrames, 4},     {5, 17, &kLogItFrames, 8},
                          {24, 0x07, &kLogItFrames, 9},   {26, 'x', &kLogItFrames, 10}};
    for (const Case& c : cases) {
        std::vector<uint8_t> f = kTrackFrame;
        f[c.at] = c.value;
        FrameDecoder d(*c.rules);
        FrameDecoder::Result r = FrameDecoder::Result::More;
        for (std::size_t i = 0; i < f.size() && r == FrameDecoder::Result::More; ++i) r = d.feed(f[i]);
        ASSERT_EQ(r, FrameDecoder::Result::Error) << c.at;
        EXPECT_EQ(c.rules == &kLogItFrames ? logit_error_code(d.error()) : mlr_error_code(d.error()), c.code) << c.at;
    }
    // Start, end and restart texts broken.
    for (const auto& [text, code] : {std::pair{"DEBUX", 5}, {"FIX", 6}, {"RESTARX", 7}}) {
        std::vector<uint8_t> f = {0x8B, 0, 'T', 1};
        f.insert(f.end(), text, text + std::strlen(text));
        FrameDecoder d(kLogItFrames);
        FrameDecoder::Result r = FrameDecoder::Result::More;
        for (const uint8_t b : f) r = d.feed(b);
        EXPECT_EQ(logit_error_code(d.error()), code) << text;
        EXPECT_EQ(r, FrameDecoder::Result::Error);
    }
}

TEST(MlrWaypointSentences, UploadSentenceByHand) {
    Waypoint w;
    radians_to_semicircle((46 + 30.5 / 60) * M_PI / 180, w.latitude);
    radians_to_semicircle((7 + 15.25 / 60) * M_PI / 180, w.longitude);
    w.identifier = "WP1";
    w.comment = "Tower";
    EXPECT_EQ(wpl_upload_sentence(w), "$GPWPL,4630.500,N,00715.250,E,WP1   0Tower                 *16\r\n");
    Waypoint framing;
    framing.identifier = "A\rB";
    framing.comment = "x,y*z";
    EXPECT_EQ(wpl_upload_sentence(framing), "$GPWPL,0000.000,N,00000.000,E,A-B   0x-y-z                 *2E\r\n");
}

TEST(MlrWaypointSentences, ListenerReadsPositionsNamesAndNumbersItsErrors) {
    WplReader r;
    WplReader::Result last = WplReader::Result::More;
    for (const char c : std::string_view("$GPGGA,1,2*00\r\n$GPWPL,4630.500,S,12000.000,W,TOP 1Hut*50\r\n"))
        last = r.feed(c);
    ASSERT_EQ(last, WplReader::Result::Sentence);
    EXPECT_NEAR(semicircle_to_degrees(r.sentence().latitude), -(46 + 30.5 / 60), 1e-7);
    EXPECT_NEAR(semicircle_to_degrees(r.sentence().longitude), -120.0, 1e-7);
    std::string id, comment;
    EXPECT_EQ(split_wpl_name(r.sentence().name, id, comment), 0);
    EXPECT_EQ(id, "TOP");
    EXPECT_EQ(comment, "Hut");
    EXPECT_EQ(split_wpl_name("ABCDEF0Far away   ", id, comment), 0);
    EXPECT_EQ(comment, "Far away");
    EXPECT_EQ(split_wpl_name("ab 0x", id, comment), 5);
    EXPECT_EQ(split_wpl_name(" 0x", id, comment), 6);

    struct Case {
        const char* body;   // after "$GPWPL," with a correct sum unless `sum` is given
        int code;
    };
    const Case cases[] = {{"9000.000,N,00000.000,E,A", 1},  {"4x00.000,N,00000.000,E,A", 2},
                          {"4600.0x0,N,00000.000,E,A", 3},  {"4600.000,Q,00000.000,E,A", 4},
                          {"4600.000,N;00000.000,E,A", 5},  {"4600.000,N,18000.000,E,A", 6},
                          {"4600.000,N,0x000.000,E,A", 7},  {"4600.000,N,00000.0x0,E,A", 8},
                          {"4600.000,N,00000.000,Q,A", 9},  {"4600.000,N,00000.000,E;A", 10}};
    for (const Case& c : cases) {
        WplReader one;
        const std::string text = std::string("GPWPL,") + c.body;
        for (const char ch : nmea_sentence(text)) last = one.feed(ch);
        EXPECT_EQ(last, WplReader::Result::Error) << c.body;
        EXPECT_EQ(one.error(), c.code) << c.body;
    }
    const std::pair<std::string, int> lines[] = {
        {nmea_sentence("GPWPL,4600.000,N,00000.000,E,A" + std::string(600, 'x')), 11},
        {"$GPWPL,4600.000,N,00000.000,E,A\r\n", 12}, {"$GPWPL,4600.000,N,00000.000,E,A*x", 13},
        {"$GPWPL,4600.000,N,00000.000,E,A*0x", 14},   {"$GPWPL,4600.000,N,00000.000,E,A*00x", 15},
        {"$GPWPL,4600.000,N,00000.000,E,A*00\r\n", 16}, {"$GPWPL,4600.000,N,00000.000,E,A*00\rx", 17}};
    for (const auto& [line, code] : lines) {
        WplReader one;
        for (const char ch : line) last = one.feed(ch);
        EXPECT_EQ(one.error(), code) << line.substr(0, 40);
    }
}

}  // namespace
}  // namespace orlogix::mlr
