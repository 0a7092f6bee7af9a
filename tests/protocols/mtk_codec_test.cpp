// The MTK codec against bytes written by hand from the documented layouts:
// the command sentences, the replies the job accepts or ignores, and log
// sectors with a setting marker, a no-fix record and a satellite block.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
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
        {Pending::LoggingStatus, "PMTK182,3,8,2*2C", false},          // another item
        {Pending::MemoryUsed, "PMTK182,3,8,0001FFFF*1F", true},
        {Pending::LoggingOff, "PMTK001,182,5,3*22", true},
        {Pending::LoggingOff, "PMTK001,182,4,3*23", false},           // the other command's
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
    // A chunk of more than 256 bytes is not taken either.
    std::vector<std::string_view> fields{"PMTK182", "8", "00000100", too_long.substr(19)};
    ReplyData d;
    EXPECT_FALSE(match_reply(Pending::Chunk, 0x100, fields, d));
    // What the taken replies carried.
    ASSERT_TRUE(match_reply(Pending::Chunk, 0x100, parse_line("PMTK182,8,00000100,0102*2F").fields, d));
    EXPECT_EQ(d.chunk, (std::vector<uint8_t>{1, 2}));
    ASSERT_TRUE(match_reply(Pending::MemoryUsed, 0, parse_line("PMTK182,3,8,100000000*2F").fields, d));
    EXPECT_EQ(d.used, 0x100000000ull);   // beyond 32 bits: refused later as too large, not wrapped
    ASSERT_TRUE(match_reply(Pending::Erase, 0, parse_line("PMTK001,182,6,2*20").fields, d));
    EXPECT_FALSE(d.acknowledged);
    EXPECT_TRUE(parse_line("PMTK001,182,6,3*21").ok);
    EXPECT_TRUE(parse_line("PMTK001,182,6,3*20").bad_checksum);
}

TEST(MtkCodec, LinesStartAfterTheFirstLineFeed) {
    LineReader r;
    std::vector<std::string> lines;
    for (const char c : std::string("$PMTK001,0,3*30\r\n$A\0$B\r\nnoise$C\n", 34))
        if (r.feed(c)) lines.emplace_back(r.line());
    EXPECT_EQ(lines, (std::vector<std::string>{"A", "B", "C"}));
}

