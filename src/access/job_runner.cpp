#include "access/job_runner.hpp"

#include "access/event_loop.hpp"
#include "access/instrument_catalogue.hpp"
#include "core/report.hpp"

namespace orlogix {

namespace {
constexpr std::string_view kAccessTitle = "GPS access";
}

Routine checked_routine(Reporter& r, AccessType access, ProtocolType protocol) {
    int a = static_cast<int>(access);
    int p = static_cast<int>(protocol);
    if (a < 0 || a >= kAccessTypeCount) {
        r.error_box(kAccessTitle, "Bad access type");
        return Routine::None;
    }
    if (!find_instrument(protocol)) {
        r.error_box(kAccessTitle, "Bad protocol type");
        return Routine::None;
    }
    Routine routine = dispatch_routine(a, p);
    if (routine == Routine::None) r.error_box(kAccessTitle, "Unsupported access function");
    return routine;
}

int routine_not_built(JobContext& ctx) {
    job_error(ctx, "This instrument family is not built yet", kAccessTitle);
    return -1;
}

std::shared_ptr<JobRunner> JobRunner::create(std::shared_ptr<JobContext> ctx, JobRoutine routine, EventPoster& poster,
                                             Finished finished, EndStep end_step) {
    std::shared_ptr<JobRunner> runner(new JobRunner(std::move(ctx)));
    runner->self_ = runner;
    runner->thread_ = std::thread(&JobRunner::run, runner.get(), std::move(routine), std::ref(poster),
                                  std::move(finished), std::move(end_step));
    return runner;
}

JobRunner::~JobRunner() {
    // Never leave a thread behind: an unreleased job is cancelled, a running one aborted.
    cancel();
    abort();
    join();
    // The last owner may be the job thread itself, right at its end.
    if (thread_.joinable()) thread_.detach();
}

void JobRunner::resume() {
    {
        std::lock_guard lock(gate_mutex_);
        if (gate_state_ == Gate::Closed) gate_state_ = Gate::Open;
    }
    gate_.notify_all();
}

void JobRunner::cancel() {
    {
        std::lock_guard lock(gate_mutex_);
        if (gate_state_ == Gate::Closed) gate_state_ = Gate::Cancelled;
    }
    gate_.notify_all();
}

void JobRunner::join() {
    std::lock_guard lock(join_mutex_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void JobRunner::run(JobRoutine routine, EventPoster& poster, Finished finished, EndStep end_step) {
    {
        std::unique_lock lock(gate_mutex_);
        gate_.wait(lock, [this] { return gate_state_ != Gate::Closed; });
        if (gate_state_ == Gate::Cancelled) return;
    }
    JobContext& ctx = *ctx_;
    ctx.result.code = routine ? routine(ctx) : routine_not_built(ctx);
    end_job(ctx);
    if (end_step) end_step(ctx);
    if (!finished) return;
    // The event keeps the runner alive until the main loop has handled it.
    std::shared_ptr<JobRunner> self = self_.lock();
    if (!self) return;
    poster.post([self, finished = std::move(finished)] { finished(self); });
}

std::shared_ptr<JobRunner> start_job_runner(std::shared_ptr<JobContext> ctx, const RoutineRegistry& routines,
                                            EventPoster& poster, JobRunner::Finished finished) {
    Routine routine = checked_routine(ctx->reporter, ctx->access_type, ctx->protocol_type);
    if (routine == Routine::None) return nullptr;
    JobRoutine fn = routines.find(ctx->access_type, routine);
    auto runner = JobRunner::create(std::move(ctx), std::move(fn), poster, std::move(finished));
    runner->resume();
    return runner;
}

int run_job_inline(JobContext& ctx, const JobRoutine& routine) {
    ctx.result.code = routine ? routine(ctx) : routine_not_built(ctx);
    end_job(ctx);
    return ctx.result.code;
}

}  // namespace orlogix
