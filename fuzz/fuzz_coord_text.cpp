// Every coordinate, time and name reader on arbitrary text; a valid ISO time
// must come back unchanged through the calendar.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/coord_text.hpp"
#include "core/names.hpp"
#include "core/time.hpp"

using namespace orlogix;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void angles(std::string_view text) {
    for (const Axis axis : {Axis::Latitude, Axis::Longitude}) {
        const double limit = axis == Axis::Latitude ? 1.5707963267949 : 3.14159265358979;
        double r = 0;
        if (parse_latlon(text, axis, r) == 0) check(r > -limit && r < limit);
        if (parse_seeyou_coord(text, axis, r) == 0) check(r >= -limit - 1e-12 && r <= limit + 1e-12);
        double deg = 0;
        std::size_t end = 0;
        if (parse_hemisphere_coord(text, axis, deg, end) == 0) {
            // The pole and the date line themselves are valid positions.
            const double degree_limit = axis == Axis::Latitude ? 90 : 180;
            check(end <= text.size());
            check(deg >= -degree_limit && deg <= degree_limit);
        }
    }
    double r = 0;
    if (parse_ddmm(text, r) == 0) check(r >= 0 && r <= 3.14159265358979 + 1e-12);
    int sod = 0;
    double frac = 0;
    if (parse_hhmmss(text, sod, frac) == 0) check(sod >= 0 && sod < 86400 + 3600 && frac >= 0 && frac < 1);
    int zone = 0;
    char band = 0;
    if (parse_utm_zone(text, zone, band) == 0) check(zone >= 1 && zone <= 60 && band >= 'B' && band <= 'X');
    double m = 0;
    (void)parse_metres(text, m);
}

void times(std::string_view text) {
    uint32_t t = 0;
    bool zoned = false;
    if (parse_iso_time(text, t, zoned) != 0) return;
    const CalendarTime c = calendar_from_time(t);
    check(time_from_calendar(c) == t);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02uZ", c.year, c.month, c.day, c.hour, c.minute,
                  c.second);
    uint32_t again = 0;
    bool zoned_again = false;
    check(parse_iso_time(buf, again, zoned_again) == 0 && again == t && zoned_again);
}

void names(std::string_view text) {
    std::string id;
    if (normalise_id(text, IdMode::Lenient, id) == 0) check(id.size() <= 6);
    if (normalise_id(text, IdMode::Strict, id) == 0) check(id.size() <= 6);
    if (normalise_id_strict(text, id) == 0) check(id.size() <= 6);
    check(normalise_comment(text).size() <= 40);
    const std::string field = read_field_text(text, 80);
    check(field.size() <= 80 && (field.empty() || (field.front() != ' ' && field.back() != ' ')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    angles(text);
    times(text);
    names(text);
    return 0;
}
