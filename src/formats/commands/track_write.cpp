#include "formats/commands/track_write.hpp"

#include <cerrno>

#include "core/overwrite.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"

namespace orlogix {

int track_file_bytes(Reporter& r, const FileFormat& format, const std::vector<TrackPosition>& positions,
                     const RawTopNavLog& topnav, uint32_t now, std::string& out) {
    if (format.write_track == nullptr) return -1;
    return format.write_track(r, TrackWriteSource{positions, topnav}, now, out);
}

int write_track_file(Reporter& r, const std::string& path, const FileFormat& format,
                     const std::vector<TrackPosition>& positions, const RawTopNavLog& topnav) {
    std::string bytes;
    if (track_file_bytes(r, format, positions, topnav, time_now(), bytes) != 0) return -1;
    if (write_file_atomic(path, bytes) != 0) {
        system_error_box(r, "File write error", errno);
        return -1;
    }
    return (format.carries & kCarriesRawLog) != 0 ? static_cast<int>(bytes.size())
                                                  : static_cast<int>(positions.size());
}

int save_track_log(Reporter& r, std::string& path, int filter, const std::vector<TrackPosition>& positions,
                   TrackLogHeader& header, const RawTopNavLog& topnav, bool remote_control, bool overwrite) {
    if (complete_for_filter(r, path, FormatKind::Track, true, filter) != 0) return -1;
    const FileFormat& format = format_for_filter(FormatKind::Track, true, filter);
    const bool raw_log = (format.carries & kCarriesRawLog) != 0;
    if (raw_log && topnav.empty()) {
        r.error_box(kSaveTrackTitle, "No TopNav log downloaded");
        return -1;
    }
    if (!overwrite && !may_replace(r, path, OverwriteBox::OkCancel)) return 0;
    const int written = write_track_file(r, path, format, positions, topnav);
    if (written < 0) return -1;
    if (!raw_log) {
        r.status(strformat("%s: %d positions written", path.c_str(), written));
        header.saved = 1;
    } else {
        r.status(path);
    }
    if (!remote_control) r.notice_box(kSaveTrackTitle, "File written");
    return written;
}

}  // namespace orlogix
