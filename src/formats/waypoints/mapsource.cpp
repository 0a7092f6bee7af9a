#include "formats/waypoints/mapsource.hpp"

#include <cmath>

#include "core/names.hpp"
#include "formats/tracks/mapsource_container.hpp"

namespace orlogix {

namespace {

// Bytes between the text after the name and the latitude, per version.
std::size_t head_gap(char version) { return version == 'd' ? 17 : version == 'i' ? 22 : 18; }
std::size_t tail_gap(char version) { return version == 'd' ? 12 : 17; }

bool decode_waypoint(MapSourceCursor& c, char version, Waypoint& w) {
    std::string name, comment;
    uint8_t has_height = 0;
    w = Waypoint{};
    if (!c.text(name) || !c.skip(4) || !c.skip_text() || !c.skip(head_gap(version)) || !c.i32(w.latitude) ||
        !c.i32(w.longitude) || !c.u8(has_height))
        return false;
    if (has_height == 1) {
        double metres = 0.0;
        if (!c.f64(metres)) return false;
        const double whole = std::trunc(metres);
        if (!(whole > -2147483648.0 && whole < 2147483647.0)) return false;
        w.height = static_cast<int32_t>(whole);
    }
    if (!c.text(comment) || !c.skip(17) || !c.skip(4) || !c.skip_text() || !c.skip_text() || !c.skip_text() ||
        !c.skip(tail_gap(version)) || !c.at_end())
        return false;
    if (w.latitude < -(1 << 30) || w.latitude > (1 << 30)) return false;
    // Names and comments are cleaned like every other source, so that no
    // writer meets a separator or control character inside them.
    normalise_id(name, IdMode::Lenient, w.identifier);
    w.comment = normalise_comment(comment);
    return true;
}

}  // namespace

std::string mapsource_waypoint_bytes(const std::vector<Waypoint>& waypoints) {
    MapSourceWriter m;
    for (const Waypoint& w : waypoints) {
        m.begin_record('W');
        m.text(w.identifier);
        m.zeros(9);
        m.u32(0xFFFFFFFFu);
        m.u32(0xFFFFFFFFu);
        m.u32(0xFFFFFFFFu);
        m.u16(0);
        m.u32(0xFFFFFFFFu);
        m.i32(w.latitude);
        m.i32(w.longitude);
        m.u8(1);
        m.f64(static_cast<double>(w.height));
        m.text(w.comment);
        m.zeros(17);
        m.u32(18);
        m.zeros(20);
        m.end_record();
    }
    m.finish();
    return m.bytes();
}

int read_mapsource_waypoints(Reporter& r, std::string_view bytes, std::vector<Waypoint>& out) {
    std::vector<Waypoint> read;
    read.reserve(30);
    char version = 0;
    const int rc = walk_mapsource(r, bytes, version, [&read, &version](const MapSourceRecord& rec) {
        if (rec.type != 'W') return 0;
        MapSourceCursor c(rec.data, rec.data_offset);
        Waypoint w;
        if (!decode_waypoint(c, version, w)) return -1;
        read.push_back(std::move(w));
        return 0;
    });
    if (rc != 0) return -1;
    out = std::move(read);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
