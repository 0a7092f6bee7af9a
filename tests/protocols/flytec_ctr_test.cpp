// Flytec/Brauniger airspaces: the upload sentences (golden bytes written out
// by hand), the acknowledgement and the CTR list download with their
// error numbers.
#include <gtest/gtest.h>

#include <cstdio>

#include "protocols/flytec/ctr_list_decoder.hpp"
#include "protocols/flytec/ctr_sentences.hpp"

namespace orlogix::flytec {
namespace {

CtrSegment point(double lat, double lon) {
    CtrSegment s;
    s.centre = {lat, lon};
    return s;
}

TEST(FlytecCtr, CircleIsThreeSentences) {
    Ctr ctr;
    ctr.name = "LAKE,ZONE";
    ctr.floor = "GND";
    ctr.warning_distance = 200;
    CtrSegment c = point(46.5, 8 + 15.5 / 60);
    c.kind = CtrSegmentKind::Circle;
    c.radius = 2500;
    ctr.segments = {c};
    std::vector<CtrUploadSentence> out;
    std::string error;
    ASSERT_TRUE(ctr_upload_sentences(ctr, out, error)) << error;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].bytes, "$PBRCTRW,003,000,LAKE ZONE        ,0200*6E\r\n");
    EXPECT_EQ(out[1].bytes, "$PBRCTRW,003,001,GND              *31\r\n");
    EXPECT_EQ(out[2].bytes, "$PBRCTRW,003,002,C,4630.000,N,00815.500,E,02500*14\r\n");
    EXPECT_FALSE(out[1].ends_segment);
    EXPECT_TRUE(out[2].ends_segment);
}

TEST(FlytecCtr, TwoPointsAndAnArcAreSevenSentences) {
    Ctr ctr;
    ctr.name = "VALLEY TMA";
    ctr.floor = "FL 65";
    ctr.warning_distance = 12000;   // limited to four digits
    CtrSegment arc = point(46 + 5.0 / 60, 7 + 10.0 / 60);
    arc.kind = CtrSegmentKind::ArcByEnds;
    arc.first = {46 + 10.0 / 60, 7 + 10.0 / 60};
    arc.second = {46, 7 + 10.0 / 60};
    ctr.segments = {point(46, 7), point(46 + 10.0 / 60, 7), arc};
    std::vector<CtrUploadSentence> out;
    std::string error;
    ASSERT_TRUE(ctr_upload_sentences(ctr, out, error)) << error;
    const char* golden[] = {
        "$PBRCTRW,007,000,VALLEY TMA       ,9999*06\r\n",     "$PBRCTRW,007,001,FL 65            *51\r\n",
        "$PBRCTRW,007,002,P,4600.000,N,00700.000,E*15\r\n",    "$PBRCTRW,007,003,P,4610.000,N,00700.000,E*15\r\n",
        "$PBRCTRW,007,004,X,4605.000,N,00710.000,E*1F\r\n",    "$PBRCTRW,007,005,T,4610.000,N,00710.000,E,+*11\r\n",
        "$PBRCTRW,007,006,Z,4600.000,N,00710.000,E,+*1D\r\n",
    };
    const int pauses[] = {100, 100, 100, 100, 200, 200, 100};
    ASSERT_EQ(out.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(out[i].bytes, golden[i]);
        EXPECT_EQ(out[i].pause_ms, pauses[i]) << i;
        EXPECT_EQ(out[i].ends_segment, i == 2 || i == 3 || i == 6) << i;
    }
}

