#include "formats/commands/track_write.hpp"

#include <cerrno>

#include "core/overwrite.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/tracks/csv.hpp"
#include "formats/gpx/writer.hpp"
#include "formats/tracks/mapsource.hpp"
#include "formats/tracks/ozi.hpp"

namespace orlogix {

int track_file_bytes(Reporter& r, TrackSaveType type, const std::vector<TrackPosition>& positions,
                     const RawTopNavLog& topnav, uint32_t now, std::string& out) {
    switch (type) {
        case TrackSaveType::Ozi:
            out = ozi_track_text(positions, now);
            if (!out.empty()) return 0;
            r.error_box(kSaveTrackTitle, "Memory allocation error");
            return -1;
        case TrackSaveType::MapSource: out = mapsource_track_bytes(positions); return 0;
        case TrackSaveType::TopNavigator:
            if (topnav.empty()) {
                r.error_box(kSaveTrackTitle, "No TopNav log downloaded");
                return -1;
            }
            out = topnav.bytes;
            return 0;
        case TrackSaveType::Gpx: out = gpx_track_text(positions, now); return 0;
        case TrackSaveType::Csv:
            out = csv_track_text(positions);
            if (!out.empty()) return 0;
            r.error_box(kCsvSaveTitle, "Memory allocation error");
            return -1;
    }
    return -1;
}

int write_track_file(Reporter& r, const std::string& path, TrackSaveType type,
                     const std::vector<TrackPosition>& positions, const RawTopNavLog& topnav) {
    std::string bytes;
    if (track_file_bytes(r, type, positions, topnav, time_now(), bytes) != 0) return -1;
    if (write_file_atomic(path, bytes) != 0) {
        system_error_box(r, "File write error", errno);
        return -1;
    }
    return type == TrackSaveType::TopNavigator ? static_cast<int>(bytes.size())
                                                : static_cast<int>(positions.size());
}

int save_track_log(Reporter& r, std::string& path, int filter, const std::vector<TrackPosition>& positions,
                   TrackLogHeader& header, const RawTopNavLog& topnav, bool remote_control, bool overwrite) {
    if (complete_track_path(r, path, filter, true) != 0) return -1;
    const TrackSaveType type = track_save_type_for_filter(filter);
    if (type == TrackSaveType::TopNavigator && topnav.empty()) {
        r.error_box(kSaveTrackTitle, "No TopNav log downloaded");
        return -1;
    }
    if (!overwrite && !may_replace(r, path, OverwriteBox::OkCancel)) return 0;
    const int written = write_track_file(r, path, type, positions, topnav);
    if (written < 0) return -1;
    if (type != TrackSaveType::TopNavigator) {
        r.status(strformat("%s: %d positions written", path.c_str(), written));
        header.saved = 1;
    } else {
        r.status(path);
    }
    if (!remote_control) r.notice_box(kSaveTrackTitle, "File written");
    return written;
}

}  // namespace orlogix
