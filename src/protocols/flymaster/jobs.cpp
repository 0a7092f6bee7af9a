#include "protocols/flymaster/jobs.hpp"

#include <bit>

#include "access/debug_trace.hpp"
#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/flymaster/link_session.hpp"
#include "protocols/flymaster/track_transfer.hpp"
#include "protocols/flymaster/waypoint_transfer.hpp"
#include "protocols/flytec/track_download.hpp"

namespace orlogix::flymaster {

namespace {

constexpr int kAfterSetDataMs = 500;

// Digits only, or empty for no value: -1. -2 for anything else.
int64_t id_number(const std::string& text) {
    if (text.empty()) return -1;
    if (text.size() > 9) return -2;
    int64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -2;
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

int read_waypoints_job(JobContext& ctx) {
    clear_trace();
    Product product;
    if (open_and_identify(ctx, product) < 0) return -1;
    std::vector<Waypoint> list;
    if (download_waypoints(ctx, &list, {}) < 0) return -1;
    ctx.result.waypoints = std::move(list);
    return 0;
}

int read_track_log_job(JobContext& ctx) {
    Product product;
    if (open_and_identify(ctx, product) < 0) return -1;
    // In competition mode the pilot's ID waypoints are looked for first.
    if (const IdentitySink identity = identity_sink(ctx))
        if (download_waypoints(ctx, nullptr, identity) < 0) return -1;

    flytec::TrackList list;
    if (flymaster::read_track_list(ctx, list) < 0) return -1;
    // Only the lowest chosen index comes down.
    const uint32_t mask = flytec::choose_tracks(ctx, list, ctx.result.product_name);
    if (mask == 0) return -1;
    TrackDownload got;
    if (download_track(ctx, list, std::countr_zero(mask), product.b1nav(), got) < 0) return -1;

    JobResult& r = ctx.result;
    r.device_identity = strformat("%s: %u", kProductName, got.flight.serial).substr(0, kDeviceIdentityMax);
    r.instrument_description = got.description;
    mark_downloaded_track(ctx, {InstrumentFamily::Flymaster, true, true});
    r.track_log.positions = std::move(got.positions);
    return 1;
}

int write_waypoints_job(JobContext& ctx) {
    Product product;
    if (open_and_identify(ctx, product) < 0) return -1;
    return upload_waypoints(ctx, ctx.params.waypoints, product.version);
}

int write_pilot_data_job(JobContext& ctx) {
    Product product;
    if (open_and_identify(ctx, product) < 0) return -1;
    const PilotData& p = ctx.params.pilot;
    std::string sentence;
    switch (p.kind) {
    case kPilotName:
        if (product.b1nav()) return job_error(ctx, "Command not available for B1 NAV", "Set pilot data"), -1;
        sentence = pilot_data_sentence(p.pilot_name, p.comp_id, p.glider_brand, p.glider_model);
        break;
    case kAltitudeAlarm:
        if (product.b1nav()) return job_error(ctx, "Command not available for B1 NAV", "Set altitude alarm"), -1;
        sentence = altitude_alarm_sentence(p.altitude_alarm);
        break;
    case kIds: {
        if (!product.b1nav()) return job_error(ctx, "Command available for B1 NAV only", "Set pilot data"), -1;
        // A field with anything but digits would break the sentence.
        const int64_t comp = id_number(p.comp_id), civl = id_number(p.civl_id);
        if (comp < -1) return job_error(ctx, "Bad comp. ID", "Set Flymaster IDs"), -1;
        if (civl < -1) return job_error(ctx, "Bad CIVL ID", "Set Flymaster IDs"), -1;
        sentence = ids_sentence(comp, civl, p.pilot_name);
        break;
    }
    default: return -1;
    }
    if (write_text(ctx, sentence) < 0) return job_error(ctx, "E401 COM port write error", "Set Flymaster data"), -1;
    if (!ctx.pause_ms(kAfterSetDataMs)) return job_aborted(ctx);
    job_status(ctx, "Data sent");
    return 0;
}

void register_flymaster_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadWaypoints, Routine::Flymaster, read_waypoints_job);
    registry.add(AccessType::ReadTrackLog, Routine::Flymaster, read_track_log_job);
    registry.add(AccessType::WriteWaypoints, Routine::Flymaster, write_waypoints_job);
    registry.add(AccessType::WritePilotData, Routine::Flymaster, write_pilot_data_job);
}

}  // namespace orlogix::flymaster
