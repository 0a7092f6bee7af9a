#pragma once
// The MTK logger job routines: read the whole used log memory and decode it
// into a track log, and erase the log. Both identify the logger, read its
// logging status and switch logging off first; logging that was on is
// switched on again on every way out, or the next flight would be lost.
#include "access/dispatch.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::mtk {

int read_track_log_job(JobContext& ctx);
int erase_log_job(JobContext& ctx);

// Puts the routines above into the dispatch registry.
void register_mtk_jobs(RoutineRegistry& registry);

}  // namespace orlogix::mtk
