#pragma once
// The DSX's job routines: one chosen track as IGC text, kept raw, and the
// pilot data read and rewritten.
namespace orlogix {
class JobContext;
class RoutineRegistry;
}  // namespace orlogix

namespace orlogix::dsx {

int read_track_log_job(JobContext& ctx);
// ctx.params.pilot.texts: the five texts and the extra text as the pilot
// left them; a text left empty or as read is not sent.
int write_pilot_data_job(JobContext& ctx);

void register_dsx_jobs(RoutineRegistry& registry);

}  // namespace orlogix::dsx
