#pragma once
// One job on its own thread. The thread waits at a start gate until whoever
// started it has registered it (the "create suspended, register, resume"
// order), runs the routine, stores the result, releases the link
// (end_job), runs the end step on the job thread (unregistering), and only
// then posts the "job finished" event to the main loop.
//
// Server sessions start their jobs with start_job_runner directly: they are
// not bound by the one-job rule of the window and the command line.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "access/dispatch.hpp"
#include "access/job_context.hpp"

namespace orlogix {

class EventPoster;

// The table cell's routine after the checks of a start: "Bad access type",
// "Bad protocol type", "Unsupported access function" (title "GPS access")
// are reported through r and give Routine::None.
Routine checked_routine(Reporter& r, AccessType access, ProtocolType protocol);

// The routine of a cell whose family has not registered itself: reports
// "This instrument family is not built yet" (title "GPS access"), -1.
int routine_not_built(JobContext& ctx);

class JobRunner {
public:
    // Runs on the main loop with the runner whose job ended.
    using Finished = std::function<void(const std::shared_ptr<JobRunner>&)>;
    // Runs on the job thread after end_job, before the event is posted.
    using EndStep = std::function<void(JobContext&)>;

    // Creates the thread, held at the gate. An empty routine runs routine_not_built.
    // The poster must outlive the job: the thread posts to it as its last act.
    static std::shared_ptr<JobRunner> create(std::shared_ptr<JobContext> ctx, JobRoutine routine, EventPoster& poster,
                                             Finished finished, EndStep end_step = {});
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Opens the gate: the routine starts.
    void resume();
    // Lets the held thread end without running the routine (failed registration).
    void cancel();
    // Asks the job to stop; every wait of the job wakes at once.
    void abort() { ctx_->timer.abort(); }
    // Waits for the thread to end; call from any thread but the job's own.
    void join();

    JobContext& context() { return *ctx_; }
    const std::shared_ptr<JobContext>& shared_context() const { return ctx_; }

private:
    JobRunner(std::shared_ptr<JobContext> ctx) : ctx_(std::move(ctx)) {}
    void run(JobRoutine routine, EventPoster& poster, Finished finished, EndStep end_step);

    std::shared_ptr<JobContext> ctx_;
    std::mutex gate_mutex_;
    std::condition_variable gate_;
    enum class Gate { Closed, Open, Cancelled } gate_state_ = Gate::Closed;
    std::mutex join_mutex_;
    std::thread thread_;
    std::weak_ptr<JobRunner> self_;
};

// Checks the cell and starts the job at once; null after reporting a bad cell.
std::shared_ptr<JobRunner> start_job_runner(std::shared_ptr<JobContext> ctx, const RoutineRegistry& routines,
                                            EventPoster& poster, JobRunner::Finished finished);

// Runs a routine on the calling thread with the same result and end steps
// (tests of the families, tools). Returns the result code.
int run_job_inline(JobContext& ctx, const JobRoutine& routine);

}  // namespace orlogix
