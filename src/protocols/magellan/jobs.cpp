#include "protocols/magellan/jobs.hpp"

#include "access/debug_trace.hpp"
#include "access/job_context.hpp"
#include "protocols/identity_sink.hpp"
#include "protocols/magellan/link_session.hpp"
#include "protocols/magellan/transfers.hpp"

namespace orlogix::magellan {

int read_waypoints_job(JobContext& ctx) {
    clear_trace();
    Version version;
    if (open_and_identify(ctx, version) < 0) return -1;
    std::vector<Waypoint> list;
    if (download_waypoints(ctx, &list, {}) < 0) return -1;
    ctx.result.waypoints = std::move(list);
    return 0;
}

int read_track_log_job(JobContext& ctx) {
    Version version;
    if (open_and_identify(ctx, version) < 0) return -1;
    // A model that cannot deliver a usable log is refused before anything is sent.
    if (check_track_model(ctx, version) < 0) return -1;
    // In competition mode the pilot's ID waypoints are looked for first.
    if (const IdentitySink identity = identity_sink(ctx))
        if (download_waypoints(ctx, nullptr, identity) < 0) return -1;
    std::vector<TrackPosition> positions;
    if (download_track(ctx, positions) < 0) return -1;
    mark_downloaded_track(ctx, {InstrumentFamily::Magellan});
    ctx.result.track_log.positions = std::move(positions);
    return 0;
}

int write_waypoints_job(JobContext& ctx) {
    Version version;
    if (open_and_identify(ctx, version) < 0) return -1;
    return upload_waypoints(ctx, ctx.params.waypoints);
}

void register_magellan_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadWaypoints, Routine::Magellan, read_waypoints_job);
    registry.add(AccessType::ReadTrackLog, Routine::Magellan, read_track_log_job);
    registry.add(AccessType::WriteWaypoints, Routine::Magellan, write_waypoints_job);
}

}  // namespace orlogix::magellan
