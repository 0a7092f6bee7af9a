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

    // A server session's client gets positions only, and no notice.
    const bool server = ctx.options.origin == JobOrigin::ServerSession;
    JobResult& r = ctx.result;
    TrackLogHeader& h = r.track_log.header;
    h.instrument_family = InstrumentFamily::IqBasic;
    h.times_in_utc = 1;
    h.baro_present = 1;
    h.track_log_source = got.all_g_records ? 1 : 0;
    h.product_name = r.product_name;
    h.instrument_description = r.instrument_description;
    h.device_identity = r.device_identity;
    r.track_log.positions = std::move(got.positions);
    if (!server) r.raw_igc = std::move(got.raw);
    if (!got.all_g_records && !server) ctx.reporter.notice_box("Read GPS track log", "No G-records found");
    return got.all_g_records ? 1 : 0;
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
