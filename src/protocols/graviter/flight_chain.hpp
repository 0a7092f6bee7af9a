#pragma once
// The flights of a Graviter dump: the chain of flight records from the
// first-flight pointer, each a next pointer, a 10-byte header and its
// bit-packed point records, decoded into one list of track positions.
#include <cstdint>
#include <vector>

#include "core/records.hpp"
#include "protocols/graviter/memory_dump.hpp"

namespace orlogix::graviter {

struct FlightHeader {
    int day = 0, month = 0, year = 0;   // year in full
    int hour = 0, minute = 0;           // start
    int limit_hour = 0, limit_minute = 0;
    int type = 0;                       // 2 no track data, 3 track data
    int points = 0;
};

inline constexpr int kTypeNoTrack = 2;
inline constexpr int kTypeTrack = 3;

// The running values of one flight's point records (they start at 0).
struct PointState {
    int32_t altitude = 0, second = 0, third = 0, fourth = 0, fifth = 0;
    uint32_t time_of_day = 0;
    double latitude = 0, longitude = 0;   // radians
};

// One point record at the reader: 0 and the new values (fix: the record
// carries a GPS fix), or the format error of the field the data ended in
// (20 flag word, 21 its extension, then absolute and delta of each field
// in order: 22/23 altitude ... 36/37 longitude).
int decode_point(BitReader& reader, PointState& state, bool& fix);

struct Flight {
    FlightHeader header;
    std::size_t positions = 0;   // how many of the dump's positions are this flight's
};

struct DecodedDump {
    int error = 0;               // 0, or the format error code
    std::vector<Flight> flights;
    std::vector<TrackPosition> positions;
};

// Checks the dump and decodes its flights in chain order. Decoding stops at
// the first error; what was decoded before stays in the result.
DecodedDump decode_dump(const MemoryView& memory);

}  // namespace orlogix::graviter
