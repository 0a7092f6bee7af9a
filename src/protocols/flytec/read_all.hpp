#pragma once
// Reading every chosen track of a Flytec/Brauniger instrument into one KML
// document of analysed flights: statistics, distance optimisation and the
// track of each, saved where the user says. No track log is installed.
namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

// 0 when the file was written, else -1 after reporting (a closed dialog or
// an empty choice ends the job without a message).
int read_all_tracks_job(JobContext& ctx);

}  // namespace orlogix::flytec
