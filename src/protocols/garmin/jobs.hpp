#pragma once
// The Garmin serial job routines: connect at 9600 baud, identify, then one
// transfer, over the link layer of link_codec on the job's link (the serial
// port, or a test's in-memory link).
#include <functional>
#include <string>
#include <vector>

#include "access/dispatch.hpp"
#include "access/job_context.hpp"
#include "core/records.hpp"
#include "protocols/garmin/link_codec.hpp"
#include "protocols/garmin/session.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::garmin {

// Packets over the job's link: waits run on the link's clock and poll the
// job's abort flag; what arrives is traced as well as what goes out.
class LinkTransport : public PacketTransport {
public:
    explicit LinkTransport(JobContext& ctx);
    int send_packet(const Packet& packet) override;
    int receive_packet(int timeout_ms, Packet& out) override;
    int64_t now_ms() const override;

private:
    JobContext& ctx_;
    LinkReceiver receiver_;   // keeps frame state and leftover bytes between calls
};

// The session options a job's settings ask for.
SessionOptions session_options(const JobContext& ctx);
// Connects at 9600 baud and identifies the receiver, filling the job's
// product fields. 0 or -1 (reported).
int open_and_identify(JobContext& ctx, Session& session);

int read_track_log_job(JobContext& ctx);
int read_waypoints_job(JobContext& ctx);
int write_waypoints_job(JobContext& ctx);
int write_track_log_job(JobContext& ctx);

// One airspace outline to send as a track log; converted is false when its
// outline could not be made (it is then skipped and reported at the end).
struct CtrTrack {
    std::string name;
    bool converted = true;
    std::vector<Waypoint> points;
};
// Sends the selected airspaces in order, numbered from 1, over an identified
// session; "No points for CTR % sent" names the first that could not be
// converted. Every airspace is tried; the result is -1 when any was skipped
// or failed, or when aborted (then no further one is tried). The airspace
// job (ctr_job) builds the list from its CTR list and calls this after
// identify().
int upload_ctr_tracks(Session& session, Reporter& reporter, const std::vector<CtrTrack>& ctrs,
                      const std::function<bool()>& aborted = {});
// The same loop for any link: send(ctr, number) uploads one outline, 0 or -1.
int send_ctr_tracks(Reporter& reporter, const std::vector<CtrTrack>& ctrs, const std::function<bool()>& aborted,
                    const std::function<int(const CtrTrack&, int number)>& send);

// What the serial and USB jobs share: the product fields a job hands back,
// the marks of a Garmin download, and the points of a track log upload (the
// waypoints, or the places of the positions a job was handed instead).
void take_product(JobResult& result, const TrackLogHeader& identified);
void mark_garmin_download(TrackLogHeader& header);
std::vector<Waypoint> track_upload_points(const JobParams& params);

// Puts the routines above into the dispatch registry (Garmin serial cells).
void register_garmin_jobs(RoutineRegistry& registry);

}  // namespace orlogix::garmin
