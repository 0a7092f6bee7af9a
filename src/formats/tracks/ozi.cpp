#include "formats/tracks/ozi.hpp"

#include <cmath>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/tracks/line_text.hpp"
#include "formats/xml/number.hpp"

namespace orlogix {

namespace {

// The day count of the file's time stamps: days since 1899-12-30, our epoch
// being day 32873.
constexpr double kEpochDay = 32873.0;
constexpr const char* kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                     "jul", "aug", "sep", "oct", "nov", "dec"};

int fail(Reporter& r, const std::string& text) {
    r.error_box(kTrackDecodeTitle, text);
    return -1;
}

// One point line into p; false for any field that is missing or out of range.
bool decode_point(std::string_view line, TrackPosition& p) {
    const std::vector<std::string_view> f = split_fields(line, ',');
    if (f.size() < 5) return false;
    double lat = 0, lon = 0, feet = 0, days = 0;
    SemicirclePair s;
    if (parse_decimal(trim_blanks(f[0]), lat) != 0 || parse_decimal(trim_blanks(f[1]), lon) != 0 ||
        degrees_to_semicircles(lat, lon, s) != 0)
        return false;
    if (parse_decimal(trim_blanks(f[3]), feet) != 0 || feet < -2000.0 || feet > 30000.0) return false;
    if (parse_decimal(trim_blanks(f[4]), days) != 0 || days < kEpochDay) return false;
    const double seconds = std::round((days - kEpochDay) * 86400.0);
    if (seconds > 4294967295.0) return false;
    p = TrackPosition{};
    p.time = static_cast<uint32_t>(seconds);
    p.latitude = s.latitude;
    p.longitude = s.longitude;
    p.gps_altitude = static_cast<int32_t>(feet * 3.048 + 0.5);
    return true;
}

}  // namespace

std::string ozi_track_text(const std::vector<TrackPosition>& positions, uint32_t now) {
    TextBuffer out(100 + positions.size() * 80);
    out.append_line("OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n");
    const CalendarTime c = calendar_from_time(now);
    out.appendf("0,2,255,%02d.%02d.%02d %02d:%02d:%02d                  ,0,0,2,8421376\r\n", c.day, c.month,
                c.year % 100, c.hour, c.minute, c.second);
    out.appendf("%d\r\n", static_cast<int>(positions.size()));
    for (const TrackPosition& p : positions) {
        const CalendarTime t = calendar_from_time(p.time);
        const int feet = static_cast<int>(p.gps_altitude * 0.328084 + 0.5);
        out.appendf("  %.6f,  %.6f,%d,%7d,%.7f, %02d-%s-%02d, %02d:%02d:%02d\r\n", semicircle_to_degrees(p.latitude),
                    semicircle_to_degrees(p.longitude), (p.flags & kSegmentStart) ? 1 : 0, feet, p.time / 86400.0 + kEpochDay,
                    t.day, kMonths[(t.month + 11) % 12], t.year % 100, t.hour, t.minute, t.second);
    }
    return out.failed() ? std::string() : out.take();
}

int read_ozi_track(Reporter& r, std::string_view text, std::vector<TrackPosition>& out) {
    const std::vector<std::string_view> lines = split_track_lines(text);
    if (lines.empty()) return fail(r, "Missing format line (1)");
    if (lines[0].substr(0, 28) != "OziExplorer Track Point File") return fail(r, "Bad format line (1)");
    if (lines.size() < 2) return fail(r, "Missing map datum line (2)");
    if (lines[1] != "WGS 84") return fail(r, "Bad map datum line (2)");
    if (lines.size() < 6) return fail(r, "Missing line(s)");
    int32_t count = 0;
    if (parse_int32(trim_blanks(lines[5]), count) != 0 || count < 0) return fail(r, strformat("Bad line %d", 6));
    std::size_t available = lines.size() - 6;
    while (available > 0 && trim_blanks(lines[5 + available]).empty()) --available;
    // A stated count is never trusted beyond the lines that are there.
    if (count > 0 && static_cast<std::size_t>(count) > available) return fail(r, "Missing line(s)");
    const std::size_t wanted = count > 0 ? static_cast<std::size_t>(count) : available;
    std::vector<TrackPosition> positions;
    positions.reserve(wanted);
    for (std::size_t i = 0; i < wanted; ++i) {
        TrackPosition p;
        if (!decode_point(lines[6 + i], p)) return fail(r, strformat("Bad line %d", static_cast<int>(7 + i)));
        if (positions.empty()) p.flags = kSegmentStart;
        positions.push_back(p);
    }
    out = std::move(positions);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
