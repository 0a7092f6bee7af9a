#pragma once
// The LogIt / Tracklogger job routines: the track log at the chosen speed
// (with the Tracklogger's point count and restarts), the product data, the
// erase and the owner name. All talk $PMLR at 4800 baud; a download that
// switched the rate always leaves the logger at 4800 in command mode.
#include "access/dispatch.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::logit {

int read_track_log_job(JobContext& ctx);
int read_product_data_job(JobContext& ctx);
int erase_log_job(JobContext& ctx);
int write_name_job(JobContext& ctx);

void register_logit_jobs(RoutineRegistry& registry);

}  // namespace orlogix::logit
