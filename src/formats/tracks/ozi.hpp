#pragma once
// OziExplorer track files (.plt): the writer's text and the reader.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kTrackDecodeTitle = "Decoding track log file";

// The whole file (empty when memory ran out); now is the time stamp
// written into the track line.
std::string ozi_track_text(const std::vector<TrackPosition>& positions, uint32_t now);

// The count of positions, or -1 after reporting under "Decoding track log
// file" (out then unchanged). A point count of 0 in line 6 means "not
// given": every point line up to the end is read, as other programs write it.
int read_ozi_track(Reporter& r, std::string_view text, std::vector<TrackPosition>& out);

}  // namespace orlogix