// The ends of an arc by angles lie on the ellipsoid. The expected ends are
// GeographicLib's (GeodSolve -p 9 from the centre, azimuth and radius); the
// sentence carries thousandths of a minute.
TEST(FlytecCtr, ArcByAnglesSendsItsEndsOnTheEllipsoid) {
    const struct {
        double lat, lon, radius, from, to;
        double t_lat, t_lon, z_lat, z_lon;   // GeodSolve's ends, degrees
    } cases[] = {
        {46, 7, 1852, 0, 270, 46.01666194619317, 7.00000000000000, 45.99999749935061, 6.97609190460709},
        // 370 m off on a grid: the case that showed it.
        {47, 11.9, 10000, 45, 200, 47.06356726374086, 11.99308232147746, 46.91546366464203, 11.85510126589363},
    };
    for (const auto& c : cases) {
        Ctr ctr;
        CtrSegment arc = point(c.lat, c.lon);
        arc.kind = CtrSegmentKind::ArcByAngles;
        arc.radius = static_cast<uint32_t>(c.radius);
        arc.start_bearing = c.from;
        arc.end_bearing = c.to;
        ctr.segments = {arc};
        std::vector<CtrUploadSentence> out;
        std::string error;
        ASSERT_TRUE(ctr_upload_sentences(ctr, out, error));
        ASSERT_EQ(out.size(), 5u);
        const char* forms[] = {"$PBRCTRW,005,003,T,%2u%2u.%3u,N,%3u%2u.%3u,E,+", "$PBRCTRW,005,004,Z,%2u%2u.%3u,N,%3u%2u.%3u,E,+"};
        const double want[2][2] = {{c.t_lat, c.t_lon}, {c.z_lat, c.z_lon}};
        for (int end = 0; end < 2; ++end) {
            unsigned lat_d, lat_m, lat_t, lon_d, lon_m, lon_t;
            ASSERT_EQ(std::sscanf(out[3 + end].bytes.c_str(), forms[end], &lat_d, &lat_m, &lat_t, &lon_d, &lon_m, &lon_t), 6)
                << out[3 + end].bytes;
            EXPECT_NEAR(lat_d * 60000.0 + lat_m * 1000 + lat_t, want[end][0] * 60000, 1) << c.lat << " end " << end;
            EXPECT_NEAR(lon_d * 60000.0 + lon_m * 1000 + lon_t, want[end][1] * 60000, 1) << c.lat << " end " << end;
        }
    }
}

TEST(FlytecCtr, ValuesTooWideForTheirFieldsAreRefused) {
    Ctr ctr;
    ctr.name = "BIG";
    ctr.segments.assign(997, point(46, 7));
    std::vector<CtrUploadSentence> out;
    std::string error;
    EXPECT_TRUE(ctr_upload_sentences(ctr, out, error));   // 999 sentences
    EXPECT_EQ(out.back().bytes.substr(0, 17), "$PBRCTRW,999,998,");
    ctr.segments.push_back(point(46, 7));
    EXPECT_FALSE(ctr_upload_sentences(ctr, out, error));
    EXPECT_EQ(error, "CTR \"BIG\" needs 1000 sentences, more than 999");
    EXPECT_TRUE(out.empty());

    CtrSegment c = point(46, 7);
    c.kind = CtrSegmentKind::Circle;
    c.radius = 100000;
    ctr.segments = {c};
    EXPECT_FALSE(ctr_upload_sentences(ctr, out, error));
    EXPECT_EQ(error, "CTR \"BIG\": a circle of radius 100000 m is more than 99999 m");
    ctr.segments = {point(91, 7)};
    EXPECT_FALSE(ctr_upload_sentences(ctr, out, error));
}

TEST(FlytecCtr, Acknowledgement) {
    CtrAckDecoder ok;
    int r = 0;
    for (char c : std::string("noise$PBRANS,3*03\r\n")) r = r ? r : ok.feed(c);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(ok.status(), '3');
    EXPECT_STREQ(ctr_ack_text('1'), "CTR transfer ok");
    EXPECT_STREQ(ctr_ack_text('3'), "No further memory");
    EXPECT_STREQ(ctr_ack_text('9'), "Unknown ack. status");

    const std::pair<const char*, int> errors[] = {
        {"$PBRTL,*74\r\n", 1},      {"$PBRANS,1*G", 2},        {"$PBRANS,1*0g", 3},
        {"$PBRANS,1*01X", 4},       {"$PBRANS,1*02\r\n", 5},   {"$PBRANS,1*01\rX", 6},
    };
    for (const auto& [bytes, error] : errors) {
        CtrAckDecoder d;
        r = 0;
        for (const char* p = bytes; *p && !r; ++p) r = d.feed(*p);
        EXPECT_EQ(r, -error) << bytes;
    }
}

