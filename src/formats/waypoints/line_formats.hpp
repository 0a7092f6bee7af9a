#pragma once
// The line-oriented waypoint files: OziExplorer .wpt, Geographical and UTM
// .wpt ("$FormatGEO", "$FormatUTM"), SeeYou .cup and WinPilot .dat.
// Text builders are pure and return the whole file (CR LF line ends).
// Readers work on the file text and store nothing on an error: they return
// the count of waypoints, or -1 after "Bad line %d" (the line counted from 1,
// header lines included). now is the time stamp given to waypoints that
// carry none. interactive allows the "Modify waypoint ID" question.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kWaypointDecodeTitle = "Decoding waypoint file";
inline constexpr const char* kWinPilotDecodeTitle = "Decoding WinPilot file";
inline constexpr const char* kSeeYouDecodeTitle = "Decoding SeeYou file";

inline constexpr const char* kOziWaypointHeader = "OziExplorer Waypoint File";
inline constexpr const char* kGeoWaypointHeader = "$FormatGEO";
inline constexpr const char* kUtmWaypointHeader = "$FormatUTM";

std::string ozi_waypoint_text(const std::vector<Waypoint>& waypoints);
std::string geo_waypoint_text(const std::vector<Waypoint>& waypoints);
std::string utm_waypoint_text(const std::vector<Waypoint>& waypoints);
std::string seeyou_waypoint_text(const std::vector<Waypoint>& waypoints);
std::string winpilot_waypoint_text(const std::vector<Waypoint>& waypoints);

int read_ozi_waypoints(Reporter& r, std::string_view text, bool interactive, uint32_t now, std::vector<Waypoint>& out);
int read_geo_waypoints(Reporter& r, std::string_view text, bool interactive, uint32_t now, std::vector<Waypoint>& out);
int read_utm_waypoints(Reporter& r, std::string_view text, bool interactive, uint32_t now, std::vector<Waypoint>& out);
// SeeYou and WinPilot take their identifiers without the question.
int read_seeyou_waypoints(Reporter& r, std::string_view text, uint32_t now, std::vector<Waypoint>& out);
int read_winpilot_waypoints(Reporter& r, std::string_view text, uint32_t now, std::vector<Waypoint>& out);

// OziExplorer day count (days since 1899-12-30) of a time stamp, and back.
inline constexpr double kOziEpochDays = 32873.0;
double ozi_day_count(uint32_t time);

}  // namespace orlogix
