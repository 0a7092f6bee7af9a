#pragma once
// XC_SCORE: the exact contest score of a track on the command line, its
// lines written out and the best flight saved as GeoJSON when XC_OUT asks.
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/contest/contest_rules.hpp"
#include "control/command_line.hpp"
#include "core/records.hpp"
#include "formats/commands/track_batch.hpp"

namespace orlogix {

class Reporter;

// The rules of that name, XContest when none has it (a stored name may be stale).
const ContestRules& contest_rules_named(std::string_view name);

// The batch conversion's line on a flight: its best contest flight under the
// rules, scored within the time limit (0: none).
FlightNote contest_flight_note(const ContestRules& rules, double time_limit_seconds);

// Scores positions under the command's rules and time limit. 0, or -1 when
// the GeoJSON file could not be written (reported).
int report_xc_score(Reporter& r, const CommandLine& c, const std::vector<TrackPosition>& positions, std::FILE* out);
// Reads the IGC file of the command, then as above; -1 also when it cannot be read.
int run_xc_score(Reporter& r, const CommandLine& c, std::FILE* out);

}  // namespace orlogix
