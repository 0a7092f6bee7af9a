#pragma once
// Magellan track logs (.log): $PMGNTRK sentences as the receivers and their
// tools save them. Reader only.
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

// Fixes with validity "A", the first a segment start. The count, or -1 after
// reporting "Bad line %d" under "Decoding track log file" (out then unchanged).
int read_magellan_log(Reporter& r, std::string_view text, std::vector<TrackPosition>& out);

}  // namespace orlogix
