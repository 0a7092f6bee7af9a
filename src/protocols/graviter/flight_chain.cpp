#include "protocols/graviter/flight_chain.hpp"

#include <bit>
#include <cmath>
#include <set>

#include "core/ellipsoid.hpp"
#include "core/time.hpp"
#include "core/units.hpp"

namespace orlogix::graviter {

namespace {

struct Field {
    uint32_t absolute;   // flag bit of the absolute form
    int absolute_bits;
    int delta_bits;
    uint32_t negative;   // sign flag bit
};

// Absolute form or a delta on the running value; the sign flag negates either.
bool integer_field(BitReader& r, uint32_t flags, const Field& f, int32_t& running, int& error, int code) {
    uint32_t v = 0;
    const bool absolute = (flags & f.absolute) != 0;
    if (!r.read(absolute ? f.absolute_bits : f.delta_bits, v)) {
        error = absolute ? code : code + 1;
        return false;
    }
    const int32_t signed_v = (flags & f.negative) ? -static_cast<int32_t>(v) : static_cast<int32_t>(v);
    running = absolute ? signed_v : running + signed_v;
    return true;
}

bool angle_field(BitReader& r, uint32_t flags, uint32_t absolute, uint32_t negative, double& running, int& error,
                 int code) {
    uint32_t v = 0;
    if (flags & absolute) {
        if (!r.read(32, v)) return error = code, false;
        const double a = std::bit_cast<float>(v);
        running = (flags & negative) ? -a : a;
    } else {
        if (!r.read(7, v)) return error = code + 1, false;
        running += ((flags & negative) ? -1.0 : 1.0) * v * 1e-7;
    }
    return true;
}

bool read_byte(BitReader& r, int& out) {
    uint32_t v = 0;
    if (!r.read(8, v)) return false;
    out = static_cast<int>(v);
    return true;
}

bool read_pointer(BitReader& r, uint32_t& out) {
    int a = 0, b = 0, c = 0;
    if (!read_byte(r, a) || !read_byte(r, b) || !read_byte(r, c)) return false;
    out = static_cast<uint32_t>(a << 16 | b << 8 | c);
    return true;
}

// 0 or errors 11 to 18.
int read_header(BitReader& r, FlightHeader& h) {
    int b[10];
    for (int& v : b)
        if (!read_byte(r, v)) return 11;
    h = {b[0], b[1], 2000 + b[2], b[3], b[4], b[5], b[6], b[7], b[8] << 8 | b[9]};
    if (h.day < 1 || h.day > 31) return 12;
    if (h.month < 1 || h.month > 12) return 13;
    if (h.hour > 23) return 14;
    if (h.minute > 59) return 15;
    if (h.limit_hour > 23) return 16;
    if (h.limit_minute > 59) return 17;
    if (h.type != kTypeNoTrack && h.type != kTypeTrack) return 18;
    return 0;
}

bool same_place(const TrackPosition& a, const TrackPosition& b) {
    return a.time == b.time && (a.flags & kSegmentStart) == (b.flags & kSegmentStart) && a.latitude == b.latitude &&
           a.longitude == b.longitude;
}

// The flight's point records into positions; 0 or the error.
int decode_points(BitReader& r, const FlightHeader& h, std::vector<TrackPosition>& out, std::size_t& added) {
    const uint32_t day_base = time_from_calendar(h.year, h.month, h.day, 0, 0, 0);
    PointState state;
    for (int i = 0; i < h.points; ++i) {
        bool fix = false;
        if (const int e = decode_point(r, state, fix)) return e;
        if (!fix) continue;
        // A fix that is not a number or lies off the globe is dropped.
        TrackPosition p;
        if (!(std::fabs(state.latitude) <= wgs84::kPi / 2) || radians_to_semicircle(state.latitude, p.latitude) < 0 ||
            radians_to_semicircle(state.longitude, p.longitude) < 0)
            continue;
        p.time = day_base + state.time_of_day;
        p.gps_altitude = state.altitude * 10;
        p.flags = added == 0 ? kSegmentStart : 0;
        if (!out.empty() && same_place(out.back(), p)) continue;
        out.push_back(p);
        ++added;
    }
    return 0;
}

}  // namespace

int decode_point(BitReader& r, PointState& s, bool& fix) {
    r.align();
    uint32_t flags = 0, more = 0;
    if (!r.read(10, flags)) return 20;
    fix = (flags & 0x200) != 0;
    if (fix) {
        if (!r.read(8, more)) return 21;
        flags |= more << 10;
    }
    int error = 0;
    if (!integer_field(r, flags, {0x0001, 16, 3, 0x0010}, s.altitude, error, 22) ||
        !integer_field(r, flags, {0x0002, 8, 4, 0x0020}, s.second, error, 24) ||
        !integer_field(r, flags, {0x0004, 8, 3, 0x0040}, s.third, error, 26) ||
        !integer_field(r, flags, {0x0008, 6, 2, 0x0080}, s.fourth, error, 28))
        return error;
    uint32_t t = 0;
    const bool absolute_time = (flags & 0x0100) != 0;
    if (!r.read(absolute_time ? 17 : 3, t)) return absolute_time ? 30 : 31;
    s.time_of_day = absolute_time ? t : s.time_of_day + t;
    if (!fix) return 0;
    if (!integer_field(r, flags, {0x0800, 8, 3, 0x4000}, s.fifth, error, 32) ||
        !angle_field(r, flags, 0x1000, 0x8000, s.latitude, error, 34) ||
        !angle_field(r, flags, 0x2000, 0x10000, s.longitude, error, 36))
        return error;
    return 0;
}

DecodedDump decode_dump(const MemoryView& memory) {
    DecodedDump d;
    if ((d.error = memory.error()) != 0) return d;
    BitReader first(memory, kFirstPointerAddress);
    uint32_t flight = 0;
    if (!read_pointer(first, flight)) return d.error = 4, d;
    if (flight == kNoPointer) return d;
    if (!valid_pointer(flight)) return d.error = 4, d;
    // A flight met a second time would make the chain go round for ever.
    std::set<uint32_t> seen;
    while (flight != kNoPointer) {
        if (!seen.insert(flight).second) return d.error = 10, d;
        BitReader r(memory, flight);
        uint32_t next = 0;
        if (!read_pointer(r, next) || (next != kNoPointer && !valid_pointer(next))) return d.error = 10, d;
        Flight f;
        if ((d.error = read_header(r, f.header)) != 0) return d;
        if (f.header.type == kTypeTrack) {
            d.error = decode_points(r, f.header, d.positions, f.positions);
            d.flights.push_back(f);
            if (d.error) return d;
        } else {
            d.flights.push_back(f);
        }
        flight = next;
    }
    return d;
}

}  // namespace orlogix::graviter
