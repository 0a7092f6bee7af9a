// OziExplorer waypoint files: four header lines, then one comma-separated
// line per waypoint with the date as a day count and the altitude in feet.
#include <algorithm>
#include <cmath>
#include <new>

#include "core/names.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/waypoints/lines.hpp"

namespace orlogix {

namespace {

constexpr double kFeetPerMetre = 3.28084;
constexpr double kMetresPerFoot = 0.3048;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kNoAltitudeFeet = -777.0;
// OziExplorer's stand-in for a comma inside a text field; it shows a comma again.
constexpr const char* kOziComma = "\xD1";

}  // namespace

double ozi_day_count(uint32_t time) { return time / kSecondsPerDay + kOziEpochDays; }

std::string ozi_waypoint_text(const std::vector<Waypoint>& waypoints) {
    TextBuffer b(200 + waypoints.size() * 128);
    append_crlf(b, "OziExplorer Waypoint File Version 1.0");
    append_crlf(b, "WGS 84");
    append_crlf(b, "Reserved 2");
    append_crlf(b, "Reserved 3");
    int number = 0;
    for (const Waypoint& w : waypoints) {
        const LatLonDegrees g = semicircles_to_degrees(w.latitude, w.longitude);
        const long long feet = static_cast<long long>(round_half_away(w.height * kFeetPerMetre));
        // A comma would shift every later field. An identifier keeps to the
        // characters identifiers hold.
        b.appendf("%4d,%-14s,%11.6f,%11.6f,%.7f,%d, 1, 3, 0, 65535,%-40s, 0, 0, 0, %lld\r\n", ++number,
                  line_field(w.identifier, ",", "-").c_str(), g.latitude,
                  g.longitude, ozi_day_count(w.time), 0,
                  line_field(w.comment, ",", kOziComma).c_str(), feet);
    }
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

int read_ozi_waypoints(Reporter& r, std::string_view text, bool interactive, uint32_t now, std::vector<Waypoint>& out) {
    std::vector<Waypoint> read;
    read.reserve(20);
    WaypointIdState ids;
    ids.interactive = interactive;
    WaypointLines lines(text);
    lines.skip(4);
    std::string_view line;
    while (lines.next(line)) {
        auto bad = [&] { return bad_waypoint_line(r, kWaypointDecodeTitle, lines.number()); };
        const std::vector<std::string_view> f = split_waypoint_fields(line, 64, false);
        if (f.size() < 10) return bad();
        Waypoint w;
        const WaypointIdOutcome id = line_waypoint_id(r, trim_field(f[1]), ids, w.identifier);
        if (id == WaypointIdOutcome::Bad) return bad();
        if (id == WaypointIdOutcome::Skip) continue;

        double lat = 0.0, lon = 0.0, days = 0.0;
        int32_t symbol = 0;
        SemicirclePair s;
        if (parse_field_number(f[2], lat) != 0 || parse_field_number(f[3], lon) != 0 ||
            degrees_to_semicircles(lat, lon, s) != 0)
            return bad();
        w.latitude = s.latitude;
        w.longitude = s.longitude;
        // An empty date (written by other programs for "unknown") counts as 0.
        if (!trim_field(f[4]).empty() && parse_field_number(f[4], days) != 0) return bad();
        if (days == 0.0) {
            w.time = now;
        } else {
            // A date the time stamp cannot hold is refused rather than wrapped.
            const double seconds = std::round((std::max(days, kOziEpochDays) - kOziEpochDays) * kSecondsPerDay);
            if (seconds > 4294967295.0) return bad();
            w.time = static_cast<uint32_t>(seconds);
        }
        if (parse_field_integer(f[5], symbol) != 0) return bad();

        if (f.size() > 10) w.comment = normalise_comment(trim_field(f[10]));
        if (f.size() > 14 && !trim_field(f[14]).empty()) {
            double feet = 0.0;
            if (parse_field_number(f[14], feet) != 0) return bad();
            if (feet != kNoAltitudeFeet) {
                if (metres_to_height(feet * kMetresPerFoot, w.height) != 0) return bad();
                if (w.height < 0) w.height = 0;
            }
        }
        if (keep_waypoint(r, read, std::move(w)) != 0) return -1;
    }
    out = std::move(read);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
