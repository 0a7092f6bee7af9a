#include "protocols/flytec/waypoint_transfer.hpp"

#include <new>

#include "access/job_context.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/flytec/fields.hpp"
#include "protocols/flytec/link_session.hpp"
#include "protocols/flytec/sentences.hpp"
#include "protocols/flytec/waypoint_decoder.hpp"
#include "protocols/flytec/waypoint_upload.hpp"

namespace orlogix::flytec {

namespace {

constexpr const char* kReadTitle = "Read GPS waypoints";
constexpr int kSilenceMs = 1000;
constexpr int kNotifyEveryMs = 1000;
constexpr int kBetweenSentencesMs = 300;

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
            return fail(ctx, "E300 Track log memory allocation");
        }
    }
    const uint32_t stamp = time_now();
    job_status(ctx, "Requesting waypoints");
    if (send_request(ctx, waypoints_request()) < 0) return fail(ctx, "E304 COM port write error");

    WaypointDecoder decoder;
    int error = 0;
    bool no_memory = false;
    int count = 0;
    int64_t last_notice = -kNotifyEveryMs;
    const ReadEnd end = read_instrument(ctx, kSilenceMs, 0, [&](char c) {
        const int r = decoder.feed(c);
        if (r < 0) error = -r;
        if (r != 1) return r >= 0;
        const WaypointSentence& s = decoder.sentence();
        if (!list) {
            if (identity) identity(collapse_blanks(s.long_name), GeoPosition{s.latitude, s.longitude});
            return true;
        }
        try {
            list->push_back(waypoint_from_sentence(s, stamp));
        } catch (const std::bad_alloc&) {
            no_memory = true;
            return false;
        }
        if (++count == 1) job_status(ctx, "Receiving waypoints");
        if (ctx.timer.now_ms() - last_notice >= kNotifyEveryMs) {
            last_notice = ctx.timer.now_ms();
            ctx.reporter.notify(strformat("Waypoint count %d", count));
        }
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    // Silence in the middle of a sentence: the line went dead.
    if (end == ReadEnd::Error || decoder.in_sentence()) return fail(ctx, "E301 COM port read error");
    if (no_memory) return fail(ctx, "E303 Waypoint memory allocation");
    if (error) return fail(ctx, format_counts("E302 Format error %", error));
    if (!list) return 0;
    job_status(ctx, format_counts("% waypoints received", count));
    return count > 0 ? 0 : -1;
}

int upload_waypoints(JobContext& ctx, const std::vector<Waypoint>& waypoints) {
    const int total = static_cast<int>(waypoints.size());
    for (int i = 0; i < total; ++i) {
        // The count names only waypoints that went out whole.
        if (ctx.aborted() || send_request(ctx, std::string(1, kXon) + waypoint_upload_sentence(waypoints[i])) < 0) {
            job_status(ctx, format_counts("% waypoints sent", i));
            return -1;
        }
        job_status(ctx, format_counts("Waypoint % sent", i + 1));
        ctx.reporter.notify(format_counts("Sent wpt %/%", i + 1, total));
        if (i + 1 < total && !ctx.pause_ms(kBetweenSentencesMs)) {
            job_status(ctx, format_counts("% waypoints sent", i + 1));
            return -1;
        }
    }
    return 0;
}

}  // namespace orlogix::flytec
