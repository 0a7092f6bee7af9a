#include "protocols/flytec/iq_basic_jobs.hpp"

#include "access/debug_trace.hpp"
#include "access/job_context.hpp"
#include "core/report.hpp"
#include "protocols/flytec/iq_basic_session.hpp"
#include "protocols/flytec/iq_basic_tracks.hpp"
#include "protocols/flytec/iq_basic_waypoints.hpp"

namespace orlogix::flytec {

int iq_read_waypoints_job(JobContext& ctx) {
    clear_trace();
    IqProduct product;
    if (iq_open_and_identify(ctx, product) < 0) return -1;
    std::vector<Waypoint> list;
    if (iq_download_waypoints(ctx, &list, {}) < 0) return -1;
    ctx.result.waypoints = std::move(list);
    return 0;
}

int iq_read_track_log_job(JobContext& ctx) {
    IqProduct product;
    if (iq_open_and_identify(ctx, product) < 0) return -1;
    // In competition mode the pilot's ID waypoints are looked for first.
    if (const IdentitySink identity = identity_sink(ctx))
        if (iq_download_waypoints(ctx, nullptr, identity) < 0) return -1;

    std::vector<IqTrackEntry> list;
    if (iq_read_track_list(ctx, list) < 0) return -1;
    const std::vector<IqTrackEntry> chosen = iq_choose_tracks(ctx, list);
    if (chosen.empty()) return -1;
    TrackDownload got;
    if (iq_download_tracks(ctx, chosen, got) < 0) return -1;
    return install_track_download(ctx, std::move(got), InstrumentFamily::IqBasic);
}

int iq_write_waypoints_job(JobContext& ctx) {
    IqProduct product;
    if (iq_open_and_identify(ctx, product) < 0) return -1;
    return iq_upload_waypoints(ctx, ctx.params.waypoints);
}

void register_iq_basic_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadWaypoints, Routine::IqBasic, iq_read_waypoints_job);
    registry.add(AccessType::ReadTrackLog, Routine::IqBasic, iq_read_track_log_job);
    registry.add(AccessType::WriteWaypoints, Routine::IqBasic, iq_write_waypoints_job);
}

}  // namespace orlogix::flytec
