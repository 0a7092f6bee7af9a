#pragma once
// The track downloads of the family. The instrument pushes its log once
// the user starts the transfer on it; the program only listens.
namespace orlogix {
class JobContext;
}

namespace orlogix::topnav {

// Block form (Top Navigator at 9600 baud, XC Trainer at 57600 with
// XON/XOFF): until "@EOF"; no limit on the wait for the first byte, 10 s of
// silence afterwards fail.
int read_block_track_job(JobContext& ctx);
// MXP lines (both instruments at 57600): until the announced count; the
// first byte within 10 s, then 2 s of silence end the transfer, which is a
// failure until the count is reached.
int read_mxp_track_job(JobContext& ctx);

}  // namespace orlogix::topnav