// A sector written byte by byte: the header, then records and markers.
struct SectorBytes {
    std::vector<uint8_t> b = std::vector<uint8_t>(kSectorSize, 0xFF);
    std::size_t at = kHeaderSize;
    SectorBytes(uint16_t count, uint32_t format) {
        put(0, count, 2);
        put(2, format, 4);
        put(6, 0x0104, 2);
        put(8, 10, 4);
        put(12, 0, 4);
        put(16, 0, 4);
        b[506] = 0x2A;
        b[507] = 0x3F;
        put(508, 0xBBBBBBBB, 4);
    }
    void put(std::size_t where, uint64_t v, int n) {
        for (int i = 0; i < n; ++i) b[where + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
    // Appends the bytes, then "*" and their exclusive-or.
    void record(const std::vector<uint8_t>& fields) {
        uint8_t sum = 0;
        for (uint8_t f : fields) b[at++] = f, sum ^= f;
        b[at++] = '*';
        b[at++] = sum;
    }
};

std::vector<uint8_t> le(uint64_t v, int n) {
    std::vector<uint8_t> out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}
std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
std::vector<uint8_t> dbl(double v) { return le(std::bit_cast<uint64_t>(v), 8); }

TEST(MtkCodec, SectorWithMarkerNoFixRecordAndSatellites) {
    // Starts with time only; a format marker (type 2) adds VALID, position,
    // height and the satellite block with SNR.
    SectorBytes s(3, 0x01);
    s.record(le(700000000, 4));   // a record without a position: none stored
    const uint8_t marker[16] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x02,
                                0x1F, 0x20, 0x01, 0x00, 0xBB, 0xBB, 0xBB, 0xBB};   // 0x0001201F
    std::memcpy(&s.b[s.at], marker, 16);
    s.at += 16;
    // No fix (VALID bit 0): skipped, the decoding goes on.
    s.record(le(1560600000, 4) + le(0x0001, 2) + dbl(45.5) + dbl(6.25) + le(std::bit_cast<uint32_t>(1000.0f), 4) +
             le(0, 2) + le(0, 2));
    // A fix seen by two satellites: 2 entries of 4 + 2 (SNR) bytes.
    s.record(le(1560600001, 4) + le(0x0002, 2) + dbl(-45.5) + dbl(-6.25) + le(std::bit_cast<uint32_t>(-12.25f), 4) +
             std::vector<uint8_t>{7, 1, 2, 0, 40, 0, 9, 1, 2, 0, 38, 0});
    const DecodedLog log = decode_log(s.b);
    EXPECT_EQ(log.bad_headers + log.bad_records, 0);
    ASSERT_EQ(log.positions.size(), 1u);
    const TrackPosition& p = log.positions[0];
    EXPECT_EQ(p.time, 1560600001u - 631065600u);
    EXPECT_EQ(p.latitude, -542836144);    // -45.5 / 180 * 2^31
    EXPECT_EQ(p.longitude, -74565404);    // -6.25 / 180 * 2^31, rounded away from zero
    EXPECT_EQ(p.gps_altitude, -123);      // decimetres
    EXPECT_EQ(p.flags & kSegmentStart, kSegmentStart);
}

TEST(MtkCodec, SpoiledRecordLosesOnlyItsSector) {
    const uint32_t format = 0x0D;   // time, latitude, longitude
    std::vector<uint8_t> image;
    for (int sector = 0; sector < 3; ++sector) {
        SectorBytes s(kOpenSector, format);
        for (int i = 0; i < 3; ++i)
            s.record(le(700000000 + 10 * sector + i, 4) + dbl(10.0 + i) + dbl(20.0));
        if (sector == 1) s.b[kHeaderSize + 30 + 5] ^= 0x40;   // the second record's latitude
        image.insert(image.end(), s.b.begin(), s.b.end());
    }
    const DecodedLog log = decode_log(image);
    EXPECT_EQ(log.bad_records, 1);
    // Sector 0 whole, sector 1 up to the spoiled record, sector 2 whole.
    std::vector<uint32_t> times;
    for (const TrackPosition& p : log.positions) times.push_back(p.time + 631065600u - 700000000u);
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 1, 2, 10, 20, 21, 22}));
}

TEST(MtkCodec, ValuesThatAreNoPositionAndTheSectorEnd) {
    const uint32_t format = 0x1D;   // time, latitude, longitude, height
    SectorBytes s(kOpenSector, format);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto rec = [&](uint32_t t, double lat, double lon, float h) {
        s.record(le(t, 4) + dbl(lat) + dbl(lon) + le(std::bit_cast<uint32_t>(h), 4));
    };
    rec(631065599, 1, 1, 0);   // the day before 1989-12-31
    rec(700000000, nan, 1, 0);
    rec(700000001, 91, 1, 0);
    rec(700000002, 1, 1, 3e9f);   // no 32-bit decimetres
    rec(700000003, 1, 1, std::numeric_limits<float>::infinity());
    rec(700000004, 1, 1, 0);
    const std::size_t end = s.at;
    rec(700000005, 1, 1, 0);
    s.put(end, 0xFFFFFFFF, 4);   // the open sector ends at the first erased word
    DecodedLog log = decode_log(s.b);
    ASSERT_EQ(log.positions.size(), 1u);
    EXPECT_EQ(log.positions[0].time, 700000004u - 631065600u);

    // Records may fill a sector to its last byte: five markers of a type
    // without meaning and 2952 records of 22 bytes end exactly at 65536.
    SectorBytes full(kOpenSector, 0x0D);
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 7; ++j) full.b[full.at++] = 0xAA;
        full.b[full.at++] = 9;
        for (int j = 0; j < 4; ++j) full.b[full.at++] = 0;
        for (int j = 0; j < 4; ++j) full.b[full.at++] = 0xBB;
    }
    for (int i = 0; i < 2952; ++i) full.record(le(700000000 + i, 4) + dbl(1) + dbl(2));
    ASSERT_EQ(full.at, kSectorSize);
    log = decode_log(full.b);
    EXPECT_EQ(log.positions.size(), 2952u);
    EXPECT_EQ(log.bad_records, 0);
    // A header that fails its checks loses the sector.
    full.b[507] = 0;
    log = decode_log(full.b);
    EXPECT_EQ(log.bad_headers, 1);
    EXPECT_TRUE(log.positions.empty());
}

}  // namespace
}  // namespace orlogix::mtk
