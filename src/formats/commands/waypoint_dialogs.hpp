#pragma once
// What the "Save &wpts. As..." and "Read waypoint file" commands do apart from
// showing the file dialogs: the filter lists, the name completion, the save
// of the selected rows and the installing of what was read.
#include <cstddef>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "formats/commands/waypoint_file.hpp"

namespace orlogix {

class Reporter;

struct WaypointFilter {
    std::string label;    // "Ozi files (*.wpt)"
    std::string pattern;  // "*.wpt"
};

// The 16 save filters (8 types with their extension, then the same 8 as
// "*.*") and the 7 read filters (6 types, then "All files (*.*)").
std::vector<WaypointFilter> waypoint_save_filters();
std::vector<WaypointFilter> waypoint_read_filters();

// The format of a 1-based save filter; filters 9-16 are the same writers as
// 1-8, anything out of range counts as filter 1.
const FileFormat& waypoint_save_format(int filter);

// Appends the filter's extension when the typed file name has none (save
// filters 1-8, read filters 1-6). 0, or -1 after "Too long file name"
// (title "Error opening file") for a result over 256 characters.
int complete_waypoint_file_name(Reporter& r, std::string& path, int filter, bool save);

// Writes the selected rows with the filter's writer. An empty list does
// nothing (0); no selection gives "No waypoints selected". Unless overwrite
// is set, an existing file is only replaced after "File already exists,
// overwrite ?" (title "File creation"). On success the status line shows
// "<file>: %d waypoints written" and, unless remote, the notice "File
// written". The count written, 0 when nothing was done, or -1.
int save_waypoints(Reporter& r, const WaypointList& list, const std::vector<std::size_t>& rows,
                   const std::string& path, int filter, bool overwrite, bool remote);

// Reads the file (format by content) and installs it: the status line shows
// "%d waypoints read"; when the list already holds waypoints the question
// "Append new waypoints to existing list ?" chooses between inserting each
// one (insert_waypoint, which asks about duplicate identifiers; a refusal
// stops the insertion) and replacing the list. The count read, 0 for none,
// or -1; the list is untouched unless something was read.
int read_waypoints_into(Reporter& r, WaypointList& list, const std::string& path, bool interactive);

}  // namespace orlogix