TEST(FlytecCtr, ListDownload) {
    const std::string bytes =
        "$PBRCTR,003,000,LAKE ZONE,0200*39\r\n$PBRCTR,003,001,GND, above*15\r\n"
        "$PBRCTR,003,002,C,4630.000,N,00815.500,E,02500*43\r\n"
        "$PBRCTR,007,000,VALLEY TMA,0500*74\r\n$PBRCTR,007,001,FL 65*06\r\n"
        "$PBRCTR,007,002,P,4600.000,N,00700.000,E*42\r\n$PBRCTR,007,003,P,4610.000,S,00700.000,W*4D\r\n"
        "$PBRCTR,007,004,X,4605.000,N,00710.000,E*48\r\n$PBRCTR,007,005,T,4610.000,N,00710.000,E,+*46\r\n"
        "$PBRCTR,007,006,Z,4600.000,N,00710.000,E,-*4C\r\n$PBRANS,1*01\r\n";
    CtrListDecoder d;
    using R = CtrListDecoder::Result;
    std::vector<R> steps;
    for (char c : bytes)
        if (const R r = d.feed(c); r != R::More) steps.push_back(r);
    ASSERT_EQ(steps, (std::vector<R>{R::CtrDone, R::CtrDone, R::ListDone}));
    const CtrList& list = d.ctrs();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "LAKE ZONE");
    EXPECT_EQ(list[0].floor, "GND, above");
    EXPECT_EQ(list[0].warning_distance, 200);
    ASSERT_EQ(list[0].segments.size(), 1u);
    EXPECT_EQ(list[0].segments[0].kind, CtrSegmentKind::Circle);
    EXPECT_EQ(list[0].segments[0].radius, 2500u);
    EXPECT_DOUBLE_EQ(list[0].segments[0].centre.latitude, 46.5);
    EXPECT_DOUBLE_EQ(list[0].segments[0].centre.longitude, 8 + 15.5 / 60);
    ASSERT_EQ(list[1].segments.size(), 3u);
    EXPECT_DOUBLE_EQ(list[1].segments[1].centre.latitude, -(46 + 10.0 / 60));
    EXPECT_DOUBLE_EQ(list[1].segments[1].centre.longitude, -7.0);
    const CtrSegment& arc = list[1].segments[2];
    EXPECT_EQ(arc.kind, CtrSegmentKind::ArcByEnds);
    EXPECT_DOUBLE_EQ(arc.first.latitude, 46 + 10.0 / 60);
    EXPECT_DOUBLE_EQ(arc.second.latitude, 46.0);
    EXPECT_EQ(arc.direction, '-');
}

