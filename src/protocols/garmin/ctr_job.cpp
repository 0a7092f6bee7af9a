#include "protocols/garmin/ctr_job.hpp"

#include "access/job_context.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "formats/airspace/ctr_points.hpp"

namespace orlogix::garmin {

std::vector<CtrTrack> ctr_tracks(const CtrList& list, uint32_t now) {
    std::vector<CtrTrack> out;
    int index = 0;
    for (const Ctr& c : list) {
        const int this_index = index++;
        if (!c.selected) continue;
        CtrTrack t;
        t.name = c.name.substr(0, kCtrTextMax);
        t.converted = ctr_to_points(c, this_index, now, t.points) > 0;
        out.push_back(std::move(t));
    }
    return out;
}

int write_ctr_job(JobContext& ctx) {
    const std::vector<CtrTrack> tracks = ctr_tracks(ctx.params.ctrs, time_now());
    if (tracks.empty()) {
        job_error(ctx, "No CTR(s) selected", "Upload CTR");
        return -1;
    }
    LinkTransport transport(ctx);
    Session session(transport, ctx.reporter, session_options(ctx));
    if (open_and_identify(ctx, session) < 0) return -1;
    return upload_ctr_tracks(session, ctx.reporter, tracks, [&ctx] { return ctx.aborted(); });
}

}  // namespace orlogix::garmin
