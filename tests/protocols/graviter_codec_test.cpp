// The Graviter dump decoder against dumps packed by hand from the memory
// layout: the dump checks, the point records (absolute values, signed
// deltas, records without a fix, data ending inside a field), the flight
// chain with its limits, and a chain across the end of the ring.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/graviter/flight_chain.hpp"
#include "protocols/graviter/memory_dump.hpp"
#include "protocols/graviter/product_line.hpp"

namespace orlogix::graviter {
namespace {

using Bytes = std::vector<uint8_t>;

// Record 1: flag word 0x30F (absolute altitude, second to fourth value and
// time, GPS fix) with extension 0x4E (absolute fifth value, latitude,
// longitude; longitude negative); altitude 850, values 5, 6, 7, time 37800 s,
// fifth value 9, latitude 0.8f rad, longitude 0.1f rad negated.
const Bytes kAbsolute = {0x0F, 0x3B, 0x49, 0x0D, 0x14, 0x18, 0x1C, 0xA8, 0x93, 0x12,
                         0x9A, 0x99, 0x99, 0x7E, 0x9A, 0x99, 0x99, 0x7B, 0x00};
// Record 2: flag word 0x010 (no fix, altitude delta negative): altitude -3,
// second +2, third 0, fourth +1, time +5.
const Bytes kNoFix = {0x10, 0x4C, 0x50, 0x01};
// Record 3: flag word 0x200, extension 0x50 (fifth value and longitude
// negative): altitude +7, 0, 0, 0, time +4, fifth -1, latitude +100,
// longitude -27 (units of 1e-7 rad).
const Bytes kDeltas = {0x00, 0x42, 0x1D, 0x00, 0x43, 0xDE, 0x00};

Bytes header(int points, int type = 3) {
    // 15 July 2024, 10:30, limits 12:45.
    return {15, 7, 24, 10, 30, 12, 45, static_cast<uint8_t>(type), static_cast<uint8_t>(points >> 8),
            static_cast<uint8_t>(points)};
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// "y", the memory from address 1697, "*", the exclusive-or, CR LF.
Bytes dump_of(const Bytes& memory) {
    Bytes d{'y'};
    uint8_t sum = 0;
    for (const uint8_t b : memory) d.push_back(b), sum ^= b;
    d.insert(d.end(), {'*', sum, '\r', '\n'});
    return d;
}

// One flight at 1700 (pointer 0x0006A4) ending the chain.
Bytes one_flight(const Bytes& flight) { return dump_of(cat({{0x00, 0x06, 0xA4, 0xFF, 0xFF, 0xFF}, flight})); }

DecodedDump decode(const Bytes& dump) { return decode_dump(MemoryView(dump)); }

int32_t semicircles(double radians) {
    int32_t v = 0;
    EXPECT_EQ(radians_to_semicircle(radians, v), 0);
    return v;
}

TEST(GraviterRecords, AbsoluteValuesSignedDeltasAndRecordsWithoutAFix) {
    const DecodedDump d = decode(one_flight(cat({header(3), kAbsolute, kNoFix, kDeltas})));
    ASSERT_EQ(d.error, 0);
    ASSERT_EQ(d.flights.size(), 1u);
    EXPECT_EQ(d.flights[0].positions, 2u);
    ASSERT_EQ(d.positions.size(), 2u);
    const uint32_t day = time_from_calendar(2024, 7, 15, 0, 0, 0);
    const TrackPosition &a = d.positions[0], &b = d.positions[1];
    EXPECT_EQ(a.time, day + 37800);
    EXPECT_EQ(a.gps_altitude, 8500);
    EXPECT_EQ(a.baro_altitude, 0);
    EXPECT_EQ(a.flags, kSegmentStart);
    EXPECT_EQ(a.latitude, semicircles(0.8f));
    EXPECT_EQ(a.longitude, semicircles(-0.1f));
    // The record without a fix moved altitude and time on.
    EXPECT_EQ(b.time, day + 37809);
    EXPECT_EQ(b.gps_altitude, 8540);
    EXPECT_EQ(b.flags, 0u);
    EXPECT_EQ(b.latitude, semicircles(static_cast<double>(0.8f) + 100e-7));
    EXPECT_EQ(b.longitude, semicircles(-static_cast<double>(0.1f) - 27e-7));

}

TEST(GraviterRecords, DataEndingInsideAFieldNamesTheField) {
    struct Case { std::size_t keep; int error; };
    // Bytes of the last record kept before the "*": its flag word spans
    // bytes 0-1, the extension 1-2, the absolute altitude 2-4, and so on.
    const Case cases[] = {{0, 20}, {1, 20}, {2, 21}, {3, 22}, {4, 22}, {5, 24}, {6, 26}, {7, 30}, {9, 30},
                          {10, 32}, {12, 34}, {15, 36}, {18, 36}};
    for (const Case& c : cases) {
        const Bytes cut(kAbsolute.begin(), kAbsolute.begin() + static_cast<long>(c.keep));
        EXPECT_EQ(decode(one_flight(cat({header(2), kAbsolute, cut}))).error, c.error) << c.keep;
    }
    // The delta forms: record 3 cut.
    const Case deltas[] = {{2, 21}, {3, 25}, {4, 31}, {5, 35}, {6, 37}};
    for (const Case& c : deltas) {
        const Bytes cut(kDeltas.begin(), kDeltas.begin() + static_cast<long>(c.keep));
        EXPECT_EQ(decode(one_flight(cat({header(2), kAbsolute, cut}))).error, c.error) << c.keep;
    }
}

TEST(GraviterDump, ChecksAndChainErrors) {
    const Bytes good = one_flight(cat({header(1), kAbsolute}));
    struct Case { const char* what; Bytes dump; int error; };
    Bytes echo = good, star = good, sum = good, lf = good;
    echo[0] = 'Y';
    star[star.size() - 4] = '+';
    sum[5] ^= 0x01;
    lf.back() = '\r';
    auto flight_header = [](Bytes h) { return decode(one_flight(cat({h, kAbsolute}))); };
    const Case cases[] = {
        {"20 bytes", cat({Bytes(good.begin(), good.begin() + 16), {'*', 0, '\r', '\n'}}), 1},
        {"echo", echo, 2}, {"star", star, 2}, {"line end", lf, 2}, {"checksum", sum, 3},
        {"first pointer below the ring", dump_of(cat({{0x00, 0x06, 0xA3}, header(0), Bytes(12, 0)})), 4},
        {"first pointer beyond the ring", dump_of(cat({{0x02, 0x00, 0x00}, Bytes(20, 0)})), 4},
        {"next pointer", dump_of(cat({{0x00, 0x06, 0xA4, 0x02, 0x00, 0x00}, header(0), Bytes(8, 0)})), 10},
        {"a chain that loops", dump_of(cat({{0x00, 0x06, 0xA4, 0x00, 0x06, 0xA4}, header(0), Bytes(8, 0)})), 10},
    };
    for (const Case& c : cases) EXPECT_EQ(decode(c.dump).error, c.error) << c.what;
    // Each header byte out of its range: day, month, start hour and minute,
    // the two limits, the type.
    const std::pair<std::size_t, uint8_t> out_of_range[] = {{0, 0}, {1, 13}, {3, 24}, {4, 60}, {5, 24}, {6, 60}, {7, 4}};
    for (std::size_t i = 0; i < std::size(out_of_range); ++i) {
        Bytes h = header(1);
        h[out_of_range[i].first] = out_of_range[i].second;
        EXPECT_EQ(flight_header(h).error, static_cast<int>(12 + i)) << i;
    }
    // A flight at 1710 whose header runs into the "*": the bytes after it are never read.
    EXPECT_EQ(decode(dump_of(cat({{0x00, 0x06, 0xAE}, Bytes(10, 0), {0xFF, 0xFF, 0xFF, 15, 7, 24, 10, 30, 12, 45}}))).error,
              11);
    // No flight stored; a flight of type 2 adds nothing.
    const DecodedDump none = decode(dump_of(cat({{0xFF, 0xFF, 0xFF}, Bytes(20, 0)})));
    EXPECT_EQ(none.error, 0);
    EXPECT_TRUE(none.flights.empty());
    const DecodedDump type2 = decode(one_flight(cat({header(1, 2), kAbsolute})));
    EXPECT_EQ(type2.error, 0);
    ASSERT_EQ(type2.flights.size(), 1u);
    EXPECT_TRUE(type2.positions.empty());
}

TEST(GraviterDump, AChainAcrossTheRingEndAndAFixOffTheGlobe) {
    // Memory up to the last ring address; the first flight at 5000, the
    // second 5 bytes before the end, so its header continues at 1700.
    Bytes memory(kRingLast - kFirstPointerAddress + 1, 0xFF);
    auto put = [&](uint32_t address, const Bytes& bytes) {
        for (const uint8_t b : bytes) memory[address - kFirstPointerAddress] = b, address = next_address(address);
    };
    const uint32_t second = kRingLast - 4;
    put(kFirstPointerAddress, {0x00, 0x13, 0x88});
    put(5000, cat({{static_cast<uint8_t>(second >> 16), static_cast<uint8_t>(second >> 8),
                          static_cast<uint8_t>(second)},
                         header(1), kAbsolute}));
    // Its first fix has the latitude 0x7FC00000 (not a number): dropped. The
    // next is the first flight's fix again, segment flag and all: dropped as
    // a repeat. The third starts the flight's segment.
    const Bytes nan_fix = {0x0F, 0x3B, 0x49, 0x0D, 0x14, 0x18, 0x1C, 0xA8, 0x93, 0x12,
                           0x00, 0x00, 0x80, 0xFF, 0x9A, 0x99, 0x99, 0x7B, 0x00};
    put(second, cat({{0xFF, 0xFF, 0xFF}, header(3), nan_fix, kAbsolute, kDeltas}));
    const DecodedDump d = decode(dump_of(memory));
    ASSERT_EQ(d.error, 0);
    ASSERT_EQ(d.flights.size(), 2u);
    EXPECT_EQ(d.flights[1].positions, 1u);
    ASSERT_EQ(d.positions.size(), 2u);
    EXPECT_EQ(d.positions[1].flags, kSegmentStart);   // each flight starts a segment
    EXPECT_EQ(d.positions[1].time, time_from_calendar(2024, 7, 15, 0, 0, 0) + 37804);
    EXPECT_EQ(d.positions[1].gps_altitude, 8570);
    // Past the end the dump continues at 1700: a ring address read after
    // 0x1FFFF is 1700, and 0x1FFFF itself is a valid pointer.
    EXPECT_EQ(next_address(kRingLast), kRingFirst);
    EXPECT_TRUE(valid_pointer(kRingLast));
    EXPECT_FALSE(valid_pointer(kRingLast + 1));
}

TEST(GraviterProduct, TheFixedLayoutOfTheProductLine) {
    const std::string line = "DIGIFLY GRAVITER     V2.1 00417 PILOT   \r\n";
    ProductLineParser p;
    int done = 0;
    for (const char c : "xx\r\n" + line) done += p.feed(static_cast<uint8_t>(c)) ? 1 : 0;
    EXPECT_EQ(done, 1);
    EXPECT_EQ(p.line(), line.substr(0, 40));
    EXPECT_EQ(p.version(), "V2.1");
    std::string shifted = line;
    shifted.insert(20, "X");
    ProductLineParser q;
    for (const char c : shifted) EXPECT_FALSE(q.feed(static_cast<uint8_t>(c)));
    EXPECT_EQ(owner_name_bytes("ANNA"), "ANNA    ");
    EXPECT_EQ(owner_name_bytes("MARIA LUISA"), "MARIA LU");
    EXPECT_EQ(memory_write(208, 65), "W000208065");
}

}  // namespace
}  // namespace orlogix::graviter
