// WinPilot .dat waypoint files: no header, one comma-separated line per
// waypoint with degrees:minutes coordinates and the hemisphere letter last.
#include <new>

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
constexpr std::size_t kWinPilotFields = 7;
constexpr std::size_t kWinPilotTextMax = 12;

bool digit(char c) { return c >= '0' && c <= '9'; }

// A run of digits whose value stays below limit; false when there is none.
bool number_below(std::string_view s, std::size_t& i, unsigned limit, unsigned& value) {
    const std::size_t first = i;
    value = 0;
    for (; i < s.size() && digit(s[i]); ++i) {
        value = value * 10 + static_cast<unsigned>(s[i] - '0');
        if (value >= limit) return false;
    }
    return i > first;
}

double fraction(std::string_view s, std::size_t& i) {
    double v = 0.0, scale = 0.1;
    for (; i < s.size() && digit(s[i]); ++i, scale *= 0.1) v += (s[i] - '0') * scale;
    return v;
}

// "DD:MM.mmmH" or "DD:MM:SS[.s]H" in degrees; hemisphere letter in any case.
bool coordinate(std::string_view s, bool latitude, double& degrees) {
    s = trim_field(s);
    std::size_t i = 0;
    unsigned deg = 0, min = 0, sec = 0;
    const unsigned limit = latitude ? 90 : 180;
    if (!number_below(s, i, limit + 1, deg) || i >= s.size() || s[i++] != ':') return false;
    if (!number_below(s, i, 60, min)) return false;
    double value = deg + min / 60.0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        value += fraction(s, i) / 60.0;
    } else if (i < s.size() && s[i] == ':') {
        ++i;
        if (!number_below(s, i, 60, sec)) return false;
        double seconds = sec;
        if (i < s.size() && s[i] == '.') seconds += fraction(s, ++i);
        value += seconds / 3600.0;
    }
    // The pole and the date line themselves, but nothing beyond them.
    if (i + 1 != s.size() || value > limit) return false;
    const char h = static_cast<char>(s[i] & ~0x20);
    if (latitude ? (h != 'N' && h != 'S') : (h != 'E' && h != 'W')) return false;
    degrees = (h == 'S' || h == 'W') ? -value : value;
    return true;
}

// Height: sign, number, then nothing, M (metres) or F (feet); +0.5 truncated.
bool height(std::string_view s, int32_t& out) {
    s = trim_field(s);
    double factor = 1.0;
    if (!s.empty() && (s.back() == 'F' || s.back() == 'f')) {
        factor = kMetresPerFoot;
        s.remove_suffix(1);
    } else if (!s.empty() && (s.back() == 'M' || s.back() == 'm')) {
        s.remove_suffix(1);
    }
    double value = 0.0;
    // An empty height (other programs' "unknown") is 0.
    if (!trim_field(s).empty() && parse_field_number(s, value) != 0) return false;
    const double metres = value * factor + 0.5;
    if (metres > 2147483647.0 || metres < -2147483647.0) return false;
    out = static_cast<int32_t>(metres);
    return true;
}

}  // namespace

std::string winpilot_waypoint_text(const std::vector<Waypoint>& waypoints) {
    TextBuffer b(waypoints.size() * 64 + 16);
    int number = 0;
    for (const Waypoint& w : waypoints) {
        const SemicirclePair m = semicircles_to_milliminutes(w.latitude, w.longitude);
        const uint32_t lat = magnitude(m.latitude), lon = magnitude(m.longitude);
        b.appendf("%d,%u:%02u.%03u%c,%u:%02u.%03u%c,%d,%c,%s,%s\r\n", ++number, lat / 60000, lat / 1000 % 60,
                  lat % 1000, m.latitude < 0 ? 'S' : 'N', lon / 60000, lon / 1000 % 60, lon % 1000,
                  m.longitude < 0 ? 'W' : 'E', w.height, w.airfield ? 'A' : 'T',
                  line_field(w.identifier.substr(0, kWinPilotTextMax), ",", "-").c_str(),
                  line_field(w.comment.substr(0, kWinPilotTextMax), ",", "-").c_str());
    }
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

int read_winpilot_waypoints(Reporter& r, std::string_view text, uint32_t now, std::vector<Waypoint>& out) {
    std::vector<Waypoint> read;
    read.reserve(50);
    WaypointLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        auto bad = [&] { return bad_waypoint_line(r, kWinPilotDecodeTitle, lines.number()); };
        // Lines starting with "*" are remarks (file titles, task notes).
        if (line.front() == '*') continue;
        const std::vector<std::string_view> f = split_waypoint_fields(line, kWinPilotFields, false);
        if (f.size() < 6) return bad();
        Waypoint w;
        normalise_id(normalise_whitespace(f[0]), IdMode::Lenient, w.identifier);
        double lat = 0.0, lon = 0.0;
        SemicirclePair s;
        if (!coordinate(f[1], true, lat) || !coordinate(f[2], false, lon) || degrees_to_semicircles(lat, lon, s) != 0)
            return bad();
        w.latitude = s.latitude;
        w.longitude = s.longitude;
        if (!height(f[3], w.height)) return bad();
        const std::string_view flags = trim_field(f[4]);
        w.airfield = !flags.empty() && flags.front() == 'A' ? 1 : 0;
        w.comment = normalise_comment(f[5]);
        w.time = now;
        if (keep_waypoint(r, read, std::move(w)) != 0) return -1;
    }
    out = std::move(read);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
