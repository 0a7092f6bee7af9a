#include "protocols/flytec/iq_basic_waypoints.hpp"

#include <new>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/flytec/iq_basic_commands.hpp"
#include "protocols/flytec/iq_basic_lines.hpp"
#include "protocols/flytec/iq_basic_session.hpp"

namespace orlogix::flytec {

namespace {

constexpr const char* kReadTitle = "Read GPS waypoints";
constexpr const char* kResponseTitle = "Read waypoint upload response";
constexpr int kSilenceMs = 1000;
constexpr int kAfterResponseMs = 100;
constexpr std::size_t kKeptResponse = 39;

int fail(JobContext& ctx, const std::string& text, const char* title = kReadTitle) {
    job_error(ctx, text, title);
    return -1;
}

}  // namespace

int iq_download_waypoints(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity) {
    std::vector<Waypoint> got;
    if (list) {
        try {
            got.reserve(50);
        } catch (const std::bad_alloc&) {
            return fail(ctx, "E300 Waypoint memory allocation");
        }
    }
    const uint32_t stamp = time_now();
    job_status(ctx, "Requesting waypoints");
    if (write_text(ctx, kIqWaypointsRequest) < 0) return fail(ctx, "E304 COM port write error");

    int error = 0;
    bool no_memory = false;
    const ReadEnd end = iq_read_lines(ctx, kSilenceMs, 0, [&](std::string_view line) {
        Waypoint w;
        switch (parse_iq_waypoint(line, stamp, w, error)) {
        case IqWaypointLine::End: return false;
        case IqWaypointLine::Error: return false;
        case IqWaypointLine::Waypoint: break;
        }
        if (!list) {
            if (identity) identity(w.comment, semicircles_to_radians(w.latitude, w.longitude));
            return true;
        }
        try {
            got.push_back(std::move(w));
        } catch (const std::bad_alloc&) {
            no_memory = true;
            return false;
        }
        if (got.size() == 1) job_status(ctx, "Receiving waypoints");
        ctx.reporter.notify(strformat("Waypoint count %d", static_cast<int>(got.size())));
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E301 COM port read error");
    if (no_memory) return fail(ctx, "Waypoint memory allocation");
    if (error) return fail(ctx, strformat("Waypoint string parse error %d", error));
    if (!list) return 0;
    job_status(ctx, format_counts("% waypoints received", static_cast<long long>(got.size())));
    if (got.empty()) return -1;
    *list = std::move(got);
    return 0;
}

int iq_upload_waypoints(JobContext& ctx, const std::vector<Waypoint>& waypoints) {
    const int total = static_cast<int>(waypoints.size());
    int errors = 0;
    std::string first_error;
    for (int i = 0; i < total; ++i) {
        // The count names only waypoints that went out whole.
        if (ctx.aborted() || write_text(ctx, iq_waypoint_upload(waypoints[static_cast<std::size_t>(i)])) < 0) {
            job_status(ctx, format_counts("% waypoints sent", i));
            return -1;
        }
        job_status(ctx, format_counts("Waypoint % sent", i + 1));
        ctx.reporter.notify(format_counts("Sent wpt %/%", i + 1, total));
        bool answered = false;
        const ReadEnd end = iq_read_lines(ctx, kSilenceMs, 0, [&](std::string_view line) {
            answered = true;
            if (line != kIqUploadDone && errors++ == 0) first_error = std::string(line.substr(0, kKeptResponse));
            return false;
        });
        if (end == ReadEnd::Aborted) {
            job_status(ctx, format_counts("% waypoints sent", i + 1));
            return -1;
        }
        if (end == ReadEnd::Error) return fail(ctx, "COM port read error", kResponseTitle);
        if (!answered) return fail(ctx, "Missing response", kResponseTitle);
        if (!ctx.pause_ms(kAfterResponseMs)) {
            job_status(ctx, format_counts("% waypoints sent", i + 1));
            return -1;
        }
    }
    if (errors == 0) return 0;
    return fail(ctx,
                strformat("%d of %d waypoints ok. First error was \"%s\"", total - errors, total, first_error.c_str()),
                "Waypoint upload response error");
}

}  // namespace orlogix::flytec
