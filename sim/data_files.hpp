#pragma once
// Loading the track and waypoint files a simulated instrument serves: any
// format of the program's format table that can be read, chosen by the
// file's extension (waypoint files are then told apart by their content).
#include <string>
#include <vector>

#include "core/records.hpp"

namespace orlogix {
class Reporter;
}

namespace orlogix::sim {

// 0 or a count, or -1 after reporting (unknown extension, unreadable file,
// reader failure). `out` is changed only on success.
int load_track_file(Reporter& r, const std::string& path, TrackLog& out);
int load_waypoint_file(Reporter& r, const std::string& path, std::vector<Waypoint>& out);

}  // namespace orlogix::sim
