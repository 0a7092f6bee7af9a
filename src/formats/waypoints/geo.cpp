// "$FormatGEO" waypoint files: identifier, hemisphere-first degrees, minutes
// and seconds, height in metres and the comment, blank-separated.
#include <new>

#include "core/coord_text.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/waypoints/lines.hpp"

namespace orlogix {

namespace {

struct Dms {
    unsigned degrees, minutes, seconds, hundredths;
};

Dms dms(int32_t centi_arcsec) {
    const uint32_t c = magnitude(centi_arcsec);
    return Dms{c / 360000, c / 6000 % 60, c / 100 % 60, c % 100};
}

bool blank(char c) { return c == ' ' || c == '\t'; }

// One hemisphere-first coordinate at pos, which must be followed by a blank.
bool coordinate(std::string_view line, std::size_t& pos, Axis axis, double& degrees) {
    while (pos < line.size() && blank(line[pos])) ++pos;
    std::size_t end = 0;
    if (parse_hemisphere_coord(line.substr(pos), axis, degrees, end) != 0) return false;
    pos += end;
    return pos < line.size() && blank(line[pos]);
}

// The identifier is what comes before the position. Usually one token, but
// files of other programs fill its ten columns with names holding blanks, so
// the position is also looked for after each later token within those columns.
bool find_position(std::string_view line, std::string_view& name, std::size_t& pos, double& lat, double& lon) {
    constexpr std::size_t kNameColumns = 10;
    std::size_t at = 0;
    next_token(line, at);
    for (bool first = true; at < line.size() && (first || at <= kNameColumns); first = false) {
        std::size_t p = at;
        if (coordinate(line, p, Axis::Latitude, lat) && coordinate(line, p, Axis::Longitude, lon)) {
            name = trim_field(line.substr(0, at));
            pos = p;
            return true;
        }
        next_token(line, at);
    }
    return false;
}

bool parse_geo_line(std::string_view line, std::string_view& name, std::size_t& pos, Waypoint& w) {
    double lat = 0.0, lon = 0.0, height = 0.0;
    if (!find_position(line, name, pos, lat, lon)) return false;
    SemicirclePair s;
    if (degrees_to_semicircles(lat, lon, s) != 0) return false;
    w.latitude = s.latitude;
    w.longitude = s.longitude;
    if (parse_field_number(next_token(line, pos), height) != 0) return false;
    return metres_to_height(height < 0.0 ? 0.0 : height, w.height) == 0;
}

}  // namespace

std::string geo_waypoint_text(const std::vector<Waypoint>& waypoints) {
    TextBuffer b(100 + waypoints.size() * 96);
    append_crlf(b, kGeoWaypointHeader);
    for (const Waypoint& w : waypoints) {
        const SemicirclePair c = semicircles_to_centi_arcsec(w.latitude, w.longitude);
        const Dms lat = dms(c.latitude), lon = dms(c.longitude);
        b.appendf("%-10s%c %02u %02u %02u.%02u    %c %03u %02u %02u.%02u %5d  %s%s\r\n", w.identifier.c_str(),
                  c.latitude < 0 ? 'S' : 'N', lat.degrees, lat.minutes, lat.seconds, lat.hundredths,
                  c.longitude < 0 ? 'W' : 'E', lon.degrees, lon.minutes, lon.seconds, lon.hundredths, w.height,
                  line_comment(w.comment).c_str(), w.airfield ? " [A]" : "");
    }
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

int read_geo_waypoints(Reporter& r, std::string_view text, bool interactive, uint32_t now, std::vector<Waypoint>& out) {
    return read_position_lines(r, text, interactive, now, parse_geo_line, out);
}

}  // namespace orlogix
