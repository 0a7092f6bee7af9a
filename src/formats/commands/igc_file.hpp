#pragma once
// Reading IGC files from disk for the command line and the verify command;
// each caller names its own message titles.
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

struct IgcFileTitles {
    std::string_view open;     // the file cannot be opened (system text)
    std::string_view size;     // its size cannot be had (system text)
    std::string_view empty;    // "File is empty"
    std::string_view memory;   // no memory for its bytes (system text)
    std::string_view read;     // the read fails (system text)
};

// The whole file into bytes: 0, or -1 after reporting.
int read_igc_bytes(Reporter& r, const std::string& path, const IgcFileTitles& titles, std::string& bytes);

// The command line's read: base_name + ".igc" through the parser; the raw IGC
// log is replaced on success. The count, or -1 after reporting.
int read_igc_log_file(Reporter& r, std::string_view base_name, std::vector<TrackPosition>& positions, RawIgcLog& raw);

}  // namespace orlogix
