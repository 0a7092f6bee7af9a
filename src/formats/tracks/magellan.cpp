#include "formats/tracks/magellan.hpp"

#include <cmath>

#include "core/coord_text.hpp"
#include "core/report.hpp"
#include "core/units.hpp"
#include "formats/tracks/ozi.hpp"
#include "formats/tracks/line_text.hpp"
#include "formats/xml/number.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix {

namespace {

bool six_digits(std::string_view s, int& value) {
    if (s.size() != 6) return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// One angle of ddmm.mmm (latitude) or dddmm.mmm (longitude) with its
// hemisphere field.
bool angle(std::string_view value, std::string_view hemisphere, Axis axis, int32_t& out) {
    double radians = 0;
    if (parse_ddmm(value, radians) != 0) return false;
    // Whole degrees from the digits before the point: 9000.000 is 90 degrees.
    const int limit = axis == Axis::Latitude ? 90 : 180;
    int ddmm = 0;
    for (char c : value.substr(0, value.find('.')))
        if (c >= '0' && c <= '9' && ddmm < 100000) ddmm = ddmm * 10 + (c - '0');
    if (ddmm / 100 > limit) return false;
    const char positive = axis == Axis::Latitude ? 'N' : 'E';
    const char negative = axis == Axis::Latitude ? 'S' : 'W';
    if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) return false;
    if (hemisphere[0] == negative) radians = -radians;
    // The pole and the date line themselves, nothing past them.
    if (radians_to_semicircle(radians, out) != 0) return false;
    return axis == Axis::Longitude || (out <= (1 << 30) && out >= -(1 << 30));
}

enum class Fix { Stored, Skipped, Bad };

Fix decode_track_point(std::string_view text, TrackPosition& p) {
    const std::vector<std::string_view> f = split_fields(text, ',');
    // PMGNTRK, lat, N/S, lon, E/W, altitude, unit, time, validity, name, date
    if (f.size() < 11 || f[0] != "PMGNTRK") return Fix::Bad;
    p = TrackPosition{};
    if (!angle(f[1], f[2], Axis::Latitude, p.latitude) || !angle(f[3], f[4], Axis::Longitude, p.longitude))
        return Fix::Bad;
    int32_t altitude = 0;
    if (parse_int32(f[5], altitude) != 0 || altitude < -100000 || altitude > 100000) return Fix::Bad;
    if (f[6] == "M") p.gps_altitude = altitude * 10;
    else if (f[6] == "F") p.gps_altitude = static_cast<int32_t>(std::lround(altitude * 3.048));
    else return Fix::Bad;
    int seconds_of_day = 0;
    double fraction = 0;
    if (parse_hhmmss(f[7], seconds_of_day, fraction) != 0) return Fix::Bad;
    int date = 0;
    if (!six_digits(f[10], date)) return Fix::Bad;
    const int day = date / 10000, month = date / 100 % 100, year = 2000 + date % 100;
    if (month < 1 || month > 12 || day < 1 || day > 31) return Fix::Bad;
    if (f[8] != "A") return Fix::Skipped;
    p.time = time_from_calendar(year, month, day, 0, 0, 0) + static_cast<uint32_t>(seconds_of_day) +
             (fraction >= 0.5 ? 1u : 0u);
    return Fix::Stored;
}

}  // namespace

int read_magellan_log(Reporter& r, std::string_view text, std::vector<TrackPosition>& out) {
    const std::vector<std::string_view> lines = split_track_lines(text);
    std::vector<TrackPosition> positions;
    positions.reserve(1000);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (i == 0 && line.substr(0, 9) == "$PMGNFMT,") continue;
        if (line.empty() || line.substr(0, 12) == "$PMGNCMD,END") break;
        std::string_view sentence;
        TrackPosition p;
        const Fix fix = nmea_checksum_ok(line, sentence) ? decode_track_point(sentence, p) : Fix::Bad;
        if (fix == Fix::Bad) {
            r.error_box(kTrackDecodeTitle, strformat("Bad line %d", static_cast<int>(i + 1)));
            return -1;
        }
        if (fix == Fix::Skipped) continue;
        if (positions.empty()) p.flags = kSegmentStart;
        positions.push_back(p);
    }
    out = std::move(positions);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
