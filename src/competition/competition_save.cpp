#include "competition/competition_save.hpp"

#include <climits>
#include <cerrno>
#include <filesystem>

#include "analysis/flight_statistics.hpp"
#include "analysis/optimise.hpp"
#include "competition/competition_times.hpp"
#include "competition/pilot_text.hpp"
#include "core/overwrite.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc/writer.hpp"
#include "formats/kml/logbook.hpp"

namespace orlogix {

namespace {

constexpr std::size_t kMinStatisticsPositions = 10;

int fail(Reporter& r, const char* text) {
    r.error_box(kCompSaveTitle, text);
    return -1;
}

// Errors that mean the file could not be made at all, not a failed write.
bool is_creation_error(int e) {
    return e == EACCES || e == EPERM || e == ENOENT || e == ENOTDIR || e == EISDIR || e == EROFS ||
           e == ENAMETOOLONG || e == ELOOP;
}

std::string file_line(const std::string& path, const char* what) { return "File \"" + path + "\" " + what; }

// 1 written, 0 declined, -1 failed (reported), -2 exists in a command-line run (reported).
int write_competition_file(Reporter& r, const std::string& path, std::string_view bytes, bool command_line) {
    if (write_file_new(path, bytes) == 0) return 1;
    if (errno == EEXIST) {
        if (command_line) {
            r.notify(file_line(path, "already processed"));
            return -2;
        }
        if (!ask_overwrite(r, OverwriteBox::OkCancel)) return 0;
        if (write_file_new(path, bytes, true) == 0) return 1;
    }
    const int e = errno;
    system_error_box(r, is_creation_error(e) ? "Error opening file" : "File write error", e);
    return -1;
}

int written_or_stop(Reporter& r, int rc, const std::string& path, bool signed_file) {
    if (rc != 1) return rc == 0 ? 0 : -1;
    r.status(signed_file ? "File saved, signature OK" : "File saved, NO signature");
    r.notify(file_line(path, "written"));
    return 1;
}

}  // namespace

WindowCopy window_copy(const std::vector<TrackPosition>& source, uint32_t start, uint32_t stop) {
    WindowCopy out;
    out.positions.reserve(source.size());
    for (const TrackPosition& p : source) {
        if (is_invalid_time(p.time)) {
            out.bad_stamps = true;
        } else if (!in_time_window(p.time, start, stop)) {
            out.filtered = true;
        } else {
            out.positions.push_back(p);
        }
    }
    return out;
}

std::string competition_file_base(const std::string& dir, const CurrentPilot& pilot, const CalendarTime& now) {
    std::string name = pilot.name;
    for (char& c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
    }
    std::string base = dir;
    if (!base.empty() && base.back() != '/') base += '/';
    base += name.empty() ? "[pilot name]" : name;
    base += strformat(".%d%02d%02d-%02d%02d%02d.", now.year, now.month, now.day, now.hour, now.minute, now.second);
    base += pilot.ids.civl_id >= 0 ? strformat("%lld.", static_cast<long long>(pilot.ids.civl_id)) : "[CIVLID].";
    base += pilot.ids.comp_id >= 0 ? strformat("%lld", static_cast<long long>(pilot.ids.comp_id)) : "[COMPID]";
    return base;
}

bool competition_name_fits(const std::string& base) {
    const std::string path = base + ".kml";
    return std::filesystem::path(path).filename().string().size() <= NAME_MAX && path.size() < PATH_MAX;
}

int save_competition_log(Reporter& r, TrackLog& log, const std::vector<TrackPosition>& source,
                         const CurrentPilot& pilot, const CompetitionSaveSettings& settings, const CalendarTime& now,
                         const SplitChoice& split) {
    if (source.empty()) return 0;
    WindowCopy copy = window_copy(source, settings.window_start, settings.window_stop);
    if (split && !copy.positions.empty() && !split(copy.positions)) return 0;
    std::vector<TrackPosition>& positions = copy.positions;
    if (positions.empty()) {
        std::string text = "No positions found";
        if (copy.bad_stamps) text += "\r\nSome removed due to bad timestamp";
        if (copy.filtered) text += "\r\nSome removed due to time filtering";
        r.error_box(kCompSaveTitle, text);
        return -1;
    }
    if (positions.size() < kMinStatisticsPositions) return fail(r, "Too few positions for statistics analysis");
    if (vario_filter(positions, settings.vario_filter) > 0) {
        r.notice_box(kCompSaveTitle, "Position(s) have been removed due to vario filtering");
        if (positions.size() < kMinStatisticsPositions) return fail(r, "Too few positions for statistics analysis");
    }
    if (settings.log_filter) {
        const std::size_t before = positions.size();
        const std::size_t kept = speed_analysis(positions);
        if (kept <= 9) return fail(r, "Too few positions left after track speed analysis");
        if (kept < before) r.notice_box(kCompSaveTitle, "Position(s) have been removed during track speed analysis");
    }

    const std::string base = competition_file_base(settings.comp_dir, pilot, now);
    if (!competition_name_fits(base)) return fail(r, "Too long filename");

    FlightStatistics stats;
    stats.positions = std::move(positions);
    fill_statistics(stats, log.header, now);
    stats.has_pilot_ids = 1;
    stats.competition_id = pilot_number_text(pilot.ids.comp_id);
    stats.civl_id = pilot_number_text(pilot.ids.civl_id);

    if (settings.write_igc) {
        // The pilot's name and number, not the path: the path tells the
        // folder and outgrows what an IGC reader keeps of a header text.
        IgcHeaderTexts texts;
        texts.pilot = pilot.name;
        texts.competition_id = stats.competition_id;
        IgcEncodeOptions options;
        options.source = log.header.track_log_source;
        options.instrument_description = log.header.instrument_description;
        options.fr_serial = "000";
        options.download_time = log.header.download_time;
        std::string igc;
        bool signed_igc = false;
        if (encode_igc(stats.positions, texts, options, igc, signed_igc) < 0)
            return fail(r, "Memory allocation error");
        const std::string path = base + ".igc";
        const int rc = written_or_stop(r, write_competition_file(r, path, igc, settings.command_line), path, signed_igc);
        if (rc != 1) return rc;
    }

    if (optimise_track(stats.positions, settings.optimisation, stats.results) == kOptimiseNoMemory) {
        r.error_box("Analysing track", "Memory allocation error");
        return -1;
    }
    TripStatistics trip = trip_statistics(stats);
    TripTexts texts;
    texts.description = kCompKmlDescription;
    if (!log.header.instrument_description.empty()) texts.instrument = log.header.instrument_description;
    texts.max_gap = settings.optimisation.loop_flight_gap;
    std::string folder;
    if (make_trip_folder(r, kCompSaveTitle, stats.positions, trip, texts, folder) != 0) return -1;
    std::string document;
    document.reserve(kKmlDocumentHead.size() + folder.size() + kKmlDocumentTail.size());
    document.append(kKmlDocumentHead).append(folder).append(kKmlDocumentTail);
    const std::string path = base + ".kml";
    const int rc =
        written_or_stop(r, write_competition_file(r, path, document, settings.command_line), path, trip.download_flag);
    if (rc == 1) log.header.saved = 1;
    return rc;
}

}  // namespace orlogix
