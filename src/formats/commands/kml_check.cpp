#include "formats/commands/kml_check.hpp"

#include <cerrno>

#include "core/report.hpp"
#include "core/file_read.hpp"
#include "formats/kml/reader.hpp"

namespace orlogix {

int check_kml_file(Reporter& r, const std::string& path, KmlCheckResult* result) {
    const FileReadTitles titles{.open = "Error opening track log file", .size = "Error opening track log file",
                                .not_regular = "Error opening track log file", .empty = "Reading track log file",
                                .memory = "File buffer memory allocation", .read = "Error opening track log file"};
    std::string text;
    if (read_whole_file(r, path, titles, text) < 0) return -1;
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
