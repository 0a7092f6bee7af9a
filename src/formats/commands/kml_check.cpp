#include "formats/commands/kml_check.hpp"

#include <cerrno>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/kml/reader.hpp"

namespace orlogix {

int check_kml_file(Reporter& r, const std::string& path, KmlCheckResult* result) {
    std::string text;
    if (read_file(path, text) != 0) {
        system_error_box(r, "Error opening track log file", errno);
        return -1;
    }
    if (text.empty()) {
        r.error_box("Reading track log file", "File is empty");
        return -1;
    }
    KmlTrack track;
    // Only the reader's own failure boxes; the first track is the one checked.
    const int count = read_kml_track(r, text, false, track);
    if (count <= 0) {
        r.status("No positions found");
        return -1;
    }
    if (result) *result = {count, track.signature_valid, track.times_in_utc};
    r.status(strformat("%d positions read (%s)", count, track.signature_valid ? "Signature OK" : "NO signature"));
    return track.signature_valid ? 0 : -1;
}

}  // namespace orlogix
