#pragma once
// The waypoint list as a KML point document, in the folder "Waypoints" that
// the KML waypoint reader looks for.
#include <string>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kKmlWaypointSaveTitle = "Save GoogleEarth waypoint file";

// Identifiers and comments are XML-escaped.
std::string kml_waypoint_text(const std::vector<Waypoint>& waypoints);
// 0, or -1 after "Memory allocation error" / "File write error".
int write_kml_waypoint_file(Reporter& r, const std::string& path, const std::vector<Waypoint>& waypoints);

}  // namespace orlogix
