#include "protocols/magellan/transfers.hpp"

#include <new>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/magellan/link_session.hpp"

namespace orlogix::magellan {

namespace {

// The receiver's errors of both downloads go out under this caption.
constexpr const char* kReadTitle = "Read GPS track log";
constexpr int kSilenceMs = 1000;
constexpr int kBetweenWaypointsMs = 300;

int fail(JobContext& ctx, const std::string& text) {
    job_error(ctx, text, kReadTitle);
    return -1;
}

// Ends a download that did not end on END or on a port error: the receiver
// is told to stop.
int fail_and_stop(JobContext& ctx, const std::string& text) {
    send_stop(ctx);
    return fail(ctx, text);
}

int aborted_and_stop(JobContext& ctx) {
    job_aborted(ctx);
    send_stop(ctx);
    return -1;
}

}  // namespace

int check_track_model(JobContext& ctx, const Version& version) {
    if (version.product_id == 24 && version.version_x100 < 314)
        return fail(ctx, "E200 Model does not support time in track log");
    if (version.product_id == 30 && version.version_x100 < 201)
        return fail(ctx, "E200 Model does not support date in track log");
    return 0;
}

int download_track(JobContext& ctx, std::vector<TrackPosition>& out) {
    std::vector<TrackPosition> positions;
    try {
        positions.reserve(200);
    } catch (const std::bad_alloc&) {
        return fail(ctx, "E202 Track log memory allocation");
    }
    job_status(ctx, "Requesting track log");
    if (write_text(ctx, kTrackRequest) < 0) return fail(ctx, "E203 COM port write error");

    int reader_error = 0, format_error = 0;
    bool ended = false, no_memory = false;
    SentenceReader reader(true);
    const ReadEnd end = read_sentences(
        ctx, reader, kSilenceMs, 0,
        [&](std::string_view body) {
            if (is_end(body)) return !(ended = true);
            TrackPosition p;
            bool fix = false;
            const int e = decode_track_point(body, p, fix);
            if (e > 0) format_error = e;
            if (e != 0) return e < 0;
            if (!fix) return true;
            if (positions.empty()) p.flags = kSegmentStart;
            try {
                positions.push_back(p);
            } catch (const std::bad_alloc&) {
                no_memory = true;
                return false;
            }
            ctx.reporter.progress_position(p.time, p.latitude, p.longitude, p.gps_altitude);
            const long long n = static_cast<long long>(positions.size());
            if (n % 10 == 0) {
                job_status(ctx, format_counts("% points received", n));
                ctx.reporter.notify(format_counts("Progress %/?", n));
            }
            return true;
        },
        [&](int error) {
            reader_error = error;
            return false;
        });
    if (end == ReadEnd::Aborted) return aborted_and_stop(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E204 COM port read error");
    // Quiet in the middle of a sentence is a cut line, not the end of the log.
    if (end == ReadEnd::Silence && reader.partial()) reader_error = kBadChecksum;
    if (no_memory) return fail_and_stop(ctx, "E201 Track log memory allocation");
    if (reader_error) return fail_and_stop(ctx, format_counts("E206 Format error %", reader_error));
    if (format_error) return fail_and_stop(ctx, format_counts("E205 Format error %", format_error));
    // Older receivers send no END: silence ends the log as well.
    if (!ended) send_stop(ctx);
    const std::string count = format_counts("% points received", static_cast<long long>(positions.size()));
    job_status(ctx, count);
    if (positions.empty()) return fail(ctx, count);
    out = std::move(positions);
    return 0;
}

int download_waypoints(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity) {
    std::vector<Waypoint> got;
    try {
        got.reserve(20);
    } catch (const std::bad_alloc&) {
        return fail(ctx, "E301 Waypoint memory allocation");
    }
    job_status(ctx, "Requesting waypoints");
    if (write_text(ctx, kWaypointRequest) < 0) return fail(ctx, "E302 COM port write error");
    const uint32_t stamp = time_now();

    int reader_error = 0, format_error = 0;
    bool ended = false, no_memory = false;
    // A competition download passes over what it cannot read.
    SentenceReader reader(list != nullptr);
    const ReadEnd end = read_sentences(
        ctx, reader, kSilenceMs, 0,
        [&](std::string_view body) {
            if (is_end(body)) return !(ended = true);
            Waypoint w;
            const int e = decode_waypoint(body, stamp, w);
            if (e < 0) return true;
            if (e > 0) {
                // A competition download does not fail on one broken waypoint.
                if (!list) return true;
                format_error = e;
                return false;
            }
            if (!list) {
                if (identity) identity(w.identifier, semicircles_to_radians(w.latitude, w.longitude));
                return true;
            }
            try {
                got.push_back(std::move(w));
            } catch (const std::bad_alloc&) {
                no_memory = true;
                return false;
            }
            return true;
        },
        [&](int error) {
            reader_error = error;
            return !list;
        });
    if (end == ReadEnd::Aborted) return aborted_and_stop(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E303 COM port read error");
    if (end == ReadEnd::Silence && reader.partial()) reader_error = kBadChecksum;
    if (no_memory) return fail_and_stop(ctx, "E301 Track log memory allocation");
    if (list && reader_error) return fail_and_stop(ctx, format_counts("E305 Format error %", reader_error));
    if (format_error) return fail_and_stop(ctx, format_counts("E304 Format error %", format_error));
    if (!ended) send_stop(ctx);
    if (!list) return 0;
    const std::string count = format_counts("% waypoints received", static_cast<long long>(got.size()));
    job_status(ctx, count);
    if (got.empty()) return fail(ctx, count);
    *list = std::move(got);
    return 0;
}

int upload_waypoints(JobContext& ctx, const std::vector<Waypoint>& waypoints) {
    const long long total = static_cast<long long>(waypoints.size());
    // The count is of waypoints written: a failed write is not one of them.
    auto stopped = [&](long long sent) {
        job_status(ctx, format_counts("% waypoints sent", sent));
        return -1;
    };
    for (long long i = 0; i < total; ++i) {
        if (ctx.aborted()) {
            stopped(i);
            (void)write_text(ctx, kEnd);
            return -1;
        }
        if (write_text(ctx, waypoint_sentence(waypoints[static_cast<std::size_t>(i)])) < 0) {
            stopped(i);
            job_error(ctx, "COM port write error", "Send waypoints");
            return -1;
        }
        job_status(ctx, format_counts("Waypoint % sent", i + 1));
        ctx.reporter.notify(format_counts("Sent wpt %/%", i + 1, total));
        if (!ctx.pause_ms(kBetweenWaypointsMs)) {
            stopped(i + 1);
            (void)write_text(ctx, kEnd);
            return -1;
        }
    }
    job_status(ctx, format_counts("% waypoints sent", total));
    if (write_text(ctx, kEnd) < 0) {
        job_error(ctx, "COM port write error", "Send waypoints");
        return -1;
    }
    return 0;
}

}  // namespace orlogix::magellan
