#pragma once
// Text forms of coordinates, times and distances shared by the files, the
// dialogs and the protocols. Parsers return 0 (or a position) on success and
// a negative code otherwise, never a partial value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix {

enum class Axis { Latitude, Longitude };

// 'N 45  30  12.34' / 'E 006  07  08.09' from centi-arc-seconds.
std::string format_dms(int32_t centi_arcsec, Axis axis);
// 'N 45 30 12.12345' / 'E 006 07 08.00000' from radians: five decimals of a
// second, a fraction that rounds up to a whole second carried into it.
std::string format_dms_precise(double radians, Axis axis);

int parse_latlon(std::string_view text, Axis axis, double& radians);          // 0 or -1
int parse_utm_zone(std::string_view text, int& zone, char& band);              // 0, -1..-4
int parse_metres(std::string_view text, double& metres);                       // 0, -1, -2, -4
// 0 and the time stamp, zoned set when "Z" or an offset ended the text; -1 otherwise.
int parse_iso_time(std::string_view text, uint32_t& seconds, bool& zoned);

int parse_seeyou_coord(std::string_view text, Axis axis, double& radians);     // 0 or -1
int parse_ddmm(std::string_view text, double& radians);                        // 0 or -1
int parse_hhmmss(std::string_view text, int& seconds_of_day, double& fraction);// 0 or -1
// Hemisphere letter first; degrees (not radians) and the index just after the coordinate.
int parse_hemisphere_coord(std::string_view text, Axis axis, double& degrees, std::size_t& end);

}  // namespace orlogix
