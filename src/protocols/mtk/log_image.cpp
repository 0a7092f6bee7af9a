#include "protocols/mtk/log_image.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "core/units.hpp"

namespace orlogix::mtk {

namespace {

uint32_t le(std::span<const uint8_t> s, std::size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | s[at + static_cast<std::size_t>(i)];
    return v;
}

double le_double(std::span<const uint8_t> s, std::size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | s[at + static_cast<std::size_t>(i)];
    return std::bit_cast<double>(v);
}

bool header_ok(std::span<const uint8_t> s, SectorSettings& out) {
    if (le(s, 10, 2) != 0 || le(s, 14, 2) != 0 || le(s, 18, 2) != 0) return false;
    if (s[506] != 0x2A || s[507] != 0x3F || le(s, 508, 4) != 0xBBBBBBBB) return false;
    out.format = le(s, 2, 4);
    out.mode = static_cast<uint16_t>(le(s, 6, 2));
    out.period = static_cast<uint16_t>(le(s, 8, 2));
    out.distance = static_cast<uint16_t>(le(s, 12, 2));
    out.speed = static_cast<uint16_t>(le(s, 16, 2));
    return true;
}

void apply_marker(std::span<const uint8_t> s, std::size_t at, SectorSettings& settings) {
    const uint32_t value = le(s, at + 8, 4);
    switch (s[at + 7]) {
    case kMarkerFormat: settings.format = value; break;
    case kMarkerPeriod: settings.period = static_cast<uint16_t>(value); break;
    case kMarkerDistance: settings.distance = static_cast<uint16_t>(value); break;
    case kMarkerSpeed: settings.speed = static_cast<uint16_t>(value); break;
    default: break;
    }
}

struct Record {
    bool has_time = false, has_valid = false, has_lat = false, has_lon = false, has_height = false;
    uint32_t utc = 0;
    uint16_t valid = 0;
    double latitude = 0, longitude = 0;
    float height = 0;
};

// Widths of the fixed fields in bit order, 0 for the satellite block.
constexpr int kWidths[20] = {4, 2, 8, 8, 4, 4, 4, 2, 4, 2, 2, 2, 2, 0, 0, 0, 0, 2, 2, 8};

// Reads one record at `at`; the end offset, or 0 when it overruns the
// sector, lacks its "*" or fails its checksum.
std::size_t read_record(std::span<const uint8_t> s, std::size_t at, uint32_t format, Record& r) {
    const std::size_t start = at;
    auto fits = [&](std::size_t n) { return at + n <= s.size(); };   // a field may end at the sector's end
    for (int bit = 0; bit < 20; ++bit) {
        const uint32_t mask = 1u << bit;
        if (!(format & mask)) continue;
        if (mask == kSatellites) {
            if (!fits(4)) return 0;
            const std::size_t count = le(s, at + 2, 2);
            std::size_t entry = 4;
            for (uint32_t extra : {kElevation, kAzimuth, kSnr})
                if (format & extra) entry += 2;
            const std::size_t size = count == 0 ? 4 : count * entry;
            if (!fits(size)) return 0;
            at += size;
            continue;
        }
        if (mask == kElevation || mask == kAzimuth || mask == kSnr) continue;   // inside the satellite block
        const std::size_t w = static_cast<std::size_t>(kWidths[bit]);
        if (!fits(w)) return 0;
        switch (mask) {
        case kUtc: r.has_time = true; r.utc = le(s, at, 4); break;
        case kValid: r.has_valid = true; r.valid = static_cast<uint16_t>(le(s, at, 2)); break;
        case kLatitude: r.has_lat = true; r.latitude = le_double(s, at); break;
        case kLongitude: r.has_lon = true; r.longitude = le_double(s, at); break;
        case kHeight: r.has_height = true; r.height = std::bit_cast<float>(le(s, at, 4)); break;
        default: break;
        }
        at += w;
    }
    if (!fits(2) || s[at] != '*') return 0;
    uint8_t sum = 0;
    for (std::size_t i = start; i < at; ++i) sum ^= s[i];
    if (s[at + 1] != sum) return 0;
    return at + 2;
}

// The position a record gives, if any.
bool position_of(const Record& r, TrackPosition& p) {
    if (r.has_valid && (r.valid & 1)) return false;
    if (!r.has_time || !r.has_lat || !r.has_lon) return false;
    const int64_t t = static_cast<int64_t>(r.utc) - kEpochOffset;
    if (t < 0) return false;
    SemicirclePair sc;
    if (!std::isfinite(r.latitude) || !std::isfinite(r.longitude) ||
        degrees_to_semicircles(r.latitude, r.longitude, sc) < 0)
        return false;
    int32_t height = 0;
    if (r.has_height && !metres_to_decimetres(r.height, DecimetreRounding::HalfAwayFromZero, height)) return false;
    p = TrackPosition{};
    p.time = static_cast<uint32_t>(t);
    p.latitude = sc.latitude;
    p.longitude = sc.longitude;
    p.gps_altitude = height;
    return true;
}

void decode_sector(std::span<const uint8_t> s, DecodedLog& out) {
    SectorSettings settings;
    const uint32_t count = le(s, 0, 2);
    if (count == 0) return;
    if (!header_ok(s, settings)) {
        ++out.bad_headers;
        return;
    }
    uint32_t records = 0;
    std::size_t at = kHeaderSize;
    while (at < s.size()) {
        if (count != kOpenSector && records >= count) return;
        if (count == kOpenSector && at + 4 <= s.size() && le(s, at, 4) == 0xFFFFFFFF) return;
        if (is_marker(s, at)) {
            apply_marker(s, at, settings);
            at += kMarkerSize;
            continue;
        }
        Record r;
        const std::size_t next = read_record(s, at, settings.format, r);
        if (next == 0) {
            ++out.bad_records;
            return;
        }
        at = next;
        ++records;
        TrackPosition p;
        if (!position_of(r, p)) continue;
        if (out.positions.empty()) p.flags |= kSegmentStart;
        out.positions.push_back(p);
    }
}

}  // namespace

bool is_marker(std::span<const uint8_t> s, std::size_t at) {
    if (at + kMarkerSize > s.size()) return false;
    for (std::size_t i = 0; i < 7; ++i)
        if (s[at + i] != 0xAA) return false;
    for (std::size_t i = 12; i < 16; ++i)
        if (s[at + i] != 0xBB) return false;
    return true;
}

DecodedLog decode_log(std::span<const uint8_t> image) {
    DecodedLog out;
    for (std::size_t base = 0; base + kHeaderSize <= image.size(); base += kSectorSize) {
        const std::size_t size = std::min(kSectorSize, image.size() - base);
        decode_sector(image.subspan(base, size), out);
    }
    return out;
}

}  // namespace orlogix::mtk
