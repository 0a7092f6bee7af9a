#include "sim/data_files.hpp"

#include <cerrno>

#include "core/file_names.hpp"
#include "core/report.hpp"
#include "core/file_read.hpp"
#include "core/time.hpp"
#include "formats/commands/track_read.hpp"
#include "formats/commands/waypoint_file.hpp"

namespace orlogix::sim {

namespace {

// The readable format of a kind the path's extension names, or null after
// reporting; the file's bytes in `bytes`.
const FileFormat* open_data(Reporter& r, FormatKind kind, const char* what, const std::string& path,
                            std::string& bytes) {
    const std::string title = std::string("Load ") + what + " file";
    const FileFormat* format = format_named_by_extension(kind, false, path);
    if (format == nullptr) {
        r.error_box(title, "Unknown " + std::string(what) + " file type \"" + lower_extension(path) + "\": " + path);
        return nullptr;
    }
    if (read_file(path, bytes) < 0) {
        const int error = errno;
        r.error_box(title, path + ": " + system_error_text(error));
        return nullptr;
    }
    return format;
}

}  // namespace

int load_track_file(Reporter& r, const std::string& path, TrackLog& out) {
    std::string bytes;
    const FileFormat* format = open_data(r, FormatKind::Track, "track", path, bytes);
    if (format == nullptr) return -1;
    TrackFileRead read;
    const int n = read_track_bytes(r, *format, bytes, read, true);
    if (n < 0) return n;
    // The instrument's memory: what the file tells of UTC and pressure altitudes.
    out = TrackLog{};
    out.positions = std::move(read.positions);
    out.header.times_in_utc = read.times_in_utc || (format->carries & kCarriesUtcTimes) != 0 ? 1 : 0;
    out.header.baro_present = read.baro_present || (format->carries & kCarriesBaroHeights) != 0 ? 1 : 0;
    return n;
}

int load_waypoint_file(Reporter& r, const std::string& path, std::vector<Waypoint>& out) {
    std::string bytes;
    if (open_data(r, FormatKind::Waypoint, "waypoint", path, bytes) == nullptr) return -1;
    std::vector<Waypoint> loaded;
    const int n = read_waypoint_text(r, bytes, false, time_now(), loaded);
    if (n < 0) return n;
    out = std::move(loaded);
    return n;
}

}  // namespace orlogix::sim
