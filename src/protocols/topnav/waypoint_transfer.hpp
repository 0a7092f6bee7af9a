#pragma once
// Waypoints both ways at 9600 baud: the Top Navigator sends text lines, the
// XC Trainer 31-byte packets, each answered with "@@OK"; both take packets.
namespace orlogix {
class JobContext;
}

namespace orlogix::topnav {

// Until "@EOF"; 10 s of silence once lines have started fail.
int read_waypoint_lines_job(JobContext& ctx);
// Until 10 s of silence; a success with at least one waypoint.
int read_waypoint_packets_job(JobContext& ctx);
// One packet per waypoint, 400 ms apart (XON/XOFF for the XC Trainer only).
int write_waypoints_job(JobContext& ctx);

}  // namespace orlogix::topnav
