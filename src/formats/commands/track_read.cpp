#include "formats/commands/track_read.hpp"

#include "core/file_read.hpp"
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
    const FileReadTitles titles{.open = "Error opening file", .size = "Error opening track log file",
                                .not_regular = "Error opening track log file", .empty = kReadTrackTitle,
                                .memory = "File buffer memory allocation", .read = "Track log file read error"};
    std::string bytes;
    if (read_whole_file(r, path, titles, bytes) < 0) return -1;
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
