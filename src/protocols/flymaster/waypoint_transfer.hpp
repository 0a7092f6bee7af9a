#pragma once
// The waypoints of a Flymaster on an identified link: the download into a
// list (or, in identity-check mode, into the pilot-ID recogniser only), and
// the upload with every answer checked.
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "protocols/identity_sink.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flymaster {

// list null: identity-check mode, each waypoint's name and position go to
// identity and nothing is stored. 0, or -1 (after reporting, except for an
// empty list).
int download_waypoints(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity);

// 0 when every answer was good, else -1 after reporting.
int upload_waypoints(JobContext& ctx, const std::vector<Waypoint>& waypoints, std::string_view firmware);

}  // namespace orlogix::flymaster
