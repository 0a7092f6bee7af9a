#pragma once
// Magellan track logs (.log): $PMGNTRK sentences as the receivers and their
// tools save them. Reader only.
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

// True when line is "$", text, "*" and two hexadecimal digits equal to the
// XOR of the text's bytes; text then gets the part between "$" and "*".
bool nmea_checksum_ok(std::string_view line, std::string_view& text);

// Fixes with validity "A", the first a segment start. The count, or -1 after
// reporting "Bad line %d" under "Decoding track log file" (out then unchanged).
int read_magellan_log(Reporter& r, std::string_view text, std::vector<TrackPosition>& out);

}  // namespace orlogix
