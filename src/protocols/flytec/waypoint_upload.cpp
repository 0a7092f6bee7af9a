#include "protocols/flytec/waypoint_upload.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/units.hpp"
#include "protocols/flytec/fields.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::flytec {

namespace {

constexpr double kRadiansToMilliminutes = 3437746.770785;

}  // namespace

std::string milliminute_coordinate(int32_t semicircles, int degree_digits, char positive, char negative) {
    const int64_t m = semicircles_to_milliminutes(semicircles);
    return milliminute_text(static_cast<uint32_t>(std::llabs(m)), degree_digits) + ',' + (m < 0 ? negative : positive);
}

int64_t semicircles_to_milliminutes(int32_t semicircles) {
    return round_half_away(semicircle_to_radians(semicircles) * kRadiansToMilliminutes);
}

std::string waypoint_upload_sentence(const Waypoint& w) {
    char height[8];
    std::snprintf(height, sizeof height, "%04d", std::clamp(w.height, 0, 9999));
    const std::string text = "PBRWPR," + milliminute_coordinate(w.latitude, 2, 'N', 'S') + ',' +
                             milliminute_coordinate(w.longitude, 3, 'E', 'W') + ",," + fixed_width_text(w.comment, 17, ",*$") +
                             ',' + height;
    return nmea_sentence(text);
}

}  // namespace orlogix::flytec
