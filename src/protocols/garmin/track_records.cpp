// Track points D300-D304 and track headers D310-D312.
#include "protocols/garmin/records.hpp"

#include <cmath>

#include "protocols/garmin/byte_order.hpp"

namespace orlogix::garmin {

using namespace wire;

namespace {

struct PointLayout {
    std::size_t min_size;
    bool altitude;
    int segment_at;   // -1: none
    bool depth;
};

bool point_layout(int type, PointLayout& l) {
    switch (type) {
    case 300: l = {13, false, 12, false}; return true;
    case 301: l = {21, true, 20, true}; return true;
    case 302: l = {25, true, 24, true}; return true;
    case 303: l = {17, true, -1, false}; return true;
    case 304: l = {23, true, -1, false}; return true;
    default: return false;
    }
}

}  // namespace

int decode_track_point(std::span<const uint8_t> d, int type, TrackPosition& out) {
    PointLayout l{};
    if (!point_layout(type, l) || d.size() < l.min_size) return -1;
    out = TrackPosition{};
    out.latitude = get_i32(d, 0);
    out.longitude = get_i32(d, 4);
    out.time = get_u32(d, 8);
    if (out.time == 0xFFFFFFFFu || out.time == 0x7FFFFFFFu) out.time = 0;
    if (l.altitude) {
        // Unknown (1.0e25), not a number, or beyond what decimetres can hold: 0.
        if (!metres_to_decimetres(get_float(d, 12), DecimetreRounding::AddHalfTruncated, out.gps_altitude))
            out.gps_altitude = 0;
    }
    if (l.segment_at >= 0 && d[static_cast<std::size_t>(l.segment_at)] != 0) out.flags |= kSegmentStart;
    if (l.depth) out.depth = get_u32(d, 16);
    return 0;
}

std::vector<uint8_t> encode_track_point(const TrackPosition& p, int type) {
    PointLayout l{};
    if (!point_layout(type, l)) return {};
    std::vector<uint8_t> d(l.min_size, 0);
    put_u32(d, 0, static_cast<uint32_t>(p.latitude));
    put_u32(d, 4, static_cast<uint32_t>(p.longitude));
    put_u32(d, 8, p.time);
    if (l.altitude)
        put_float(d, 12, p.gps_altitude == 0 ? kUnknownFloat : static_cast<float>(p.gps_altitude / 10.0));
    if (l.depth) put_u32(d, 16, p.depth);
    if (type == 302) put_float(d, 20, kUnknownFloat);   // temperature unknown
    if (type == 304) put_float(d, 16, kUnknownFloat);   // distance unknown
    if (type == 304) d[21] = 0xFF;                       // cadence unknown; heart rate 0 is unknown
    if (l.segment_at >= 0 && (p.flags & kSegmentStart)) d[static_cast<std::size_t>(l.segment_at)] = 1;
    return d;
}

std::vector<uint8_t> encode_track_header(int type, const std::string& name, uint16_t index) {
    std::vector<uint8_t> d;
    if (type == 311) {
        d.resize(2);
        put_u16(d, 0, index);
        return d;
    }
    d = {1, 0};   // displayed, default colour
    for (std::size_t i = 0; i < name.size() && i < 50; ++i) d.push_back(static_cast<uint8_t>(name[i]));
    d.push_back(0);
    return d;
}

int decode_track_header(std::span<const uint8_t> d, int type, std::string& name) {
    name.clear();
    if (type == 311) {
        if (d.size() < 2) return -1;
        name = std::to_string(get_u16(d, 0));
        return 0;
    }
    if (d.size() < 2) return -1;
    for (std::size_t i = 2; i < d.size() && d[i] != 0; ++i) name.push_back(static_cast<char>(d[i]));
    return 0;
}

}  // namespace orlogix::garmin
