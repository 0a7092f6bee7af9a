#include "formats/commands/track_read.hpp"

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "formats/tracks/csv.hpp"
#include "formats/tracks/dat.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/igc/reader.hpp"
#include "formats/kml/reader.hpp"
#include "formats/tracks/magellan.hpp"
#include "formats/tracks/mapsource.hpp"
#include "formats/tracks/ozi.hpp"

namespace orlogix {

namespace {

// Readers that answer 0 for a failure they reported (KML, GPX) are mapped
// to -1 here, so that every caller tells failure from an empty file alike.
int from_zero_failure(int count) { return count > 0 ? count : -1; }

}  // namespace

int read_track_bytes(Reporter& r, TrackReadType type, std::string_view bytes, TrackFileRead& out, bool silent) {
    out = TrackFileRead{};
    int count = -1;
    switch (type) {
        case TrackReadType::Kml: {
            KmlTrack track;
            count = from_zero_failure(read_kml_track(r, bytes, silent, track));
            out.positions = std::move(track.positions);
            out.signature_valid = track.signature_valid;
            out.times_in_utc = track.times_in_utc;
            out.baro_present = track.baro_present;
            break;
        }
        case TrackReadType::Ozi: count = read_ozi_track(r, bytes, out.positions); break;
        case TrackReadType::DezuvaDarOld: count = read_dat_track(r, bytes, out.positions); break;
        case TrackReadType::TopNavigator:
            // Decoding these logs comes with the Top Navigator download.
            r.error_box(kReadTrackTitle, "Reading Top Navigator logs is not available yet");
            count = -1;
            break;
        case TrackReadType::MapSource: count = read_mapsource_track(r, bytes, out.positions); break;
        case TrackReadType::Magellan: count = read_magellan_log(r, bytes, out.positions); break;
        case TrackReadType::Igc:
            count = read_igc_track(r, bytes, out.positions, out.raw_igc);
            out.baro_present = true;
            out.has_raw_igc = count > 0;
            break;
        case TrackReadType::Gpx: count = from_zero_failure(read_gpx_track(r, bytes, out.positions)); break;
        case TrackReadType::Csv: {
            CsvTrack track;
            count = read_csv_track(r, bytes, track);
            out.positions = std::move(track.positions);
            out.baro_present = track.baro_present;
            break;
        }
    }
    if (count < 0) {
        out = TrackFileRead{};
        return -1;
    }
    return static_cast<int>(out.positions.size());
}

int read_track_file(Reporter& r, const std::string& path, TrackReadType type, TrackFileRead& out) {
    const FileReadTitles titles{.open = "Error opening file", .size = "Error opening track log file",
                                .not_regular = "Error opening track log file", .empty = kReadTrackTitle,
                                .memory = "File buffer memory allocation", .read = "Track log file read error"};
    std::string bytes;
    if (read_whole_file(r, path, titles, bytes) < 0) return -1;
    return read_track_bytes(r, type, bytes, out);
}

int read_track_file(Reporter& r, const std::string& path, TrackFileRead& out) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        r.error_box("Parsing command line", "Missing track log file extension");
        return -1;
    }
    const std::optional<TrackReadType> type = track_read_type_for_path(path);
    if (!type) {
        r.error_box("Parsing command line", "Unsupported track log file extension");
        return -1;
    }
    return read_track_file(r, path, *type, out);
}

}  // namespace orlogix
