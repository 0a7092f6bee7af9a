// "$FormatUTM" waypoint files: identifier, zone and band, easting and
// northing in whole metres, height and comment.
#include <new>

#include "core/coord_text.hpp"
#include "core/geodesy.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/waypoints/lines.hpp"

namespace orlogix {

namespace {

constexpr int kIdWidth = 9;

// The identifier is what comes before the zone: usually one token, but other
// programs fill its nine columns with names holding blanks, so the zone is
// also looked for after each later token within those columns.
bool find_zone(std::string_view line, std::string_view& name, std::size_t& pos, UtmPosition& u) {
    std::size_t at = 0;
    next_token(line, at);
    for (bool first = true; at < line.size() && (first || at <= static_cast<std::size_t>(kIdWidth));
         first = false) {
        std::size_t p = at;
        if (parse_utm_zone(next_token(line, p), u.zone, u.band) == 0) {
            name = trim_field(line.substr(0, at));
            pos = p;
            return true;
        }
        next_token(line, at);
    }
    return false;
}

bool parse_utm_line(std::string_view line, std::string_view& name, std::size_t& pos, Waypoint& w) {
    UtmPosition u;
    int32_t height = 0;
    if (!find_zone(line, name, pos, u)) return false;
    if (parse_metres(next_token(line, pos), u.easting) != 0 || u.easting < 0.0 || u.easting > 1000000.0)
        return false;
    if (parse_metres(next_token(line, pos), u.northing) != 0 || u.northing < 0.0 || u.northing > 20000000.0)
        return false;
    if (parse_field_integer(next_token(line, pos), height) != 0) return false;
    SemicirclePair s;
    if (radians_to_semicircles(utm_to_geo(u), s) != 0) return false;
    w.latitude = s.latitude;
    w.longitude = s.longitude;
    w.height = height < 0 ? 0 : height;
    return true;
}

}  // namespace

std::string utm_waypoint_text(const std::vector<Waypoint>& waypoints) {
    TextBuffer b(100 + waypoints.size() * 80);
    append_crlf(b, kUtmWaypointHeader);
    for (const Waypoint& w : waypoints) {
        UtmPosition u;
        geo_to_utm(semicircles_to_radians(w.latitude, w.longitude), u);
        const int pad = kIdWidth - static_cast<int>(w.identifier.size());
        b.appendf("%s%*s%02d%c   %07lld   %07lld  %5d  %s%s\r\n", w.identifier.c_str(), pad > 0 ? pad : 0, "",
                  u.zone, u.band, static_cast<long long>(round_half_away(u.easting)),
                  static_cast<long long>(round_half_away(u.northing)), w.height,
                  line_comment(w.comment).c_str(), w.airfield ? " [A]" : "");
    }
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

int read_utm_waypoints(Reporter& r, std::string_view text, bool interactive, uint32_t now, std::vector<Waypoint>& out) {
    return read_position_lines(r, text, interactive, now, parse_utm_line, out);
}

}  // namespace orlogix
