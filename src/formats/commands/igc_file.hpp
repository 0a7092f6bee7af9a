#pragma once
// Reading an IGC file from disk for the command line.
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

// The command line's read: base_name + ".igc" through the parser; the raw IGC
// log is replaced on success. The count, or -1 after reporting.
int read_igc_log_file(Reporter& r, std::string_view base_name, std::vector<TrackPosition>& positions, RawIgcLog& raw);

}  // namespace orlogix
