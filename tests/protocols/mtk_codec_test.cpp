// The MTK codec against bytes written by hand from the documented layouts:
// the command sentences, the replies the job accepts or ignores, and log
// sectors with a setting marker, a no-fix record and a satellite block.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "protocols/mtk/log_image.hpp"
#include "protocols/mtk/replies.hpp"

namespace orlogix::mtk {
namespace {

TEST(MtkCodec, CommandsAreTheDocumentedSentences) {
    EXPECT_EQ(chunk_command(0x100, 0x100), "$PMTK182,7,00000100,00000100*22\r\n");
    EXPECT_EQ(chunk_command(0x1FE00, 0x100), "$PMTK182,7,0001FE00,00000100*21\r\n");
    EXPECT_EQ(kProductCommand, "$PMTK605*31\r\n");
    EXPECT_EQ(kEraseCommand, "$PMTK182,6,1*3E\r\n");
}

TEST(MtkCodec, OnlyTheAwaitedWellFormedReplyIsTaken) {
    struct Case {
        Pending pending;
        const char* line;   // without "$"
        bool taken;
    };
    const std::string full(512, 'A');
    const std::string too_long = "PMTK182,8,00000100," + full + "00";
    const Case cases[] = {
        {Pending::Product, "PMTK705,AXN_0.3,0001*14", true},
        {Pending::Product, "PMTK705,AXN_0.3*39", false},              // the model is missing
        {Pending::Product, "PMTK705,AXN_0.3,0001*15", false},         // checksum
        {Pending::Product, "PMTK705,AXN_0.3,0001", false},            // no "*" and digits
        {Pending::Product, "PMTK705,AXN_0.3,0001*1B0", false},        // more after the digits
        {Pending::LoggingStatus, "PMTK182,3,7,2*23", true},
        {Pending::MemoryUsed, "PMTK182,3,8,0001FFFF*1F", true},
        {Pending::LoggingOff, "PMTK001,182,5,3*22", true},
        {Pending::Chunk, "PMTK182,8,00000100,0102*2F", true},
        {Pending::Chunk, "PMTK182,8,00000200,0102*2C", false},        // not the requested offset
        {Pending::Chunk, "PMTK182,8,00000100,010*1D", false},         // odd length
        {Pending::Chunk, "PMTK182,8,00000100,01G2*58", false},        // not hex
        {Pending::None, "PMTK001,182,5,3*22", false},                 // nothing awaited
    };
    for (const Case& c : cases) {
        const ParsedLine p = parse_line(c.line);
        ReplyData d;
        EXPECT_EQ(p.ok && match_reply(c.pending, 0x100, p.fields, d), c.taken) << c.line;
    }
    // A chunk of more than 256 bytes is not taken either; what the taken replies carried.
    ReplyData d;
    EXPECT_FALSE(match_reply(Pending::Chunk, 0x100, {"PMTK182", "8", "00000100", std::string_view(too_long).substr(19)}, d));
    ASSERT_TRUE(match_reply(Pending::Chunk, 0x100, parse_line("PMTK182,8,00000100,0102*2F").fields, d));
    EXPECT_EQ(d.chunk, (std::vector<uint8_t>{1, 2}));
    ASSERT_TRUE(match_reply(Pending::MemoryUsed, 0, parse_line("PMTK182,3,8,100000000*2F").fields, d));
    EXPECT_EQ(d.used, 0x100000000ull);   // beyond 32 bits: refused later as too large, not wrapped
    ASSERT_TRUE(match_reply(Pending::Erase, 0, parse_line("PMTK001,182,6,2*20").fields, d));
    EXPECT_FALSE(d.acknowledged);
    EXPECT_TRUE(parse_line("PMTK001,182,6,3*20").bad_checksum);
}

TEST(MtkCodec, LinesStartAfterTheFirstLineFeed) {
    LineReader r;
    std::vector<std::string> lines;
    const char text[] = "$PMTK001,0,3*30\r\n$A\0$B\r\nnoise$C\n";   // a NUL ends a line too
    for (const char c : std::string(text, sizeof text - 1))
        if (r.feed(c)) lines.emplace_back(r.line());
    EXPECT_EQ(lines, (std::vector<std::string>{"A", "B", "C"}));
}

using Bytes = std::vector<uint8_t>;
Bytes le(uint64_t v, int n) {
    Bytes out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes f64(double v) { return le(std::bit_cast<uint64_t>(v), 8); }
Bytes f32(float v) { return le(std::bit_cast<uint32_t>(v), 4); }

// A sector written byte by byte: the header, then records and markers.
struct SectorBytes {
    Bytes b = Bytes(kSectorSize, 0xFF);
    std::size_t at = kHeaderSize;
    SectorBytes(uint16_t count, uint32_t format) {
        put(0, le(count, 2) + le(format, 4) + le(0x0104, 2) + le(10, 4) + le(0, 8));
        put(506, Bytes{0x2A, 0x3F, 0xBB, 0xBB, 0xBB, 0xBB});
    }
    void put(std::size_t where, const Bytes& bytes) { std::copy(bytes.begin(), bytes.end(), b.begin() + where); }
    void marker(uint8_t type, uint32_t value) {
        put(at, Bytes(7, 0xAA) + Bytes{type} + le(value, 4) + Bytes(4, 0xBB));
        at += kMarkerSize;
    }
    // The fields, "*" and their exclusive-or.
    void record(const Bytes& fields) {
        uint8_t sum = 0;
        for (uint8_t f : fields) sum ^= f;
        put(at, fields + Bytes{'*', sum});
        at += fields.size() + 2;
    }
};

TEST(MtkCodec, SectorWithMarkerNoFixRecordAndSatellites) {
    // Time only at first; a format marker adds VALID, position, height and
    // the satellite block with SNR. Three records: markers are not counted.
    SectorBytes s(3, kUtc);
    s.record(le(700000000, 4));   // no position
    s.marker(kMarkerFormat, kUtc | kValid | kLatitude | kLongitude | kHeight | kSatellites | kSnr);
    // No fix (VALID bit 0), no satellites: skipped, the decoding goes on.
    s.record(le(1560600000, 4) + le(1, 2) + f64(45.5) + f64(6.25) + f32(1000) + le(0, 4));
    // Two satellites: entries of ID, in use, count in view, SNR.
    s.record(le(1560600001, 4) + le(2, 2) + f64(-45.5) + f64(-6.25) + f32(-12.25f) +
             Bytes{7, 1, 2, 0, 40, 0, 9, 1, 2, 0, 38, 0});
    s.record(le(1560600002, 4) + le(2, 2) + f64(1) + f64(1) + f32(0) + le(0, 4));   // beyond the count
    const DecodedLog log = decode_log(s.b);
    EXPECT_EQ(log.bad_headers + log.bad_records, 0);
    ASSERT_EQ(log.positions.size(), 1u);
    const TrackPosition& p = log.positions[0];
    EXPECT_EQ(p.time, 1560600001u - 631065600u);
    EXPECT_EQ(p.latitude, -542836144);    // -45.5 / 180 * 2^31
    EXPECT_EQ(p.longitude, -74565404);    // -6.25 / 180 * 2^31, rounded away from zero
    EXPECT_EQ(p.gps_altitude, -123);      // decimetres, away from zero
    EXPECT_EQ(p.flags & kSegmentStart, kSegmentStart);
}

TEST(MtkCodec, SpoiledRecordLosesOnlyItsSector) {
    Bytes image;
    for (uint32_t sector = 0; sector < 3; ++sector) {
        SectorBytes s(kOpenSector, kUtc | kLatitude | kLongitude);
        for (uint32_t i = 0; i < 3; ++i) s.record(le(700000000 + 10 * sector + i, 4) + f64(10.0 + i) + f64(20));
        if (sector == 1) s.b[kHeaderSize + 22 + 9] ^= 0x40;   // the second record's latitude
        image = image + s.b;
    }
    const DecodedLog log = decode_log(image);
    EXPECT_EQ(log.bad_records, 1);
    std::vector<uint32_t> times;
    for (const TrackPosition& p : log.positions) times.push_back(p.time + 631065600u - 700000000u);
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 1, 2, 10, 20, 21, 22}));
}

