#pragma once
// MapSource files (.mps) in their waypoint form: one "W" record per waypoint
// inside the container of mapsource_file.hpp.
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

std::string mapsource_waypoint_bytes(const std::vector<Waypoint>& waypoints);

// The waypoints of every "W" record (time stamp and airfield flag 0). The
// count (0 for a well-formed file without waypoints), or -1 after reporting
// under "Decoding MapSource file" (out then unchanged).
int read_mapsource_waypoints(Reporter& r, std::string_view bytes, std::vector<Waypoint>& out);

}  // namespace orlogix
