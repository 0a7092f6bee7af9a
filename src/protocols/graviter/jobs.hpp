#pragma once
// The Graviter's job routines: the memory dump read as one track log of all
// its flights, and the owner name written into its memory.
namespace orlogix {
class JobContext;
class RoutineRegistry;
}  // namespace orlogix

namespace orlogix::graviter {

int read_track_log_job(JobContext& ctx);
// Writes the 8 bytes of ctx.params.pilot.pilot_name, blank-padded.
int write_owner_name_job(JobContext& ctx);

void register_graviter_jobs(RoutineRegistry& registry);

}  // namespace orlogix::graviter
