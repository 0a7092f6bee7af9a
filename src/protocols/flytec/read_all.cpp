#include "protocols/flytec/read_all.hpp"

#include <cerrno>
#include <filesystem>
#include <new>
#include <system_error>

#include "access/job_context.hpp"
#include "analysis/flight_statistics.hpp"
#include "analysis/optimise.hpp"
#include "analysis/track_filters.hpp"
#include "core/file_names.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/kml/logbook.hpp"
#include "protocols/flytec/link_session.hpp"
#include "protocols/flytec/sentences.hpp"
#include "protocols/flytec/track_download.hpp"
#include "protocols/flytec/track_reader.hpp"

namespace orlogix::flytec {

namespace {

constexpr const char* kTitle = "Read GPS track logs";
constexpr const char* kSaveTitle = "Save track for DezuvaDar";
constexpr int kTrackSilenceMs = 3000;
// Fewer positions make no flight worth analysing.
constexpr std::size_t kAnalysedAbove = 9;

constexpr IgcErrorTexts kTexts{"E201 Track log memory allocation", "E205 Bad record type (%02X)",
                               "E207 Too long sentence", "E206 Format error %"};

int fail(JobContext& ctx, const std::string& text, const char* title = kTitle) {
    job_error(ctx, text, title);
    return -1;
}

// One listed track, read to its silence; its bytes are not kept.
int read_listed_track(JobContext& ctx, int index, uint32_t duration, std::vector<TrackPosition>& positions) {
    job_status(ctx, format_counts("Reading track log %", index + 1));
    if (send_request(ctx, track_request(index)) < 0) return fail(ctx, "E202 COM port write error");
    std::string scratch;
    TrackReader reader(ctx, duration, scratch, kTexts, false);
    reader.all_tracks_number = index + 1;
    try {
        reader.positions.reserve(1000);
    } catch (const std::bad_alloc&) {
        return fail(ctx, "E201 Track log memory allocation");
    }
    const ReadEnd end = read_instrument(ctx, kTrackSilenceMs, 0, [&](char c) {
        // A whole track of raw text is not wanted here, only its records.
        if (scratch.size() > 4096) scratch.clear();
        return reader.take(c);
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E203 COM port read error");
    if (!reader.error.empty()) return fail(ctx, reader.error);
    if (reader.lines.in_record()) return fail(ctx, "E203 COM port read error");
    positions = std::move(reader.positions);
    return 0;
}

// The flight's statistics, optimisation and trip folder, appended to out.
// 0, or -1 after reporting.
int append_analysed_flight(JobContext& ctx, int index, std::vector<TrackPosition>&& positions, std::string& out) {
    if (positions.size() <= kAnalysedAbove) return 0;
    if (ctx.options.log_filter && speed_analysis(positions) <= kAnalysedAbove) return 0;
    job_status(ctx, format_counts("Analysing track log %", index + 1));
    FlightStatistics stats;
    stats.positions = std::move(positions);
    stats.has_download_time = 1;
    stats.download_time = calendar_now();
    stats.times_in_utc = 1;
    stats.baro_present = 1;
    compute_statistics(stats);

    OptimisationSettings settings;
    settings.no_loop_opt = ctx.options.no_loop_opt;
    const int optimised = optimise_track(stats.positions, settings, stats.results, {},
                                         HaltToken(&ctx.timer.abort_flag()));
    if (optimised == kOptimiseHalted) return job_aborted(ctx);
    if (optimised != 0) return fail(ctx, "Memory allocation error", "Analysing track");

    TripStatistics trip = trip_statistics(stats);
    TripTexts texts;
    if (!ctx.result.instrument_description.empty()) texts.instrument = ctx.result.instrument_description;
    texts.max_gap = settings.loop_flight_gap;
    std::string folder;
    if (make_trip_folder(ctx.reporter, "Making GoogleEarth track folder", stats.positions, trip, texts, folder) != 0)
        return -1;
    try {
        out += folder;
    } catch (const std::bad_alloc&) {
        return fail(ctx, "Memory allocation error", "Making GoogleEarth track folder");
    }
    return 0;
}

// Asks where the document goes and writes it whole. 0 or -1.
int save_document(JobContext& ctx, const std::string& folders) {
    const Reporter::SaveChoice choice =
        ctx.reporter.ask_save_path(kSaveTitle, {"DezuvaDar files (*.kml)", "All Files (*.*)"});
    if (choice.path.empty()) return -1;
    std::string path = choice.path;
    if (complete_file_name(ctx.reporter, path, choice.filter == 0 ? ".kml" : nullptr) < 0) return -1;
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (exists && ctx.reporter.question_box(kSaveTitle, "File already exists. Overwrite ?") != kBoxOk) return -1;
    std::string document;
    document.reserve(kKmlDocumentHead.size() + folders.size() + kKmlDocumentTail.size());
    document.append(kKmlDocumentHead).append(folders).append(kKmlDocumentTail);
    if (write_file_new(path, document, exists) != 0) {
        system_error_box(ctx.reporter, "File write error", errno);
        return -1;
    }
    ctx.reporter.notice_box("Save DezuvaDar track", "File written");
    return 0;
}

}  // namespace

int read_all_tracks_job(JobContext& ctx) {
    std::string folders;
    try {
        folders.reserve(10000);
    } catch (const std::bad_alloc&) {
        return fail(ctx, "Memory allocation error");
    }
    ProductInfo info;
    if (open_and_identify(ctx, info) < 0) return -1;
    TrackList list;
    if (read_track_list(ctx, list) < 0) return -1;
    const uint32_t mask = choose_tracks(ctx, list, ctx.result.product_name);
    if (mask == 0) return -1;
    for (int i = 0; i <= kLastTrackIndex; ++i) {
        if (!(mask & (1u << i))) continue;
        std::vector<TrackPosition> positions;
        if (read_listed_track(ctx, i, list.duration[i], positions) < 0) return -1;
        if (append_analysed_flight(ctx, i, std::move(positions), folders) < 0) return -1;
    }
    job_status(ctx, "Downloading completed");
    return save_document(ctx, folders);
}

}  // namespace orlogix::flytec
