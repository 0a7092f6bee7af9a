#include "protocols/flymaster/track_transfer.hpp"

#include <new>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/flymaster/link_session.hpp"
#include "protocols/flymaster/sentences.hpp"
#include "protocols/flytec/igc_decoder.hpp"
#include "protocols/flytec/sentences.hpp"

namespace orlogix::flymaster {

namespace {

constexpr const char* kListTitle = "Read GPS track data";
constexpr const char* kTrackTitle = "Read GPS track log";
constexpr int kListSilenceMs = 2000;
constexpr int kBlockSilenceMs = 3000;
constexpr int kBadBlocksInRow = 3;

int fail(JobContext& ctx, const std::string& text, const char* title = kTrackTitle) {
    job_error(ctx, text, title);
    return -1;
}

int send_byte(JobContext& ctx, uint8_t b) { return write_bytes(ctx, &b, 1); }

}  // namespace

int read_track_list(JobContext& ctx, flytec::TrackList& list) {
    job_status(ctx, "Requesting track list");
    list = flytec::TrackList{};
    ctx.track_list = {};
    if (write_text(ctx, kTrackListRequest) < 0) return fail(ctx, "E500 COM port write error", kListTitle);
    flytec::LineAssembler lines(79);
    flytec::TrackListError error = flytec::TrackListError::None;
    const ReadEnd end = read_instrument(ctx, 200, kListSilenceMs, 0, [&](uint8_t b) {
        if (!lines.feed(static_cast<char>(b))) return true;
        flytec::TrackListLine line;
        error = flytec::parse_track_list_line(lines.line(), line, "$PFMLST");
        if (error != flytec::TrackListError::None) return false;
        list.store(line);
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E503 COM port read error", kListTitle);
    if (error != flytec::TrackListError::None) return fail(ctx, flytec::track_list_error_text(error), kListTitle);
    for (int i = 0; i < flytec::kTrackSlots; ++i) ctx.track_list[i] = {list.start[i], list.duration[i]};
    const int found = list.count();
    const std::string text = format_counts("% tracks in track list found", found);
    job_status(ctx, text);
    // Through the error report, so that a command line or a server client learns why.
    if (found == 0) return fail(ctx, text, kListTitle);
    return found;
}

int download_track(JobContext& ctx, const flytec::TrackList& list, int index, bool b1nav, TrackDownload& out) {
    TrackAssembler assembler(b1nav);
    try {
        assembler.positions().reserve(1000);
    } catch (const std::bad_alloc&) {
        return fail(ctx, "E201 Track log memory allocation");
    }
    job_status(ctx, "Requesting track log");
    if (write_text(ctx, track_request(list.start[static_cast<std::size_t>(index)])) < 0)
        return fail(ctx, "E202 COM port write error");

    const uint32_t listed_duration = list.duration[static_cast<std::size_t>(index)];
    BlockDecoder decoder;
    std::string error;
    bool ended = false, write_failed = false;
    int bad_in_row = 0;
    int64_t first_ms = 0;
    // Every position goes to the notification window; every 200th to the status.
    auto report_from = [&](std::size_t from) {
        const std::vector<TrackPosition>& p = assembler.positions();
        for (std::size_t i = from; i < p.size(); ++i) {
            ctx.reporter.progress_position(p[i].time, p[i].latitude, p[i].longitude, p[i].gps_altitude);
            const long long n = static_cast<long long>(i + 1);
            if (n == 1) first_ms = ctx.timer.now_ms();
            if (n % 200 != 0) continue;
            const int left = flytec::remaining_seconds(p[0].time, listed_duration, p[i].time,
                                                       static_cast<uint64_t>(ctx.timer.now_ms() - first_ms));
            job_status(ctx, format_counts("Track position % (%m %s)", n, left / 60, left % 60));
            ctx.reporter.notify(format_counts("Progress %/?", n));
        }
    };
    auto answer = [&](uint8_t b) {
        if (send_byte(ctx, b) < 0) write_failed = true;
        return !write_failed;
    };
    const ReadEnd end = read_instrument(ctx, 100, kBlockSilenceMs, 0, [&](uint8_t byte) {
        const BlockEvent event = decoder.feed(byte);
        if (event == BlockEvent::None) return true;
        if (event == BlockEvent::BadChecksum) {
            // The instrument sends the block again; only a run of bad ones fails.
            if (++bad_in_row == kBadBlocksInRow) {
                error = "E205 Bad checksum in data block";
                answer(kCancel);
                return false;
            }
            job_status(ctx, "E205 Bad checksum in data block");
            return answer(kBlockBad);
        }
        bad_in_row = 0;
        const std::size_t before = assembler.positions().size();
        const char* e = event == BlockEvent::EndMark ? assembler.finish()
                                                     : assembler.add(decoder.type(), decoder.data());
        report_from(before);
        if (e) {
            error = e;
            answer(kCancel);
            return false;
        }
        if (event == BlockEvent::EndMark || assembler.ended()) {
            ended = true;
            return false;
        }
        return answer(kBlockGood);
    });
    if (end == ReadEnd::Aborted) {
        send_byte(ctx, kCancel);
        return job_aborted(ctx);
    }
    if (end == ReadEnd::Error) return fail(ctx, "E204 COM port read error");
    if (!error.empty()) return fail(ctx, error);
    if (write_failed) return fail(ctx, "E202 COM port write error");
    if (!ended) {
        job_status(ctx, "Timeout receiving data");
        send_byte(ctx, kCancel);
        return fail(ctx, "E203 Timeout receiving data");
    }
    const std::size_t count = assembler.positions().size();
    job_status(ctx, format_counts("% points received", static_cast<long long>(count)));
    // A log without positions would replace the current one with nothing.
    if (count == 0) return fail(ctx, "No points detected");
    if (ctx.options.power_off) write_text(ctx, kPowerOff);
    out.positions = std::move(assembler.positions());
    out.flight = assembler.flight();
    out.description = assembler.description();
    return 0;
}

}  // namespace orlogix::flymaster