TEST(FlytecCtr, ListErrorNumbers) {
    const std::string p = ",4600.000,N,00700.000,E";
    const std::string h3 = "PBRCTR,003,000,A,1", h4 = "PBRCTR,004,000,A,1", h5 = "PBRCTR,005,000,A,1";
    auto f = [](int n, int i) {
        char t[24];
        std::snprintf(t, sizeof t, "PBRCTR,%03d,%03d,", n, i);
        return std::string(t);
    };
    // Sentence 2 of a CTR of four: the fields of one segment.
    auto seg = [&](std::string text) { return std::vector<std::string>{h4, f(4, 1), f(4, 2) + text}; };
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"PBRCTR"}, 1}, {{"PBRANS,3"}, 2}, {{"GPGGA,1"}, 3}, {{"PBRCTR,003"}, 4}, {{"PBRCTR,0x3,000,A,1"}, 5},
        {{"PBRCTR,003,000"}, 6}, {{"PBRCTR,003,0x0,A,1"}, 7}, {{"PBRCTR,002,000,A,1"}, 8}, {{"PBRCTR,003,001,A,1"}, 9},
        {{"PBRCTR,003,000,A"}, 10}, {{"PBRCTR,003,000,A,1x"}, 11}, {{"PBRCTR,003,000,A,1,2"}, 11},
        {{h4, f(4, 2) + "F"}, 13}, {{h4, f(4, 1), f(4, 3) + "P" + p}, 14}, {seg("P"), 15}, {seg("Q" + p), 16},
        {seg("P,4600.000"), 17}, {seg("P,9000.000,N,00700.000,E"), 18}, {seg("P,4660.000,N,00700.000,E"), 18},
        {seg("P,4600,N,00700.000,E"), 19}, {seg("P,4600.00x,N,00700.000,E"), 20}, {seg("P,4600.000,N"), 21},
        {seg("P,4600.000,Q,00700.000,E"), 22}, {seg("P,4600.000,N,00700.000"), 23},
        {seg("P,4600.000,N,18000.000,E"), 24}, {seg("P,4600.000,N,00760.000,E"), 24},
        {seg("P,4600.000,N,00700,E"), 25}, {seg("P,4600.000,N,00700.0x0,E"), 26}, {seg("P,4600.000,N,00700.000,X"), 31},
        {{h3, f(3, 1), f(3, 2) + "C" + p}, 27}, {{h3, f(3, 1), f(3, 2) + "C" + p + ",25x0"}, 28},
        {{h5, f(5, 1), f(5, 2) + "X" + p, f(5, 3) + "T" + p}, 29},
        {{h5, f(5, 1), f(5, 2) + "X" + p, f(5, 3) + "T" + p + ",x"}, 30},
        {{h4, f(4, 1), f(4, 2) + "P" + p, f(4, 3) + "C" + p + ",1"}, 34}, {seg("C" + p + ",1"), 35},
        {{h3, f(3, 1), f(3, 2) + "X" + p}, 37}, {seg("T" + p + ",+"), 38},
        {{h4, f(4, 1), f(4, 2) + "X" + p, f(4, 3) + "T" + p + ",+"}, 39},
        {{h5, f(5, 1), f(5, 2) + "X" + p, f(5, 3) + "P" + p}, 40},
        {{h5, f(5, 1), f(5, 2) + "X" + p, f(5, 3) + "T" + p + ",+", f(5, 4) + "P" + p}, 41},
    };
    for (const auto& [bodies, error] : cases) {
        CtrListDecoder d;
        for (std::size_t i = 0; i + 1 < bodies.size(); ++i)
            ASSERT_EQ(d.sentence(bodies[i]), CtrListDecoder::Result::More) << bodies[i];
        EXPECT_EQ(d.sentence(bodies.back()), CtrListDecoder::Result::SentenceError) << bodies.back();
        EXPECT_EQ(d.error(), error) << bodies.back();
    }

    const std::pair<std::string, int> framing[] = {
        {"$" + std::string(82, 'P'), 1}, {"$PBRANS,1*0g", 3}, {"$PBRANS,1*01X", 4},
        {"$PBRANS,1*02\r\n", 5},        {"$PBRANS,1*01\rX", 6},
    };
    for (const auto& [bytes, error] : framing) {
        CtrListDecoder d;
        CtrListDecoder::Result r = CtrListDecoder::Result::More;
        for (std::size_t i = 0; i < bytes.size() && r == CtrListDecoder::Result::More; ++i) r = d.feed(bytes[i]);
        EXPECT_EQ(r, CtrListDecoder::Result::AssemblerError) << bytes;
        EXPECT_EQ(d.error(), error) << bytes;
    }
}

}  // namespace
}  // namespace orlogix::flytec
