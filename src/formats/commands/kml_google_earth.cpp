#include "formats/commands/kml_google_earth.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/report.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc/reader.hpp"
#include "formats/kml/logbook.hpp"

namespace orlogix {

int build_google_earth_document(Reporter& r, std::vector<TrackPosition>& positions, const GoogleEarthOptions& options,
                                const TripAnalysis& analyse, std::string& document) {
    if (positions.size() < 5) {
        r.error_box(kGoogleEarthTitle, "Too few track positions");
        return -1;
    }
    FlightStatistics record;
    record.positions = positions;
    record.first_time = positions.front().time;
    record.last_time = positions.back().time;
    record.duration = record.last_time - record.first_time;
    record.times_in_utc = options.times_in_utc ? 1 : 0;
    record.baro_present = options.baro_present ? 1 : 0;
    if (!analyse || analyse(record) != 0) {
        r.error_box("Analysing track", "Memory allocation error");
        return -1;
    }
    TripStatistics stats = trip_statistics(record);
    // No download time and no pilot IDs here, whatever the analysis left.
    stats.start_time = positions.front().time;
    stats.end_time = positions.back().time;
    stats.duration = stats.end_time - stats.start_time;
    stats.download_flag = options.download_flag;
    stats.download_time = -1;
    stats.pilot_ids = false;
    stats.times_in_utc = options.times_in_utc;
    stats.baro_present = options.baro_present;
    stats.max_climb = std::clamp(stats.max_climb, -9999.0, 9999.0);
    stats.min_climb = std::clamp(stats.min_climb, -9999.0, 9999.0);

    const CalendarTime c = calendar_from_time(stats.start_time);
    const std::string description = strformat("%d-%02d-%02d", c.year, c.month, c.day);
    TripTexts texts;
    texts.description = description;
    if (options.instrument) texts.instrument = *options.instrument;
    texts.program_version = options.program_version;
    texts.max_gap = options.max_gap;
    std::string folder;
    if (make_trip_folder(r, "Making GoogleEarth track folder", positions, stats, texts, folder) != 0) return -1;
    document.clear();
    document += kKmlDocumentHead;
    document += folder;
    document += kKmlDocumentTail;
    return 0;
}

int write_google_earth_file(Reporter& r, const std::string& path, std::vector<TrackPosition> positions,
                            const GoogleEarthOptions& options, const TripAnalysis& analyse) {
    if (path.size() > 256) {
        r.error_box(kGoogleEarthTitle, "File name too long");
        return -1;
    }
    std::error_code ec;
    if (!options.overwrite && std::filesystem::exists(path, ec)) {
        r.error_box(kGoogleEarthTitle, "File already exists");
        return -1;
    }
    std::string document;
    if (build_google_earth_document(r, positions, options, analyse, document) != 0) return -1;
    if (write_file_atomic(path, document) != 0) {
        system_error_box(r, "File write error", errno);
        return -1;
    }
    return 0;
}

std::string kml_path_for(std::string_view input_path) {
    std::filesystem::path p{std::string(input_path)};
    p.replace_extension(".kml");
    return p.string();
}

int convert_igc_to_kml(Reporter& r, const std::string& igc_path, const GoogleEarthOptions& options,
                       const TripAnalysis& analyse) {
    const FileReadTitles titles{.open = "Error opening file", .size = "Error opening file",
                                .not_regular = "Error opening file", .empty = kIgcReadTitle,
                                .memory = "Memory allocation error", .read = "Error opening file"};
    std::string bytes;
    if (read_whole_file(r, igc_path, titles, bytes) < 0) return -1;
    IgcParsed parsed;
    IgcParseError err;
    if (parse_igc(bytes, parsed, err) < 0) {
        r.error_box(kIgcReadTitle, err.text);
        return -1;
    }
    GoogleEarthOptions igc = options;
    igc.download_flag = false;
    igc.times_in_utc = false;
    igc.baro_present = true;
    return write_google_earth_file(r, kml_path_for(igc_path), std::move(parsed.positions), igc, analyse);
}

}  // namespace orlogix
