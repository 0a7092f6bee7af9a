#pragma once
// The waypoint download (kept, or only shown to the identity check) and the
// waypoint upload of the Flytec/Brauniger instruments, on an identified link.
#include <vector>

#include "core/records.hpp"
#include "protocols/identity_sink.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

// Into list when given; otherwise each waypoint's long name (blanks
// collapsed) and position go to identity. 0, or -1 after reporting; a
// kept download without any waypoint fails without a message.
int download_waypoints(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity);

// Sends each waypoint with 300 ms between them. 0, or -1 with the count
// of waypoints written as the status.
int upload_waypoints(JobContext& ctx, const std::vector<Waypoint>& waypoints);

}  // namespace orlogix::flytec
