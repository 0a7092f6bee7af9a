#pragma once
// Loading the track and waypoint files a simulated instrument serves. The
// file type is chosen by extension from the tables in data_files.cpp; each
// file format adds its reader there (readers take the file's bytes).
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {
class Reporter;
}

namespace orlogix::sim {

// A reader turns a file's bytes into positions + header or waypoints. 0 or
// a count, or negative after reporting the problem.
using TrackReader = int (*)(Reporter& r, std::string_view bytes, TrackLog& out);
using WaypointReader = int (*)(Reporter& r, std::string_view bytes, std::vector<Waypoint>& out);

struct TrackFileType {
    const char* extension;  // lower case, with the dot: ".igc"
    TrackReader read;
};
struct WaypointFileType {
    const char* extension;
    WaypointReader read;
};

// 0 or a count, or -1 after reporting (unknown extension, unreadable file,
// reader failure). `out` is changed only on success.
int load_track_file(Reporter& r, const std::string& path, TrackLog& out);
int load_waypoint_file(Reporter& r, const std::string& path, std::vector<Waypoint>& out);

// The extension of a path, lower case with its dot, or "" when none.
std::string file_extension(const std::string& path);

}  // namespace orlogix::sim
