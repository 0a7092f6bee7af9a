#include "protocols/garmin/jobs.hpp"

#include <vector>

#include "access/job_context.hpp"
#include "access/job_timer.hpp"
#include "access/link.hpp"
#include "access/port_list.hpp"
#include "core/report.hpp"
#include "protocols/garmin/ctr_job.hpp"
#include "protocols/garmin/usb_jobs.hpp"

namespace orlogix::garmin {

namespace {

constexpr int kGarminBaud = 9600;
// Silence that tells the receiver has nothing more to say after a failure.
constexpr int kQuietAfterFailureMs = 300;

}  // namespace

// Every job starts the same way: the port, then the receiver's identity.
int open_and_identify(JobContext& ctx, Session& session) {
    if (connect_serial(ctx, kGarminBaud, false) < 0) return -1;
    if (session.identify() < 0) return -1;
    TrackLogHeader h;
    session.fill_header(h);
    take_product(ctx.result, h);
    return 0;
}

void take_product(JobResult& r, const TrackLogHeader& h) {
    r.product_name = h.product_name;
    r.instrument_description = h.instrument_description;
    r.device_identity = h.device_identity;
}

void mark_garmin_download(TrackLogHeader& h) {
    h.instrument_family = InstrumentFamily::Garmin;
    h.track_log_source = 1;
    h.times_in_utc = 1;
    h.baro_present = 0;
}

std::vector<Waypoint> track_upload_points(const JobParams& params) {
    std::vector<Waypoint> points = params.waypoints;
    if (points.empty()) {
        for (const TrackPosition& p : params.positions) {
            Waypoint w;
            w.latitude = p.latitude;
            w.longitude = p.longitude;
            points.push_back(w);
        }
    }
    return points;
}

LinkTransport::LinkTransport(JobContext& ctx) : ctx_(ctx) { ctx.link().set_trace_input(true); }

int LinkTransport::send_packet(const Packet& packet) {
    const std::vector<uint8_t> frame = encode_frame(packet);
    return write_bytes(ctx_, frame.data(), frame.size()) == 0 ? 0 : -1;
}

int LinkTransport::receive_packet(int timeout_ms, Packet& out) {
    const Deadline deadline = ctx_.timer.deadline(timeout_ms);
    for (;;) {
        if (receiver_.process()) {
            out = receiver_.packet();
            return 0;
        }
        if (ctx_.aborted()) return kReceiveAborted;
        if (deadline.expired()) return kReceiveTimeout;
        uint8_t chunk[LinkReceiver::kChunk];
        const int n = read_bytes(ctx_, chunk, sizeof chunk);
        if (n < 0) {
            receiver_.reset();
            return kReceiveError;
        }
        receiver_.load({chunk, static_cast<std::size_t>(n)});
    }
}

int64_t LinkTransport::now_ms() const { return ctx_.timer.now_ms(); }

SessionOptions session_options(const JobContext& ctx) {
    SessionOptions o;
    o.timeout_seconds = ctx.options.timeout_seconds;
    o.power_off = ctx.options.power_off;
    o.power_off_after_track_upload = ctx.options.power_off && ctx.options.origin == JobOrigin::CommandLine;
    o.aborted = [&ctx] { return ctx.aborted(); };
    // "COMn" names a port-list entry: the texts say which device that was,
    // in the form the port's open errors use.
    const std::string device = resolve_port_name(ctx.port_name, ctx.device_roots);
    o.device = device.empty() || device == ctx.port_name ? ctx.port_name : ctx.port_name + " (" + device + ")";
    Reporter& reporter = ctx.reporter;
    o.notify = [&reporter](std::string_view text) { reporter.notify(text); };
    o.on_position = [&reporter](const TrackPosition& p) {
        reporter.progress_position(p.time, p.latitude, p.longitude, p.gps_altitude);
    };
    return o;
}

int read_track_log_job(JobContext& ctx) {
    LinkTransport transport(ctx);
    Session session(transport, ctx.reporter, session_options(ctx));
    if (open_and_identify(ctx, session) < 0) return -1;
    JobResult& r = ctx.result;
    // The identity check reads the receiver's waypoints without keeping
    // them, for the pilot's ID waypoints; a receiver without a waypoint
    // protocol has none (both IDs stay -1).
    if (const IdentitySink identity = identity_sink(ctx))
        if (session.capabilities()[kCapWaypointProtocol] != 0 && session.read_waypoints(nullptr, identity) < 0)
            return -1;
    std::vector<TrackPosition> positions;
    if (session.read_track_log(positions) < 0) return -1;
    TrackLogHeader& h = r.track_log.header;
    mark_garmin_download(h);
    session.fill_header(h);
    r.track_log.positions = std::move(positions);
    return 0;
}

int read_waypoints_job(JobContext& ctx) {
    LinkTransport transport(ctx);
    Session session(transport, ctx.reporter, session_options(ctx));
    if (open_and_identify(ctx, session) < 0) return -1;
    WaypointList list;
    if (session.read_waypoints(&list) < 0) return -1;
    ctx.result.waypoints = list.items();
    return 0;
}

int write_waypoints_job(JobContext& ctx) {
    LinkTransport transport(ctx);
    Session session(transport, ctx.reporter, session_options(ctx));
    if (open_and_identify(ctx, session) < 0) return -1;
    return session.upload_waypoints(ctx.params.waypoints);
}

int write_track_log_job(JobContext& ctx) {
    LinkTransport transport(ctx);
    Session session(transport, ctx.reporter, session_options(ctx));
    if (open_and_identify(ctx, session) < 0) return -1;
    // A waypoint list's track is named after its first waypoint.
    return session.upload_points_as_track(track_upload_points(ctx.params));
}

int upload_ctr_tracks(Session& session, Reporter& reporter, const std::vector<CtrTrack>& ctrs,
                      const std::function<bool()>& aborted) {
    return send_ctr_tracks(reporter, ctrs, aborted, [&session](const CtrTrack& ctr, int number) {
        if (session.upload_points_as_track(ctr.points, number, &ctr.name) == 0) return 0;
        session.discard_input(kQuietAfterFailureMs);
        return -1;
    });
}

int send_ctr_tracks(Reporter& reporter, const std::vector<CtrTrack>& ctrs, const std::function<bool()>& aborted,
                    const std::function<int(const CtrTrack&, int number)>& send) {
    // One airspace that did not reach the receiver fails the whole upload,
    // but only after the others have been sent: a pilot gets every airspace
    // that could be sent and still learns that one is missing.
    int result = 0;
    int number = 0;
    int first_unconverted = 0;
    for (const CtrTrack& ctr : ctrs) {
        if (aborted && aborted()) return -1;
        ++number;
        if (!ctr.converted) {
            if (first_unconverted == 0) first_unconverted = number;
            result = -1;
            continue;
        }
        if (send(ctr, number) < 0) result = -1;
    }
    if (first_unconverted > 0) reporter.job_error(format_counts("No points for CTR % sent", first_unconverted), "Upload CTR");
    return result;
}

void register_garmin_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadTrackLog, Routine::Garmin, read_track_log_job);
    registry.add(AccessType::ReadWaypoints, Routine::Garmin, read_waypoints_job);
    registry.add(AccessType::WriteWaypoints, Routine::Garmin, write_waypoints_job);
    registry.add(AccessType::WriteTrackLog, Routine::Garmin, write_track_log_job);
    registry.add(AccessType::WriteCtr, Routine::Garmin, write_ctr_job);
    register_garmin_usb_jobs(registry);
}

}  // namespace orlogix::garmin
