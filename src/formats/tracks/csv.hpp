#pragma once
// CSV track files: the program's own layout for writing, and a reader that
// finds its columns from the header line (ours and other programs').
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kCsvSaveTitle = "Save CSV track log file";
inline constexpr const char* kCsvReadTitle = "Read CSV track log file";
inline constexpr const char* kCsvHeader = "Date/time,Latitude,Longitude,H-GPS,H-Baro";

// Empty when memory ran out.
std::string csv_track_text(const std::vector<TrackPosition>& positions);

struct CsvTrack {
    std::vector<TrackPosition> positions;
    bool baro_present = false;  // the header named our barometric column
};

// The count of positions, or -1 after reporting under "Read CSV track log
// file" (out then unchanged).
int read_csv_track(Reporter& r, std::string_view text, CsvTrack& out);

}  // namespace orlogix
