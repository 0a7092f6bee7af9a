#include "protocols/garmin/usb_jobs.hpp"

#include <memory>
#include <vector>

#include "access/debug_trace.hpp"
#include "access/job_context.hpp"
#include "access/libusb_transport.hpp"
#include "access/usb_connect.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/garmin/ctr_job.hpp"
#include "protocols/garmin/jobs.hpp"

namespace orlogix::garmin {

namespace {

// The job's transport; its clock becomes the job's, so that pauses and
// time-outs run on the same time.
UsbTransport& job_usb(JobContext& ctx) {
    if (!ctx.usb) {
        auto usb = std::make_unique<LibusbTransport>();
        usb->set_abort([&ctx] { return ctx.aborted(); });
        trace_text("USB driver: " + LibusbTransport::version_text() + "\r\n");
        ctx.usb = std::move(usb);
    }
    ctx.timer.set_clock(ctx.usb->clock());
    return *ctx.usb;
}

// One job's receiver: opened and identified, the product fields handed back.
class UsbJob {
public:
    explicit UsbJob(JobContext& ctx) : ctx_(ctx), session_(job_usb(ctx), ctx.reporter, usb_session_options(ctx)) {}

    int open() {
        if (connect_usb(ctx_, *ctx_.usb) < 0) return -1;
        if (session_.identify() < 0) return -1;
        TrackLogHeader h;
        session_.fill_header(h);
        take_product(ctx_.result, h);
        return 0;
    }
    UsbSession& session() { return session_; }

private:
    JobContext& ctx_;
    UsbSession session_;
};

}  // namespace

UsbSessionOptions usb_session_options(JobContext& ctx) {
    UsbSessionOptions o;
    o.power_off = ctx.options.power_off;
    o.power_off_after_track_upload = ctx.options.power_off && ctx.options.origin == JobOrigin::CommandLine;
    o.aborted = [&ctx] { return ctx.aborted(); };
    Reporter& reporter = ctx.reporter;
    o.notify = [&reporter](std::string_view text) { reporter.notify(text); };
    return o;
}

int usb_read_track_log_job(JobContext& ctx) {
    UsbJob job(ctx);
    if (job.open() < 0) return -1;
    UsbSession& session = job.session();
    // As on the serial link: the identity check reads the waypoints first,
    // without keeping them.
    if (const IdentitySink identity = identity_sink(ctx))
        if (session.capabilities()[kCapWaypointProtocol] != 0 && session.read_waypoints(nullptr, identity) < 0)
            return -1;
    std::vector<TrackPosition> positions;
    if (session.read_track_log(positions) < 0) return -1;
    TrackLogHeader& h = ctx.result.track_log.header;
    mark_garmin_download(h);
    session.fill_header(h);
    ctx.result.track_log.positions = std::move(positions);
    return 0;
}

int usb_read_waypoints_job(JobContext& ctx) {
    UsbJob job(ctx);
    if (job.open() < 0) return -1;
    WaypointList list;
    if (job.session().read_waypoints(&list) < 0) return -1;
    ctx.result.waypoints = list.items();
    return 0;
}

int usb_write_waypoints_job(JobContext& ctx) {
    UsbJob job(ctx);
    if (job.open() < 0) return -1;
    return job.session().upload_waypoints(ctx.params.waypoints);
}

int usb_write_track_log_job(JobContext& ctx) {
    UsbJob job(ctx);
    if (job.open() < 0) return -1;
    return job.session().upload_points_as_track(track_upload_points(ctx.params));
}

int usb_write_ctr_job(JobContext& ctx) {
    const std::vector<CtrTrack> tracks = ctr_tracks(ctx.params.ctrs, time_now());
    if (tracks.empty()) {
        job_error(ctx, "No CTR(s) selected", "Upload CTR");
        return -1;
    }
    UsbJob job(ctx);
    if (job.open() < 0) return -1;
    UsbSession& session = job.session();
    return send_ctr_tracks(ctx.reporter, tracks, [&ctx] { return ctx.aborted(); },
                           [&session](const CtrTrack& ctr, int number) {
                               return session.upload_points_as_track(ctr.points, number, &ctr.name);
                           });
}

void register_garmin_usb_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadTrackLog, Routine::GarminUsb, usb_read_track_log_job);
    registry.add(AccessType::ReadWaypoints, Routine::GarminUsb, usb_read_waypoints_job);
    registry.add(AccessType::WriteWaypoints, Routine::GarminUsb, usb_write_waypoints_job);
    registry.add(AccessType::WriteTrackLog, Routine::GarminUsb, usb_write_track_log_job);
    registry.add(AccessType::WriteCtr, Routine::GarminUsb, usb_write_ctr_job);
}

}  // namespace orlogix::garmin
