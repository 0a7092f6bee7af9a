#include "formats/commands/track_read.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/report.hpp"
#include "core/file_names.hpp"

namespace orlogix {

int read_track_bytes(Reporter& r, const FileFormat& format, std::string_view bytes, TrackFileRead& out,
                     bool silent) {
    out = TrackFileRead{};
    if (format.read_track == nullptr || format.read_track(r, bytes, silent, out) < 0) {
        out = TrackFileRead{};
        return -1;
    }
    return static_cast<int>(out.positions.size());
}

int read_track_file(Reporter& r, const std::string& path, const FileFormat& format, TrackFileRead& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        system_error_box(r, "Error opening file", errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = S_ISREG(st.st_mode) ? errno : EISDIR;
        ::close(fd);
        system_error_box(r, "Error opening track log file", e);
        return -1;
    }
    if (st.st_size == 0) {
        ::close(fd);
        r.error_box(kReadTrackTitle, "File is empty");
        return -1;
    }
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : EIO;
            ::close(fd);
            system_error_box(r, "Track log file read error", e);
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return read_track_bytes(r, format, bytes, out);
}

int read_track_file(Reporter& r, const std::string& path, TrackFileRead& out) {
    if (!has_extension(path)) {
        r.error_box("Parsing command line", "Missing track log file extension");
        return -1;
    }
    const FileFormat* format = format_named_by_extension(FormatKind::Track, false, path);
    if (format == nullptr) {
        r.error_box("Parsing command line", "Unsupported track log file extension");
        return -1;
    }
    return read_track_file(r, path, *format, out);
}

}  // namespace orlogix
