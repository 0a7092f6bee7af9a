#pragma once
// Readers of what the KML writers produce: the track of a trip folder (with
// its signature check), the waypoint document, and the folder locator that
// lets a logbook be appended to. Pure: they work on the file text only and
// report through the Reporter.
#include <cstddef>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kKmlTrackReadTitle = "Parsing track log file";
inline constexpr const char* kKmlWaypointReadTitle = "Parsing waypoint file";
inline constexpr int kKmlMaxTracks = 50;

struct KmlTrack {
    std::vector<TrackPosition> positions;
    bool signature_valid = false;
    bool times_in_utc = false;   // the zone of time_of_first_point, kept only for a valid signature
    bool baro_present = false;   // a PressureAltitude list was read
};

// Reads one track: with several trip folders the user picks one ("Track
// List"); silent takes the first and shows no box. The count of positions,
// or 0 on failure or cancel (out then stays empty).
int read_kml_track(Reporter& r, std::string_view text, bool silent, KmlTrack& out);

// Placemarks of the folder named "Waypoints". interactive allows the "Modify
// waypoint ID" question. The count (0 when there are none), or -1 on failure.
int read_kml_waypoints(Reporter& r, std::string_view text, bool interactive, std::vector<Waypoint>& out);

// Offset of the first Folder start tag and the offset just after the last
// Folder end tag at the same depth. 0, or a negative code (see xml_walker.hpp;
// kKmlNoFolder when the text holds no complete folder).
inline constexpr int kKmlNoFolder = -20;
int locate_kml_folders(std::string_view text, std::size_t& begin, std::size_t& end);

}  // namespace orlogix
