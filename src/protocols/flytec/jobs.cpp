#include "protocols/flytec/jobs.hpp"

#include "access/debug_trace.hpp"
#include "access/job_context.hpp"
#include "core/report.hpp"
#include "protocols/flytec/ctr_transfer.hpp"
#include "protocols/flytec/link_session.hpp"
#include "protocols/flytec/read_all.hpp"
#include "protocols/flytec/track_download.hpp"
#include "protocols/flytec/waypoint_transfer.hpp"

namespace orlogix::flytec {

int read_waypoints_job(JobContext& ctx) {
    clear_trace();
    ProductInfo info;
    if (open_and_identify(ctx, info) < 0) return -1;
    std::vector<Waypoint> list;
    if (download_waypoints(ctx, &list, {}) < 0) return -1;
    ctx.result.waypoints = std::move(list);
    return 0;
}

int read_track_log_job(JobContext& ctx) {
    ProductInfo info;
    if (open_and_identify(ctx, info) < 0) return -1;
    // In competition mode the pilot's ID waypoints are looked for first.
    if (const IdentitySink identity = identity_sink(ctx))
        if (download_waypoints(ctx, nullptr, identity) < 0) return -1;

    TrackList list;
    const bool listed = supports_track_list(info.model, info.version);
    uint32_t mask = 1;
    if (listed) {
        if (read_track_list(ctx, list) < 0) return -1;
        mask = choose_tracks(ctx, list, ctx.result.product_name);
        if (mask == 0) return -1;
    }
    TrackDownload got;
    if (download_tracks(ctx, mask, listed ? &list : nullptr, got) < 0) return -1;

    return install_track_download(ctx, std::move(got), InstrumentFamily::FlytecIq);
}

int write_waypoints_job(JobContext& ctx) {
    ProductInfo info;
    if (open_and_identify(ctx, info) < 0) return -1;
    return upload_waypoints(ctx, ctx.params.waypoints);
}

int write_ctr_job(JobContext& ctx) {
    // The selection is checked before the port is opened.
    if (const std::string refusal = ctr_upload_refusal(ctx.params.ctrs); !refusal.empty()) {
        job_error(ctx, refusal, "Upload CTR");
        return -1;
    }
    ProductInfo info;
    if (open_and_identify(ctx, info) < 0) return -1;
    return upload_ctrs(ctx, ctx.params.ctrs);
}

int read_ctr_job(JobContext& ctx) {
    clear_trace();
    ProductInfo info;
    if (open_and_identify(ctx, info) < 0) return -1;
    CtrList list;
    if (download_ctrs(ctx, list) < 0) return -1;
    ctx.result.ctrs = std::move(list);
    return 0;
}

void register_flytec_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadWaypoints, Routine::Iq, read_waypoints_job);
    registry.add(AccessType::ReadTrackLog, Routine::Iq, read_track_log_job);
    registry.add(AccessType::WriteWaypoints, Routine::Iq, write_waypoints_job);
    registry.add(AccessType::WriteCtr, Routine::Iq, write_ctr_job);
    registry.add(AccessType::ReadCtr, Routine::Iq, read_ctr_job);
    registry.add(AccessType::ReadTrackLog, Routine::IqAllTracks, read_all_tracks_job);
}

}  // namespace orlogix::flytec
