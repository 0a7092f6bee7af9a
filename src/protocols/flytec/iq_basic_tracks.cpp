#include "protocols/flytec/iq_basic_tracks.hpp"

#include <algorithm>
#include <new>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/flytec/iq_basic_commands.hpp"
#include "protocols/flytec/iq_basic_session.hpp"
#include "protocols/flytec/track_join.hpp"
#include "protocols/flytec/track_reader.hpp"

namespace orlogix::flytec {

namespace {

constexpr const char* kListTitle = "Read track list";
constexpr const char* kTrackTitle = "Read GPS track log";
constexpr int kListSilenceMs = 1000;
constexpr int kTrackSilenceMs = 2000;
constexpr int kBeforeRequestMs = 500;
constexpr IgcErrorTexts kTexts{"Track log memory allocation", "Bad record type (%02X)", "Too long sentence",
                               "Format error % in IGC sentence", "HFDTE sentence error: "};

int fail(JobContext& ctx, const std::string& text, const char* title = kTrackTitle) {
    job_error(ctx, text, title);
    return -1;
}

// One track, requested and read to its end. 0, or -1 after reporting.
int download_one(JobContext& ctx, int count, const IqTrackEntry& entry, TrackDownload& out,
                 std::vector<TrackPosition>& got) {
    TrackReader reader(ctx, entry.duration, out.raw.bytes, kTexts, true);
    try {
        reader.positions.reserve(2000);
    } catch (const std::bad_alloc&) {
        return fail(ctx, kTexts.memory);
    }
    job_status(ctx, format_counts("Requesting track log %", count + 1));
    if (!ctx.pause_ms(kBeforeRequestMs)) return job_aborted(ctx);
    if (write_text(ctx, iq_track_request(entry.number)) < 0) return fail(ctx, "COM port write error");

    // No flow control on this line: XON and XOFF in the text are noise.
    const ReadEnd end = iq_read(ctx, kTrackSilenceMs, 0, true, [&reader](char c) { return reader.take(c); });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "COM port read error");
    if (const std::string e = reader.finish("COM port read error", out.raw, out.all_g_records); !e.empty())
        return fail(ctx, e);
    got = std::move(reader.positions);
    return 0;
}

}  // namespace

int iq_read_track_list(JobContext& ctx, std::vector<IqTrackEntry>& list) {
    job_status(ctx, "Requesting track list");
    list.clear();
    if (write_text(ctx, kIqTrackListRequest) < 0) return fail(ctx, "COM port write error", kListTitle);
    bool no_memory = false;
    const ReadEnd end = iq_read_lines(ctx, kListSilenceMs, 0, [&](std::string_view line) {
        IqTrackEntry e;
        if (list.size() >= kIqMaxTracks || !parse_iq_track_entry(line, e)) return true;
        try {
            list.push_back(std::move(e));
        } catch (const std::bad_alloc&) {
            no_memory = true;
            return false;
        }
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "COM port read error", kListTitle);
    if (no_memory) return fail(ctx, kTexts.memory, kListTitle);
    if (list.empty()) return fail(ctx, "No tracks found", kListTitle);
    return static_cast<int>(list.size());
}

std::string iq_track_line(const IqTrackEntry& e) {
    return strformat("%3u   %s   %s   %s", e.number, e.text[0].c_str(), e.text[1].c_str(), e.text[2].c_str());
}

std::vector<IqTrackEntry> iq_choose_tracks(JobContext& ctx, const std::vector<IqTrackEntry>& list) {
    std::vector<std::string> lines;
    for (const IqTrackEntry& e : list) lines.push_back(iq_track_line(e));
    std::vector<int> chosen = ctx.reporter.choose_many(
        strformat("Track List (%s, %s)", ctx.port_name.c_str(), ctx.result.product_name.c_str()),
        {"Showing up to 31 tracks.", "Multiple track selection is not available on all GPS types."}, lines, 0);
    // List order, each line once, whatever order the answer came in.
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    std::vector<IqTrackEntry> out;
    for (int i : chosen)
        if (i >= 0 && i < static_cast<int>(list.size())) out.push_back(list[static_cast<std::size_t>(i)]);
    return out;
}

int iq_download_tracks(JobContext& ctx, const std::vector<IqTrackEntry>& chosen, TrackDownload& out) {
    out = TrackDownload{};
    try {
        out.raw.bytes.reserve(20000);
    } catch (const std::bad_alloc&) {
        return fail(ctx, kTexts.memory);
    }
    int count = 0;
    for (const IqTrackEntry& entry : chosen) {
        std::vector<TrackPosition> got;
        if (download_one(ctx, count, entry, out, got) < 0) return -1;
        ++count;
        if (out.positions.empty()) {
            out.positions = std::move(got);
            continue;
        }
        const uint32_t first = out.positions.front().time, last = out.positions.back().time;
        const uint32_t got_first = got.front().time, got_last = got.back().time;
        try {
            if (!join_track(out.positions, std::move(got)))
                return fail(ctx, strformat("Overlapping tracks (%08X,%08X)(%08X,%08X)", first, last, got_first, got_last));
        } catch (const std::bad_alloc&) {
            return fail(ctx, kTexts.memory);
        }
    }
    if (count > 1) {
        job_status(ctx, format_counts("% points received", static_cast<long long>(out.positions.size())));
        // Several IGC files one after the other make no IGC file.
        out.raw = RawIgcLog{};
    }
    return 0;
}

}  // namespace orlogix::flytec
