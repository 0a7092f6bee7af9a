#pragma once
// The IGC parser: IGC text to track positions, with the first error and its
// line number for the caller's box. Pure: works on the bytes only.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

struct IgcParseError {
    std::string text;   // the message for the box, e.g. "Pos. error 4 on line 12"
    int line = 0;       // line number, 0 for errors not tied to a line
};

struct IgcParsed {
    std::vector<TrackPosition> positions;
    std::string maker;          // the three characters after "A"
    std::string serial = "000"; // the three after those, or "000"
};

// The track reader's title for parse errors.
inline constexpr const char* kIgcReadTitle = "Reading IGC log file";

// Returns the number of positions (at least 1), or -1 with err filled and
// out left empty.
int parse_igc(std::string_view bytes, IgcParsed& out, IgcParseError& err);

// Decodes the text of one B-record (the "B" included) into p: 0, or the
// error number 1-18 of the first field that fails. time gets the time of day.
int decode_igc_b_record(std::string_view line, TrackPosition& p);

// For the track file dispatch: runs the parser; a failure is shown titled
// "Reading IGC log file" and -1 returned with nothing changed. On success the
// positions are replaced, the file bytes are kept as the raw IGC log, and the
// count is returned. IGC files always carry barometric altitudes.
int read_igc_track(Reporter& r, std::string_view bytes, std::vector<TrackPosition>& positions, RawIgcLog& raw);

}  // namespace orlogix
