#include "formats/commands/igc_file.hpp"

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "formats/igc/reader.hpp"

namespace orlogix {

int read_igc_log_file(Reporter& r, std::string_view base_name, std::vector<TrackPosition>& positions, RawIgcLog& raw) {
    if (base_name.size() > 256) {
        r.error_box(kIgcReadTitle, "File name too long");
        return -1;
    }
    const FileReadTitles titles{.open = "Error opening file", .size = "Error opening IGC Log File",
                                .not_regular = "Error opening file", .empty = kIgcReadTitle,
                                .memory = "Memory allocation error", .read = "IGC track log file read error"};
    std::string bytes;
    if (read_whole_file(r, std::string(base_name) + ".igc", titles, bytes) < 0) return -1;
    return read_igc_track(r, bytes, positions, raw);
}

}  // namespace orlogix
