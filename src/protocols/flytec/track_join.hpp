#pragma once
// Several downloaded tracks make one track log in time order.
#include <vector>

#include "core/records.hpp"

namespace orlogix::flytec {

// Puts next after the log when it starts after the log's last position, or
// in front when it ends before the first; the position where the two meet
// loses its segment start. False (log untouched) when they overlap in time.
// Throws std::bad_alloc like any growth.
bool join_track(std::vector<TrackPosition>& log, std::vector<TrackPosition> next);

}  // namespace orlogix::flytec
