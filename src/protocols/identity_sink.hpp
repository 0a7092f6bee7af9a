#pragma once
// Where a family hands the waypoints it reads in identity-check mode: in
// competition mode they go to the pilot-ID recogniser, which writes the
// job's found IDs and the product line; outside it nothing is looked at.
#include <functional>
#include <string>

#include "core/units.hpp"

namespace orlogix {

class JobContext;

// One waypoint's identifier (the name its Part names) and position in radians.
using IdentitySink = std::function<void(const std::string& identifier, const GeoPosition& position)>;

// Empty outside competition mode. Otherwise a recogniser in the mode the
// job's options give (dash mode or COMPID/CIVLID) that, on each find, sets
// the job result's comp_id and civl_id (-1 for the one not found) and shows
// the IDs as the product line. The job's result starts with both at -1.
IdentitySink identity_sink(JobContext& ctx);

}  // namespace orlogix
