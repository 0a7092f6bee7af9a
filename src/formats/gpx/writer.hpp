#pragma once
// GPX 1.1 files for track logs and waypoint lists in one fixed layout. The
// text builders are pure (the present time comes in); the file writers add
// the present time, the one atomic write and the error boxes.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "formats/igc/writer.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kGpxTrackSaveTitle = "Save GPX track log file";
inline constexpr const char* kGpxWaypointSaveTitle = "Save GPX waypoint file";

// All positions in one segment; segment starts and pressure altitudes are not written.
std::string gpx_track_text(const std::vector<TrackPosition>& positions, uint32_t now,
                           int program_version = kProgramVersionHundredths);
// Names and comments are XML-escaped.
std::string gpx_waypoint_text(const std::vector<Waypoint>& waypoints, uint32_t now,
                              int program_version = kProgramVersionHundredths);

// 0, or -1 after "Memory allocation error" / the system's text titled "File write error".
int write_gpx_track_file(Reporter& r, const std::string& path, const std::vector<TrackPosition>& positions);
int write_gpx_waypoint_file(Reporter& r, const std::string& path, const std::vector<Waypoint>& waypoints);

}  // namespace orlogix
