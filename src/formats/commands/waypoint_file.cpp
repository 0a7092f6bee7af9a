#include "formats/commands/waypoint_file.hpp"

#include <cerrno>
#include <new>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/waypoints/line_formats.hpp"

namespace orlogix {

std::string waypoint_file_bytes(const FileFormat& format, const std::vector<Waypoint>& waypoints, uint32_t now) {
    return format.write_waypoints(waypoints, now);
}

int write_waypoint_file(Reporter& r, const std::string& path, const FileFormat& format,
                        const std::vector<Waypoint>& waypoints) {
    std::string bytes;
    try {
        bytes = waypoint_file_bytes(format, waypoints, time_now());
    } catch (const std::bad_alloc&) {
        r.error_box(kSaveWaypointsTitle, "Memory allocation error");
        return -1;
    }
    if (write_file_atomic(path, bytes) != 0) {
        system_error_box(r, "File write error", errno);
        return -1;
    }
    return 0;
}

int read_waypoint_text(Reporter& r, std::string_view bytes, bool interactive, uint32_t now,
                       std::vector<Waypoint>& out) {
    std::vector<Waypoint> read;
    const FileFormat* format = recognise_waypoint_format(bytes);
    const int n = format ? format->read_waypoints(r, reader_input(*format, bytes), interactive, now, read) : 0;
    if (n < 0) return -1;
    if (n == 0 || read.empty()) {
        r.error_box(kWaypointDecodeTitle, "No waypoints found");
        return 0;
    }
    out = std::move(read);
    return static_cast<int>(out.size());
}

int read_waypoint_file(Reporter& r, const std::string& path, bool interactive, std::vector<Waypoint>& out) {
    // A folder opens but cannot be read: a read error, as it always was.
    const FileReadTitles titles{.open = "Error opening waypoint file", .size = "Error opening waypoint file",
                                .not_regular = "Waypoint file read error", .empty = kReadWaypointFileTitle,
                                .memory = "File buffer memory allocation", .read = "Waypoint file read error"};
    std::string bytes;
    if (read_whole_file(r, path, titles, bytes) < 0) return -1;
    return read_waypoint_text(r, bytes, interactive, time_now(), out);
}

}  // namespace orlogix