TEST(MtkCodec, ValuesThatAreNoPositionAndTheSectorEnd) {
    SectorBytes s(kOpenSector, kUtc | kLatitude | kLongitude | kHeight);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // The day before 1989-12-31, not a number, beyond 90 degrees, beyond
    // 32-bit decimetres, infinite; then the one good record.
    const struct { uint32_t t; double lat; float h; } recs[] = {
        {631065599, 1, 0}, {700000000, nan, 0}, {700000001, 91, 0}, {700000002, 1, 3e9f}, {700000003, 1, inf},
        {700000004, 1, 0}, {700000005, 1, 0}};
    for (const auto& r : recs) s.record(le(r.t, 4) + f64(r.lat) + f64(1) + f32(r.h));
    s.put(s.at - 26, le(0xFFFFFFFF, 4));   // the open sector ends at the first erased word
    DecodedLog log = decode_log(s.b);
    ASSERT_EQ(log.positions.size(), 1u);
    EXPECT_EQ(log.positions[0].time, 700000004u - 631065600u);

    // Records may fill a sector to its last byte: five markers of a type
    // without meaning and 2952 records of 22 bytes end exactly at 65536.
    SectorBytes full(kOpenSector, kUtc | kLatitude | kLongitude);
    for (int i = 0; i < 5; ++i) full.marker(9, 0);
    for (uint32_t i = 0; i < 2952; ++i) full.record(le(700000000 + i, 4) + f64(1) + f64(2));
    ASSERT_EQ(full.at, kSectorSize);
    log = decode_log(full.b);
    EXPECT_EQ(log.positions.size(), 2952u);
    EXPECT_EQ(log.bad_records, 0);
    full.b[507] = 0;   // a header that fails its checks loses the sector
    log = decode_log(full.b);
    EXPECT_EQ(log.bad_headers, 1);
    EXPECT_TRUE(log.positions.empty());
}

}  // namespace
}  // namespace orlogix::mtk
