#include "protocols/mlr/jobs.hpp"

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/identity_sink.hpp"
#include "protocols/mlr/fast_transfer.hpp"
#include "protocols/mlr/link_session.hpp"
#include "protocols/mlr/waypoint_sentences.hpp"

namespace orlogix::mlr {

namespace {

constexpr int kSentencePauseMs = 500;
constexpr const char* kWaypointCaption = "Read GPS waypoints";

bool keeps_no_waypoints(const std::string& product_name) {
    return product_name == "Digifly" || product_name == "CoMo";
}

// Listens to "$GPWPL" sentences until the first identifier comes round again.
int listen_for_waypoints(JobContext& ctx, std::vector<Waypoint>& list) {
    job_status(ctx, "Searching for sentences");
    const uint32_t stamp = time_now();
    WplReader reader;
    std::string error;
    bool done = false;
    const ReadEnd end = read_instrument(ctx, kReadChunk, 0, 0, [&](uint8_t b) {
        const WplReader::Result r = reader.feed(static_cast<char>(b));
        if (r == WplReader::Result::More) return true;
        if (r == WplReader::Result::Error) {
            error = format_counts("E302 Format error %", reader.error());
            return false;
        }
        Waypoint w;
        const int bad = split_wpl_name(reader.sentence().name, w.identifier, w.comment);
        if (bad == 5) error = "E305 Bad waypoint ID character";
        if (bad == 6) error = "E306 Missing waypoint ID";
        if (bad) return false;
        if (!list.empty() && w.identifier == list.front().identifier) {
            done = true;
            return false;
        }
        w.latitude = reader.sentence().latitude;
        w.longitude = reader.sentence().longitude;
        w.time = stamp;
        list.push_back(std::move(w));
        ctx.reporter.notify(strformat("Waypoint count %d", static_cast<int>(list.size())));
        job_status(ctx, format_counts("Waypoint % read", static_cast<long long>(list.size())));
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) error = "E301 COM port read error";
    if (!done) {
        job_error(ctx, error, kWaypointCaption);
        return -1;
    }
    job_status(ctx, format_counts("Waypoints read (%)", static_cast<long long>(list.size())));
    return 0;
}

}  // namespace

int read_track_log_job(JobContext& ctx) {
    MlrProduct product;
    if (identify_mlr(ctx, product) < 0) return -1;
    // A competition download checks the pilot's ID waypoints first.
    const IdentitySink identity = identity_sink(ctx);
    if (identity && !keeps_no_waypoints(ctx.result.product_name) &&
        fast_waypoint_download(ctx, nullptr, identity) < 0)
        return -1;
    TrackLog& log = ctx.result.track_log;
    if (fast_track_download(ctx, product, log.positions) < 0) return -1;
    mark_downloaded_track(ctx, {InstrumentFamily::Mlr, true});
    return 0;
}

int read_waypoints_job(JobContext& ctx) {
    MlrProduct product;
    if (identify_mlr(ctx, product) < 0) return -1;
    if (ctx.protocol_type == ProtocolType::Mlr && ctx.params.baud == kListenerMode)
        return listen_for_waypoints(ctx, ctx.result.waypoints);
    return fast_waypoint_download(ctx, &ctx.result.waypoints, nullptr);
}

int write_waypoints_job(JobContext& ctx) {
    MlrProduct product;
    if (identify_mlr(ctx, product) < 0) return -1;
    const std::vector<Waypoint>& list = ctx.params.waypoints;
    const long long total = static_cast<long long>(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const bool paused = i == 0 || ctx.pause_ms(kSentencePauseMs);
        if (!paused || write_text(ctx, wpl_upload_sentence(list[i])) < 0) {
            job_error(ctx, format_counts("% waypoints sent", static_cast<long long>(i)), "Send GPS waypoints");
            return -1;
        }
        job_status(ctx, format_counts("Waypoint % sent", static_cast<long long>(i + 1)));
        ctx.reporter.notify(format_counts("Sent wpt %/%", static_cast<long long>(i + 1), total));
    }
    if (!ctx.pause_ms(kSentencePauseMs)) return job_aborted(ctx);
    return 0;
}

void register_mlr_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadTrackLog, Routine::Mlr, read_track_log_job);
    registry.add(AccessType::ReadWaypoints, Routine::Mlr, read_waypoints_job);
    registry.add(AccessType::WriteWaypoints, Routine::Mlr, write_waypoints_job);
}

}  // namespace orlogix::mlr
