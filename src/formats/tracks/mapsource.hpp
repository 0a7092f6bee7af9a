#pragma once
// MapSource files (.mps) in their track form: one "T" record holding every
// position.
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

std::string mapsource_track_bytes(const std::vector<TrackPosition>& positions);

// Appends the points of every "T" record (the first of each a segment
// start). The count (0 for a well-formed file without track points), or -1
// after reporting under "Decoding MapSource file" (out then unchanged).
int read_mapsource_track(Reporter& r, std::string_view bytes, std::vector<TrackPosition>& out);

}  // namespace orlogix
