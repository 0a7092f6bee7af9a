// SeeYou .cup waypoint files: a header line, then quoted-name CSV lines up to
// the task section.
#include <new>

#include "core/coord_text.hpp"
#include "core/names.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/waypoints/lines.hpp"
#include "formats/xml/tokenizer.hpp"

namespace orlogix {

namespace {

constexpr double kMetresPerFoot = 0.3048;
constexpr std::size_t kSeeYouFields = 8;

struct Dmm {
    unsigned degrees, minutes, thousandths;
};

Dmm dmm(int32_t milliminutes) {
    const uint32_t v = magnitude(milliminutes);
    return Dmm{v / 60000, v / 1000 % 60, v % 1000};
}

bool quoted(std::string_view f) { return f.size() >= 2 && f.front() == '"' && f.back() == '"'; }

std::string_view unquote(std::string_view f) {
    f = trim_field(f);
    if (!f.empty() && f.front() == '"') f.remove_prefix(1);
    if (!f.empty() && f.back() == '"') f.remove_suffix(1);
    return f;
}

bool ends_with_nocase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = s[s.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// Elevation with its unit; empty or a single character means 0.
bool elevation(std::string_view f, int32_t& height) {
    f = trim_field(f);
    if (f.size() <= 1) {
        height = 0;
        return true;
    }
    double value = 0.0, factor = 1.0;
    if (ends_with_nocase(f, "ft")) {
        f.remove_suffix(2);
        factor = kMetresPerFoot;
    } else if (ends_with_nocase(f, "m")) {
        f.remove_suffix(1);
    } else {
        return false;
    }
    return parse_field_number(f, value) == 0 && metres_to_height(value * factor, height) == 0;
}

}  // namespace

std::string seeyou_waypoint_text(const std::vector<Waypoint>& waypoints) {
    TextBuffer b(100 + waypoints.size() * 96);
    append_crlf(b, "name,code,country,lat,lon,elev,style,rwdir,rwlen,freq,desc");
    for (const Waypoint& w : waypoints) {
        const SemicirclePair m = semicircles_to_milliminutes(w.latitude, w.longitude);
        const Dmm lat = dmm(m.latitude), lon = dmm(m.longitude);
        // The name is quoted, so only a quote would end it early; the code is
        // not, so a comma would shift the fields after it.
        const std::string name = line_field(w.comment.empty() ? w.identifier : w.comment, "\"", "'");
        const std::string code = line_field(w.identifier, ",\"", "--");
        b.appendf("\"%s\",%s,,%02u%02u.%03u%c,%03u%02u.%03u%c,%d.0m,%d,,,,\r\n", name.c_str(), code.c_str(),
                  lat.degrees, lat.minutes, lat.thousandths, m.latitude < 0 ? 'S' : 'N', lon.degrees, lon.minutes,
                  lon.thousandths, m.longitude < 0 ? 'W' : 'E', w.height, w.airfield ? 2 : 1);
    }
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

int read_seeyou_waypoints(Reporter& r, std::string_view text, uint32_t now, std::vector<Waypoint>& out) {
    std::vector<Waypoint> read;
    read.reserve(50);
    WaypointLines lines(text);
    lines.skip(1);
    std::string_view line;
    bool first = true;
    while (lines.next(line)) {
        auto bad = [&] { return bad_waypoint_line(r, kSeeYouDecodeTitle, lines.number()); };
        const std::vector<std::string_view> f = split_waypoint_fields(line, kSeeYouFields, true);
        if (normalise_whitespace(f[0]).rfind("-----", 0) == 0) break;  // the task section follows
        const std::string_view name = trim_field(f[0]);
        if (first && !quoted(name)) break;
        first = false;
        if (f.size() < 7 || !quoted(name)) return bad();

        Waypoint w;
        w.comment = normalise_comment(unquote(name).substr(0, kCommentMax));
        // Codes are taken as they come, cleaned only as far as an identifier
        // must be for the other formats to write it safely.
        normalise_id(unquote(f[1]), IdMode::Lenient, w.identifier);
        double lat = 0.0, lon = 0.0;
        SemicirclePair s;
        if (parse_seeyou_coord(f[3], Axis::Latitude, lat) != 0 || parse_seeyou_coord(f[4], Axis::Longitude, lon) != 0 ||
            radians_to_semicircles(GeoPosition{lat, lon}, s) != 0)
            return bad();
        w.latitude = s.latitude;
        w.longitude = s.longitude;
        if (!elevation(f[5], w.height)) return bad();
        const std::string_view style = trim_field(f[6]);
        if (!style.empty()) {
            int32_t value = 0;
            if (parse_field_integer(style, value) != 0) return bad();
            w.airfield = (value == 2 || value == 5) ? 1 : 0;
        }
        w.time = now;
        if (keep_waypoint(r, read, std::move(w)) != 0) return -1;
    }
    out = std::move(read);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
