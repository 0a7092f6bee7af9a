#include "protocols/flymaster/waypoint_transfer.hpp"

#include <new>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/flymaster/link_session.hpp"
#include "protocols/flymaster/sentences.hpp"
#include "protocols/flymaster/waypoint_lines.hpp"

namespace orlogix::flymaster {

namespace {

constexpr const char* kReadTitle = "Read GPS waypoints";
constexpr int kSilenceMs = 1000;
constexpr int kAnswerSilenceMs = 2000;
constexpr int kBetweenWaypointsMs = 100;

int fail(JobContext& ctx, const std::string& text) {
    job_error(ctx, text, kReadTitle);
    return -1;
}

}  // namespace

int download_waypoints(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity) {
    if (list) {
        try {
            list->clear();
            list->reserve(20);
        } catch (const std::bad_alloc&) {
            return fail(ctx, "E300 Waypoint memory allocation");
        }
    }
    const uint32_t stamp = time_now();
    job_status(ctx, "Requesting waypoints");
    if (write_text(ctx, kWaypointsRequest) < 0) return fail(ctx, "E304 COM port write error");

    LineCollector lines("$PFMWPL,", kWaypointLineMax, true);
    int error = 0, count = 0;
    bool no_memory = false;
    const ReadEnd end = read_instrument(ctx, 200, kSilenceMs, 0, [&](uint8_t b) {
        if (!lines.feed(static_cast<char>(b))) return true;
        Waypoint w;
        error = decode_waypoint_line(lines.line(), stamp, w);
        // A cut line lost its tail: what is left cannot be the whole waypoint.
        if (error == 0 && lines.was_cut()) error = 2;
        if (error) return false;
        if (!list) {
            if (identity) identity(w.comment, semicircles_to_radians(w.latitude, w.longitude));
            return true;
        }
        try {
            list->push_back(std::move(w));
        } catch (const std::bad_alloc&) {
            no_memory = true;
            return false;
        }
        if (++count == 1) job_status(ctx, "Receiving waypoints");
        ctx.reporter.notify(strformat("Waypoint count %d", count));
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E301 COM port read error");
    if (no_memory) return -1;
    if (error) return fail(ctx, format_counts("E302 Format error %", error));
    if (!list) return 0;
    job_status(ctx, format_counts("% waypoints received", count));
    return count > 0 ? 0 : -1;
}

int upload_waypoints(JobContext& ctx, const std::vector<Waypoint>& waypoints, std::string_view firmware) {
    const int total = static_cast<int>(waypoints.size());
    int errors = 0, first_error = 0;
    auto stopped = [&](int sent) {
        job_status(ctx, format_counts("% waypoints sent", sent));
        return -1;
    };
    for (int i = 0; i < total; ++i) {
        const Waypoint& w = waypoints[static_cast<std::size_t>(i)];
        if (ctx.aborted()) return stopped(i);
        if (write_text(ctx, waypoint_upload_sentence(w, firmware)) < 0) return stopped(i + 1);
        job_status(ctx, format_counts("Waypoint % sent", i + 1));
        ctx.reporter.notify(format_counts("Sent wpt %/%", i + 1, total));

        LineCollector lines("$PFMWPR,", kAnswerLineMax, false);
        int type = 0;
        const ReadEnd end = read_instrument(ctx, 200, kAnswerSilenceMs, 0, [&](uint8_t b) {
            if (!lines.feed(static_cast<char>(b))) return true;
            type = check_upload_answer(lines.line(), upload_name(w), firmware);
            return false;
        });
        if (end == ReadEnd::Aborted) return stopped(i + 1);
        if (end == ReadEnd::Error || end == ReadEnd::Silence) {
            const char* why = end == ReadEnd::Error ? "% waypoints sent, % errors, COM port read error"
                                                    : "% waypoints sent, % errors, response timeout";
            job_error(ctx, format_counts(why, i + 1, errors), "Waypoint upload error");
            return -1;
        }
        if (type != 0 && errors++ == 0) first_error = type;
        if (!ctx.pause_ms(kBetweenWaypointsMs)) return stopped(i + 1);
    }
    if (errors > 0) {
        job_error(ctx, strformat("%d waypoints sent, %d errors, first error was type %d", total, errors, first_error),
                  "Waypoint upload response error");
        return -1;
    }
    job_status(ctx, format_counts("% waypoints sent", total));
    return 0;
}

}  // namespace orlogix::flymaster
