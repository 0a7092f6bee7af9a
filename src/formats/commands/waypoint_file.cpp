#include "formats/commands/waypoint_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const int e = errno;
        if (fd >= 0) ::close(fd);
        system_error_box(r, "Error opening waypoint file", e);
        return -1;
    }
    if (S_ISREG(st.st_mode) && st.st_size == 0) {
        ::close(fd);
        r.error_box(kReadWaypointFileTitle, "File is empty");
        return -1;
    }
    std::string bytes;
    try {
        bytes.reserve(S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 4096);
    } catch (const std::exception&) {
        ::close(fd);
        system_error_box(r, "File buffer memory allocation", ENOMEM);
        return -1;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int e = errno;
            ::close(fd);
            system_error_box(r, "Waypoint file read error", e);
            return -1;
        }
        if (got == 0) break;
        try {
            bytes.append(chunk, static_cast<std::size_t>(got));
        } catch (const std::bad_alloc&) {
            ::close(fd);
            system_error_box(r, "File buffer memory allocation", ENOMEM);
            return -1;
        }
    }
    ::close(fd);
    if (bytes.empty()) {
        r.error_box(kReadWaypointFileTitle, "File is empty");
        return -1;
    }
    return read_waypoint_text(r, bytes, interactive, time_now(), out);
}

}  // namespace orlogix
