#include "protocols/topnav/track_download.hpp"

#include <algorithm>
#include <optional>

#include "access/instrument_catalogue.hpp"
#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/identity_sink.hpp"
#include "protocols/topnav/block_decoder.hpp"
#include "protocols/topnav/line_reader.hpp"
#include "protocols/topnav/mxp_decoder.hpp"
#include "protocols/topnav/push_reader.hpp"

namespace orlogix::topnav {

namespace {

constexpr const char* kReadTitle = "Read GPS track log";
constexpr const char* kDecodeTitle = "Decode track log sentence";
constexpr int kBlockSilenceMs = 10000;
constexpr int kMxpFirstByteMs = 10000;
constexpr int kMxpSilenceMs = 2000;
constexpr int kEstimateLimit = 5999;

bool is_xc_trainer(const JobContext& ctx) {
    return ctx.protocol_type == ProtocolType::XcTrainer || ctx.protocol_type == ProtocolType::XcTrainerMxp;
}

int open_port(JobContext& ctx) {
    const InstrumentKind* kind = find_instrument(ctx.protocol_type);
    const int baud = ctx.params.baud > 0 ? ctx.params.baud : kind ? kind->connect_baud : 9600;
    return connect_serial(ctx, baud, kind && kind->xon_xoff);
}

// Failures of the reader, reported; -1.
int read_failed(JobContext& ctx, int got) {
    if (got == PushReader::kAborted) return job_aborted(ctx);
    job_error(ctx, "E201 COM port read error", kReadTitle);
    return -1;
}

void report_position(JobContext& ctx, const TrackPosition& p) {
    ctx.reporter.progress_position(p.time, p.latitude, p.longitude, p.gps_altitude);
}

// The header of a downloaded log; the raw copy for every job but a server session's.
int install(JobContext& ctx, std::vector<TrackPosition> positions, int variant, uint32_t serial,
            const std::string& description, PushReader& in) {
    JobResult& r = ctx.result;
    r.product_name = is_xc_trainer(ctx) ? "XcTrainer" : "TopNav";
    r.device_identity = strformat("%s: %d", r.product_name.c_str(), static_cast<int>(serial));
    r.instrument_description = description.substr(0, kDescriptionMax);
    mark_downloaded_track(ctx, {InstrumentFamily::TopNavigator, false, variant != 1});
    r.track_log.positions = std::move(positions);
    if (ctx.options.origin != JobOrigin::ServerSession) r.raw_topnav.bytes = in.take_raw();
    job_status(ctx, format_counts("% points received", static_cast<long long>(r.track_log.positions.size())));
    return 0;
}

}  // namespace

int read_block_track_job(JobContext& ctx) {
    // No waypoint memory to look for the pilot's IDs in: both stay "none".
    identity_sink(ctx);
    const bool xct = is_xc_trainer(ctx);
    if (open_port(ctx) < 0) return -1;
    job_product(ctx, xct ? "XC Trainer" : "Top Navigator");
    job_status(ctx, "Waiting for data");

    PushReader in(ctx);
    LineReader lines;
    BlockDecoder decoder(!xct);
    std::size_t reported = 0;
    std::string chunk;
    while (!decoder.complete()) {
        const int got = in.next(chunk, kForever, kBlockSilenceMs);
        if (got == PushReader::kSilence) {
            // A pulled cable must not hang an unattended download.
            job_error(ctx, "Transfer aborted", kReadTitle);
            return -1;
        }
        if (got < 0) return read_failed(ctx, got);
        for (const char c : chunk) {
            const auto line = lines.feed(static_cast<uint8_t>(c));
            if (line == LineReader::Result::TooLong) {
                job_error(ctx, "E203 Too long sentence", kReadTitle);
                return -1;
            }
            if (line != LineReader::Result::Line || lines.line().empty()) continue;
            const int e = decoder.feed(lines.line());
            if (e != 0 && e != kEndOfLog) {
                job_error(ctx, format_counts("E202 Format error %", e), kReadTitle);
                return -1;
            }
            for (; reported < decoder.positions().size(); ++reported) {
                report_position(ctx, decoder.positions()[reported]);
                job_status(ctx, format_counts("% points received", static_cast<long long>(reported + 1)));
                ctx.reporter.notify(format_counts("Progress %/?", static_cast<long long>(reported + 1)));
            }
            if (decoder.complete()) break;
        }
    }
    const std::string name = xct ? "XC Trainer" : "Top Navigator";
    const int bad = decoder.bad_blocks();
    install(ctx, decoder.take_positions(), decoder.variant(), decoder.serial(),
            strformat("%s, S/N %u", name.c_str(), decoder.serial()), in);
    if (bad > 0 && ctx.options.origin != JobOrigin::ServerSession)
        ctx.reporter.notice_box(kReadTitle, format_counts("Error(s) in % block(s) ignored", bad));
    return 0;
}

int read_mxp_track_job(JobContext& ctx) {
    identity_sink(ctx);
    const bool xct = is_xc_trainer(ctx);
    if (open_port(ctx) < 0) return -1;
    job_status(ctx, "Waiting for data");

    PushReader in(ctx);
    LineReader lines;
    MxpHeader header;
    std::optional<MxpPositions> decoder;
    std::vector<TrackPosition> positions;
    positions.reserve(1000);
    int64_t started_ms = 0;
    auto fail = [&](int code) {
        job_error(ctx, mxp_error_text(code), kDecodeTitle);
        return -1;
    };
    std::string chunk;
    for (;;) {
        const int got = in.next(chunk, kMxpFirstByteMs, kMxpSilenceMs);
        if (got == PushReader::kSilence) {
            // Silence ends a transfer; only a complete one is a success.
            job_error(ctx,
                      format_counts("E202 Track log incomplete (% of %)", static_cast<long long>(positions.size()),
                                    header.count),
                      kDecodeTitle);
            return -1;
        }
        if (got < 0) return read_failed(ctx, got);
        for (const char c : chunk) {
            const auto line = lines.feed(static_cast<uint8_t>(c));
            if (line == LineReader::Result::TooLong) return fail(kMxpTooLong);
            if (line != LineReader::Result::Line || lines.line().empty()) continue;
            if (!decoder) {
                if (const int e = decode_mxp_header(lines.line(), xct, header)) return fail(e);
                decoder.emplace(header);
                job_product(ctx, header.product());
                started_ms = ctx.timer.now_ms();
            } else {
                TrackPosition p;
                if (const int e = decoder->decode(lines.line(), p)) return fail(e);
                p.flags = positions.empty() ? kSegmentStart : 0;
                positions.push_back(p);
                report_position(ctx, p);
                const long long n = static_cast<long long>(positions.size());
                if (n % 100 == 0) {
                    const int64_t elapsed = ctx.timer.now_ms() - started_ms;
                    const long long left = std::clamp<long long>(
                        (static_cast<long long>(header.count) - n) * elapsed / 1000 / n, 0, kEstimateLimit);
                    job_status(ctx, format_counts("Track position % of % (%m %s)", n, header.count, left / 60,
                                                  left % 60));
                    ctx.reporter.notify(format_counts("Progress %/%", n, header.count));
                }
            }
            if (decoder && positions.size() >= header.count)
                return install(ctx, std::move(positions), header.variant, header.serial, header.product(), in);
        }
    }
}

}  // namespace orlogix::topnav
