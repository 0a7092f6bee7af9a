#pragma once
// Waypoint files of every format: the writer chosen by type, and the reader
// chosen by the file's content whatever its name says. The entry points for
// the window and the command line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "formats/format_table.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kSaveWaypointsTitle = "Save waypoints";
inline constexpr const char* kReadWaypointFileTitle = "Read waypoint file";

// The whole file in a waypoint format (now: the GPX file's time). Pure; throws
// std::bad_alloc only when memory runs out.
std::string waypoint_file_bytes(const FileFormat& format, const std::vector<Waypoint>& waypoints, uint32_t now);

// Writes the file in one step. 0, or -1 after "Memory allocation error"
// (title "Save waypoints") or the system's text titled "File write error".
int write_waypoint_file(Reporter& r, const std::string& path, const FileFormat& format,
                        const std::vector<Waypoint>& waypoints);

// Recognises the format from the first bytes and runs its reader. The count,
// 0 after "No waypoints found" (title "Decoding waypoint file"), or -1 after
// the reader's own message. out is replaced only on a count above 0.
// now stamps the waypoints of formats that carry no time.
int read_waypoint_text(Reporter& r, std::string_view bytes, bool interactive, uint32_t now,
                       std::vector<Waypoint>& out);

// Reads the file and runs read_waypoint_text with the present time. Open,
// size and read failures report the system's text ("Error opening waypoint
// file", "Waypoint file read error"); an empty file "File is empty".
int read_waypoint_file(Reporter& r, const std::string& path, bool interactive, std::vector<Waypoint>& out);

}  // namespace orlogix
