#pragma once
// The waypoint download (kept, or only shown to the identity check) and the
// waypoint upload of the IQ Basic / Flytec 6015, on an identified link.
#include <vector>

#include "core/records.hpp"
#include "protocols/identity_sink.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

// Into list when given; otherwise each waypoint's name and position go to
// identity. 0, or -1 after reporting; a kept download without any
// waypoint fails without a message.
int iq_download_waypoints(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity);

// Sends each waypoint and reads its response line. 0 when every one was
// stored, else -1 (reported, or the count written as the status).
int iq_upload_waypoints(JobContext& ctx, const std::vector<Waypoint>& waypoints);

}  // namespace orlogix::flytec
