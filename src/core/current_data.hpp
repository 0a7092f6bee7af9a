#pragma once
// The program's current data set. Owned by the main thread; jobs hand their
// results over only through the completion step on that thread.
#include "core/ctr_records.hpp"
#include "core/pilot_records.hpp"
#include "core/records.hpp"

namespace orlogix {

struct CurrentData {
    TrackLog track_log;
    WaypointList waypoints;
    CtrList ctrs;
    PilotList pilots;
    RawIgcLog raw_igc;
    RawTopNavLog raw_topnav;
};

}  // namespace orlogix
