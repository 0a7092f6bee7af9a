#include "formats/tracks/mapsource.hpp"

#include <cstring>

#include "core/time.hpp"
#include "formats/tracks/mapsource_container.hpp"

namespace orlogix {

namespace {

constexpr std::string_view kTrackName = "Orlogix track log source   ";
constexpr uint64_t kPointSize = 31;

bool decode_point(MapSourceCursor& c, TrackPosition& p) {
    uint8_t has_altitude = 0, has_time = 0;
    double metres = 0;
    uint32_t unix_time = 0;
    p = TrackPosition{};
    if (!c.i32(p.latitude) || !c.i32(p.longitude) || !c.u8(has_altitude) || !c.f64(metres) || !c.u8(has_time) ||
        !c.u32(unix_time) || !c.skip(9))
        return false;
    if (has_altitude == 1) {
        if (!metres_to_decimetres(metres, DecimetreRounding::HalfUp, p.gps_altitude)) return false;
    }
    // Times before our epoch cannot be stored; they count as no time.
    if (has_time == 1 && unix_time >= kUnixToEpochSeconds)
        p.time = static_cast<uint32_t>(unix_time - kUnixToEpochSeconds);
    return true;
}

}  // namespace

std::string mapsource_track_bytes(const std::vector<TrackPosition>& positions) {
    MapSourceWriter w;
    w.begin_record('T');
    w.text(kTrackName);
    w.u8(1);
    w.zeros(4);
    w.u32(static_cast<uint32_t>(positions.size()));
    for (const TrackPosition& p : positions) {
        w.i32(p.latitude);
        w.i32(p.longitude);
        w.u8(1);
        w.f64(p.gps_altitude * 0.1);
        w.u8(1);
        w.u32(static_cast<uint32_t>(p.time + static_cast<uint64_t>(kUnixToEpochSeconds)));
        w.zeros(9);
    }
    w.end_record();
    w.finish();
    return w.bytes();
}

int read_mapsource_track(Reporter& r, std::string_view bytes, std::vector<TrackPosition>& out) {
    std::vector<TrackPosition> positions;
    char version = 0;
    const int rc = walk_mapsource(r, bytes, version, [&positions](const MapSourceRecord& rec) {
        if (rec.type != 'T') return 0;
        MapSourceCursor c(rec.data, rec.data_offset);
        std::string name;
        uint32_t count = 0;
        if (!c.text(name) || !c.skip(5) || !c.u32(count)) return -1;
        // 64-bit: a count near 2^32 cannot wrap into a matching length.
        if (kPointSize * count + name.size() + 10 != rec.data.size()) return -1;
        for (uint32_t i = 0; i < count; ++i) {
            TrackPosition p;
            if (!decode_point(c, p)) return -1;
            if (i == 0) p.flags = kSegmentStart;
            positions.push_back(p);
        }
        return 0;
    });
    if (rc != 0) return -1;
    out = std::move(positions);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
