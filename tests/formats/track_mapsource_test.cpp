// MapSource files: the container's head and records byte for byte, the
// track record, round trips of a real flight, and a walk that refuses every
// length that does not fit (no independent reader: gpsbabel 1.8 dropped
// this format).
#include <gtest/gtest.h>

#include "core/time.hpp"
#include "formats/tracks/mapsource.hpp"
#include "formats/tracks/mapsource_container.hpp"
#include "track_test_util.hpp"

namespace orlogix {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

const std::string kHead = std::string("MsRcd\0", 6) + bytes({2, 0, 0, 0}) + std::string("Di\0", 3) +
                          bytes({27, 0, 0, 0}) + "A" + bytes({0xF8, 0x01}) + std::string("SQA\0", 4) +
                          std::string("Nov  6 2003\0", 12) + std::string("16:01:32\0", 9);
const std::string kEnd = bytes({2, 0, 0, 0}) + "V" + bytes({0, 1});

TEST(MapSourceFile, HeadAndEndRecord) {
    ASSERT_EQ(kHead.size(), 45u);
    MapSourceWriter w;
    EXPECT_EQ(w.bytes(), kHead);
    w.finish();
    EXPECT_EQ(w.bytes(), kHead + kEnd);
}

TEST(MapSourceTrack, OnePointByteForByte) {
    TrackPosition p;
    p.latitude = 0x01020304;
    p.longitude = -2;
    p.gps_altitude = 10;   // 1.0 m
    p.time = 0;            // 1989-12-31, Unix 631065600 = 0x259D4C00
    const std::string record = bytes({31 + 37, 0, 0, 0}) + "T" + std::string("Orlogix track log source   \0", 28) +
                               bytes({1, 0, 0, 0, 0, 1, 0, 0, 0}) +
                               bytes({4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 1, 0x00,
                                      0x4C, 0x9D, 0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(mapsource_track_bytes({p}), kHead + record + kEnd);
}

TEST(MapSourceTrack, RoundTripOfRealFlight) {
    auto flight = test::igc_flight("d3p.igc");
    flight[0].flags = 0;   // the reader marks the first point of the record
    test::RecordingReporter r;
    std::vector<TrackPosition> back;
    ASSERT_EQ(read_mapsource_track(r, mapsource_track_bytes(flight), back), static_cast<int>(flight.size()))
        << r.last_error().text;
    // Semicircles are stored as they are, heights as float metres.
    test::expect_same_points(flight, back, {0, 0, 0});
    EXPECT_EQ(back[0].flags, kSegmentStart);
    EXPECT_EQ(back[1].flags, 0u);
}

TEST(MapSourceTrack, TwoRecordsAndOtherTypes) {
    TrackPosition a, b;
    a.time = 1000;
    b.time = 2000;
    a.gps_altitude = -123;
    const std::string one = mapsource_track_bytes({a});
    const std::string two = mapsource_track_bytes({b});
    // The T record of each, a foreign record between them, one end record.
    const std::string ta = one.substr(45, one.size() - 45 - 7), tb = two.substr(45, two.size() - 45 - 7);
    const std::string other = bytes({3, 0, 0, 0}) + "W" + bytes({1, 2, 3});
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    ASSERT_EQ(read_mapsource_track(r, kHead + ta + other + tb + kEnd, out), 2) << r.last_error().text;
    EXPECT_EQ(out[0].time, 1000u);
    EXPECT_EQ(out[0].gps_altitude, -123);
    EXPECT_EQ(out[1].time, 2000u);
    EXPECT_EQ(out[1].flags, kSegmentStart);
}

TEST(MapSourceTrack, NoTrackPointsYieldNothing) {
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    EXPECT_EQ(read_mapsource_track(r, kHead + kEnd, out), 0);
    EXPECT_EQ(r.count("error"), 0);
}

TEST(MapSourceTrack, FlagsZeroGiveNoHeightNoTime) {
    TrackPosition p;
    p.time = 5;
    p.gps_altitude = 50;
    std::string file = mapsource_track_bytes({p});
    file[45 + 42 + 8] = 0;        // altitude flag
    file[45 + 42 + 17] = 0;       // time flag
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    ASSERT_EQ(read_mapsource_track(r, file, out), 1);
    EXPECT_EQ(out[0].gps_altitude, 0);
    EXPECT_EQ(out[0].time, 0u);
}

void put_u32(std::string& s, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

struct BadFile {
    const char* name;
    std::string bytes;
    const char* message;
};

TEST(MapSourceTrack, Errors) {
    TrackPosition p;
    const std::string good = mapsource_track_bytes({p, p});
    const std::size_t t = 45;   // offset of the T record
    std::string huge_length = good;
    put_u32(huge_length, t, 0xFFFFFFFFu);
    std::string wrapping_count = good;
    // 31 x 0x08421085 wraps to 31 x 2 - 1 modulo 2^32: only 64-bit arithmetic refuses it.
    put_u32(wrapping_count, t + 5 + 28 + 5, 0x08421085u);
    std::string old_version = good;
    old_version[11] = 'c';
    std::string new_version = good;
    new_version[11] = 'j';
    std::string not_d = good;
    not_d[10] = 'E';
    BadFile cases[] = {
        {"magic", "MsRcx" + good.substr(5), "Not a MapSource file"},
        {"not D", not_d, "Not a MapSource file"},
        {"version c", old_version, "Unsupported MapSource version"},
        {"version j", new_version, "Unsupported MapSource version"},
        {"huge length", huge_length, "File format error at 0000002dh"},
        {"count wraps", wrapping_count, "File format error at 0000002dh"},
        {"no end record", good.substr(0, good.size() - 7), "File format error at 00000095h"},
        {"bytes after end", good + "x", "File format error at 00000095h"},
        {"cut end record", good.substr(0, good.size() - 1), "File format error at 00000095h"},
        {"head only", kHead.substr(0, 20), "File format error at 0000000dh"},
        {"only magic", "MsRcd", "File format error at 00000005h"},
    };
    for (const BadFile& c : cases) {
        test::RecordingReporter r;
        std::vector<TrackPosition> out(3);
        EXPECT_EQ(read_mapsource_track(r, c.bytes, out), -1) << c.name;
        EXPECT_EQ(r.last_error().text, c.message) << c.name;
        EXPECT_EQ(r.last_error().title, "Decoding MapSource file") << c.name;
        EXPECT_EQ(out.size(), 3u) << c.name;
    }
}

TEST(MapSourceFile, CursorStaysInsideItsRecord) {
    const std::string data = std::string("ab\0", 3) + bytes({1, 2, 3, 4, 5});
    MapSourceCursor c(data, 100);
    std::string s;
    ASSERT_TRUE(c.text(s));
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(c.file_offset(), 103u);
    uint32_t v = 0;
    ASSERT_TRUE(c.u32(v));
    EXPECT_EQ(v, 0x04030201u);
    EXPECT_FALSE(c.u32(v));            // one byte left
    EXPECT_TRUE(c.failed());
    uint8_t b = 0;
    EXPECT_FALSE(c.u8(b));             // a failed cursor stays failed
    MapSourceCursor d(data, 0);
    EXPECT_FALSE(d.skip(9));
    MapSourceCursor e(std::string_view("abc"), 0);
    EXPECT_FALSE(e.skip_text());       // no NUL before the record's end
}

}  // namespace
}  // namespace orlogix
