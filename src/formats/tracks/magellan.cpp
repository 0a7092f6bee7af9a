#include "formats/tracks/magellan.hpp"

#include <algorithm>
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

// Errors of the $PMGNTRK fields, in field order.
enum TrackError : int {
    kNoLatitude = 1, kBadLatitude, kLatitudeRange, kNoNorthSouth, kBadNorthSouth,
    kNoLongitude, kBadLongitude, kLongitudeRange, kNoEastWest, kBadEastWest,
    kNoAltitude, kBadAltitude, kNoUnit, kBadUnit, kNoTime, kBadTime,
    kNoStatus, kNoName, kNoDate, kBadDate, kDateRange,
};

int angle_error(AngleFault fault, int first) {
    switch (fault) {
    case AngleFault::None: return 0;
    case AngleFault::Value: return first;
    case AngleFault::Range: return first + 1;
    case AngleFault::Hemisphere: return first + 3;
    }
    return first;
}

}  // namespace

AngleFault magellan_angle(std::string_view value, std::string_view hemisphere, Axis axis, int32_t& out) {
    double radians = 0;
    if (parse_ddmm(value, radians) != 0) return AngleFault::Value;
    // Whole degrees from the digits before the point: 9000.000 is 90 degrees.
    const int limit = axis == Axis::Latitude ? 90 : 180;
    int ddmm = 0;
    for (char c : value.substr(0, value.find('.')))
        if (c >= '0' && c <= '9' && ddmm < 100000) ddmm = ddmm * 10 + (c - '0');
    if (ddmm / 100 > limit) return AngleFault::Range;
    const char positive = axis == Axis::Latitude ? 'N' : 'E';
    const char negative = axis == Axis::Latitude ? 'S' : 'W';
    if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative))
        return AngleFault::Hemisphere;
    if (hemisphere[0] == negative) radians = -radians;
    // The pole and the date line themselves, nothing past them.
    if (radians_to_semicircle(radians, out) != 0) return AngleFault::Range;
    if (axis == Axis::Latitude && (out > (1 << 30) || out < -(1 << 30))) return AngleFault::Range;
    return AngleFault::None;
}

int decode_magellan_position(std::span<const std::string_view> f, int32_t& latitude, int32_t& longitude) {
    if (f.size() < 2) return kNoLatitude;
    if (f.size() < 3) return kNoNorthSouth;
    if (const int e = angle_error(magellan_angle(f[1], f[2], Axis::Latitude, latitude), kBadLatitude)) return e;
    if (f.size() < 4) return kNoLongitude;
    if (f.size() < 5) return kNoEastWest;
    return angle_error(magellan_angle(f[3], f[4], Axis::Longitude, longitude), kBadLongitude);
}

bool magellan_integer(std::string_view text, int32_t& value) {
    text = trim_blanks(text);
    value = 0;
    return text.empty() || parse_int32(text, value, false) == 0;
}

int decode_magellan_track_fields(std::span<const std::string_view> f, TrackPosition& p, bool& fix) {
    fix = false;
    p = TrackPosition{};
    auto has = [&](std::size_t i) { return f.size() > i; };
    if (const int e = decode_magellan_position(f, p.latitude, p.longitude)) return e;
    if (!has(5)) return kNoAltitude;
    int32_t altitude = 0;
    if (!magellan_integer(f[5], altitude)) return kBadAltitude;
    if (!has(6)) return kNoUnit;
    // Tenths of a metre, which must fit 32 bits.
    double tenths = 0;
    if (f[6] == "M") tenths = altitude * 10.0;
    else if (f[6] == "F") tenths = std::round(altitude * 3.048);
    else return kBadUnit;
    if (tenths > 2147483647.0 || tenths < -2147483648.0) return kBadAltitude;
    p.gps_altitude = static_cast<int32_t>(tenths);
    if (!has(7)) return kNoTime;
    int seconds_of_day = 0;
    double fraction = 0;
    if (parse_hhmmss(f[7], seconds_of_day, fraction) != 0) return kBadTime;
    if (!has(8)) return kNoStatus;
    if (!has(9)) return kNoName;
    if (!has(10)) return kNoDate;
    int32_t date = 0;
    if (!magellan_integer(f[10], date) || date < 0 || date > 999999) return kBadDate;
    const int day = date / 10000, month = date / 100 % 100, year = 2000 + date % 100;
    if (month < 1 || month > 12 || day < 1 || day > 31) return kDateRange;
    if (f[8] != "A") return 0;
    p.time = time_from_calendar(year, month, day, 0, 0, 0) + static_cast<uint32_t>(seconds_of_day) +
             (fraction >= 0.5 ? 1u : 0u);
    fix = true;
    return 0;
}

namespace {

enum class Fix { Stored, Skipped, Bad };

Fix decode_track_point(std::string_view text, TrackPosition& p) {
    std::vector<std::string_view> f = split_fields(text, ',');
    if (f[0] != "PMGNTRK") return Fix::Bad;
    for (std::string_view& field : f) field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
    bool fix = false;
    if (decode_magellan_track_fields(f, p, fix) != 0) return Fix::Bad;
    return fix ? Fix::Stored : Fix::Skipped;
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
