#include "protocols/flytec/track_download.hpp"

#include <new>

#include "access/job_context.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/flytec/link_session.hpp"
#include "protocols/flytec/sentences.hpp"
#include "protocols/flytec/track_join.hpp"
#include "protocols/flytec/track_reader.hpp"

namespace orlogix::flytec {

namespace {

constexpr const char* kListTitle = "Read GPS track list";
constexpr const char* kTrackTitle = "Read GPS track log";
constexpr int kListSilenceMs = 1000;
constexpr int kTrackSilenceMs = 2000;
constexpr int kBeforeRequestMs = 500;

int fail(JobContext& ctx, const std::string& text, const char* title = kTrackTitle) {
    job_error(ctx, text, title);
    return -1;
}

constexpr IgcErrorTexts kTexts{"E204 Track log memory allocation", "E205 Bad record type (%02X)",
                               "E207 Too long sentence", "E206 Format error %"};

// One track, requested and read to its end. 0, or -1 after reporting.
int download_one(JobContext& ctx, int index, uint32_t duration, TrackDownload& out, std::vector<TrackPosition>& got) {
    TrackReader reader(ctx, duration, out.raw.bytes, kTexts, false);
    try {
        reader.positions.reserve(2000);
    } catch (const std::bad_alloc&) {
        return fail(ctx, "E201 Track log memory allocation");
    }
    std::string request;
    if (index < 0) {
        job_status(ctx, "Requesting track log");
        request = newest_track_request();
    } else {
        job_status(ctx, format_counts("Requesting track log %", index + 1));
        if (!ctx.pause_ms(kBeforeRequestMs)) return job_aborted(ctx);
        request = track_request(index);
    }
    if (send_request(ctx, request) < 0) return fail(ctx, "E202 COM port write error");

    const ReadEnd end = read_instrument(ctx, kTrackSilenceMs, 0, [&reader](char c) { return reader.take(c); });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E203 COM port read error");
    if (const std::string e = reader.finish("E203 COM port read error", out.raw, out.all_g_records); !e.empty())
        return fail(ctx, e);
    got = std::move(reader.positions);
    return 0;
}

}  // namespace

int read_track_list(JobContext& ctx, TrackList& list) {
    job_status(ctx, "Requesting track list");
    list = TrackList{};
    ctx.track_list = {};
    if (send_request(ctx, track_list_request()) < 0) return fail(ctx, "E500 COM port write error", kListTitle);
    LineAssembler lines(79);
    TrackListError error = TrackListError::None;
    const ReadEnd end = read_instrument(ctx, kListSilenceMs, 0, [&](char c) {
        if (!lines.feed(c)) return true;
        TrackListLine line;
        error = parse_track_list_line(lines.line(), line);
        if (error != TrackListError::None) return false;
        list.store(line);
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E503 COM port read error", kListTitle);
    if (error != TrackListError::None) return fail(ctx, track_list_error_text(error), kListTitle);
    for (int i = 0; i < kTrackSlots; ++i) ctx.track_list[i] = {list.start[i], list.duration[i]};
    const int found = list.count();
    const std::string text = format_counts("% tracks in track list found", found);
    job_status(ctx, text);
    // An empty list ends the job: that goes through the error report too,
    // so that a command line or a server client learns why.
    if (found == 0) return fail(ctx, text, kListTitle);
    return found;
}

std::string track_line(int index, uint32_t start, uint32_t duration) {
    const CalendarTime t = calendar_from_time(start);
    return strformat("%02d   %d-%02d-%02d   %02d:%02d:%02d   %d:%02d:%02d", index + 1, t.year, t.month, t.day, t.hour,
                     t.minute, t.second, static_cast<int>(duration / 3600), static_cast<int>(duration / 60 % 60),
                     static_cast<int>(duration % 60));
}

uint32_t choose_tracks(JobContext& ctx, const TrackList& list, const std::string& product) {
    std::vector<std::string> lines;
    std::vector<int> indexes;
    int newest = 0;
    for (int i = 0; i < kTrackSlots; ++i) {
        if (list.start[i] == 0) continue;
        if (list.start[i] > list.start[indexes.empty() ? i : indexes[newest]]) newest = static_cast<int>(indexes.size());
        lines.push_back(track_line(i, list.start[i], list.duration[i]));
        indexes.push_back(i);
    }
    const std::vector<int> chosen = ctx.reporter.choose_many(
        strformat("Track List (%s, %s)", ctx.port_name.c_str(), product.c_str()),
        {"Showing up to 31 tracks.", "Multiple track selection is not available on all GPS types."}, lines, newest);
    uint32_t mask = 0;
    for (int line : chosen)
        if (line >= 0 && line < static_cast<int>(indexes.size())) mask |= 1u << indexes[line];
    return mask;
}

int download_tracks(JobContext& ctx, uint32_t mask, const TrackList* list, TrackDownload& out) {
    out = TrackDownload{};
    try {
        out.raw.bytes.reserve(20000);
    } catch (const std::bad_alloc&) {
        return fail(ctx, "E200 Track log memory allocation");
    }
    int tracks = 0;
    for (int i = 0; i <= kLastTrackIndex; ++i) {
        if (!(mask & (1u << i))) continue;
        std::vector<TrackPosition> got;
        if (download_one(ctx, list ? i : -1, list ? list->duration[i] : 0, out, got) < 0) return -1;
        ++tracks;
        try {
            if (!join_track(out.positions, std::move(got))) return fail(ctx, "Overlapping track start/stop times");
        } catch (const std::bad_alloc&) {
            return fail(ctx, "E204 Track log memory allocation");
        }
        if (!list) break;
    }
    if (tracks > 1) {
        job_status(ctx, format_counts("% points received", static_cast<long long>(out.positions.size())));
        // Several IGC files one after the other make no IGC file.
        out.raw = RawIgcLog{};
    }
    return 0;
}

int install_track_download(JobContext& ctx, TrackDownload&& got, InstrumentFamily family) {
    // A server session's client gets positions only, and no notice.
    const bool server = ctx.options.origin == JobOrigin::ServerSession;
    JobResult& r = ctx.result;
    mark_downloaded_track(ctx, {family, true, true, got.all_g_records ? 1u : 0u});
    r.track_log.positions = std::move(got.positions);
    // A server client that asked for the flight gets the instrument's own file.
    if (!server || ctx.options.deliver_flight) r.raw_igc = std::move(got.raw);
    if (!got.all_g_records && !server) ctx.reporter.notice_box("Read GPS track log", "No G-records found");
    return got.all_g_records ? 1 : 0;
}

}  // namespace orlogix::flytec
