#pragma once
// GPX 1.1 readers: track points of gpx / trk / trkseg / trkpt and waypoints of
// gpx / wpt, over the same tag tokenizer and structure rules as the KML reader.
// Pure: they work on the file text and report through the Reporter.
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kGpxTrackReadTitle = "Parsing track log file";
inline constexpr const char* kGpxWaypointReadTitle = "Parsing waypoint file";
inline constexpr int kGpxMaxSegments = 100;

// One segment (the user picks one from "Track List" when there are several).
// The count of positions, or 0 on failure or cancel (positions then unchanged).
// GPX carries no signature and no pressure altitudes; its times are taken as read.
int read_gpx_track(Reporter& r, std::string_view text, std::vector<TrackPosition>& positions);

// The count of waypoints, or -1 on failure (out then unchanged).
int read_gpx_waypoints(Reporter& r, std::string_view text, bool interactive, std::vector<Waypoint>& out);

// The lat or lon attribute in degrees as semicircles; false when it is
// missing, not a number or beyond the axis' range.
bool gpx_attribute_semicircles(std::string_view attributes, const char* name, bool latitude, int32_t& out);

}  // namespace orlogix
