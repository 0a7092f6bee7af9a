#pragma once
// The command line's KML check: reads a track file and tells whether its
// signature holds.
#include <string>

namespace orlogix {

class Reporter;

struct KmlCheckResult {
    int positions = 0;
    bool signature_valid = false;
    bool times_in_utc = false;
};

// Reads the file's track (with several, the one chosen in "Track List"). The status line shows
// "%d positions read (Signature OK)" or "%d positions read (NO signature)".
// 0 when the track was read and its signature is valid; -1 otherwise (read
// failures reported titled "Reading track log file", "No positions found").
int check_kml_file(Reporter& r, const std::string& path, KmlCheckResult* result = nullptr);

}  // namespace orlogix
