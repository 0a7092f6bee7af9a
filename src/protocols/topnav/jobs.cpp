#include "protocols/topnav/jobs.hpp"

#include "protocols/topnav/track_download.hpp"
#include "protocols/topnav/waypoint_transfer.hpp"

namespace orlogix::topnav {

void register_topnav_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadTrackLog, Routine::TopNav, read_block_track_job);
    registry.add(AccessType::ReadWaypoints, Routine::TopNav, read_waypoint_lines_job);
    registry.add(AccessType::WriteWaypoints, Routine::TopNav, write_waypoints_job);
    registry.add(AccessType::ReadWaypoints, Routine::Xct, read_waypoint_packets_job);
    registry.add(AccessType::ReadTrackLog, Routine::Mxp, read_mxp_track_job);
}

}  // namespace orlogix::topnav
