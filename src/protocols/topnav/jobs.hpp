#pragma once
// The Top Navigator and XC Trainer job routines.
#include "access/dispatch.hpp"

namespace orlogix::topnav {

// Puts the family's routines into the dispatch registry: the block-form
// track download, the text-line waypoint read and the upload under the
// Top Navigator's routine, the packet waypoint read under the XC
// Trainer's, and the MXP download.
void register_topnav_jobs(RoutineRegistry& registry);

}  // namespace orlogix::topnav
