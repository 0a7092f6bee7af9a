#include "access/job_framework.hpp"

#include <atomic>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "access/debug_trace.hpp"
#include "access/event_loop.hpp"
#include "access/instrument_catalogue.hpp"
#include "access/job_runner.hpp"
#include "core/current_data.hpp"
#include "core/report.hpp"

namespace orlogix {

struct JobFramework::Impl : std::enable_shared_from_this<Impl> {
    Impl(Reporter& ui, EventPoster& poster, CurrentData& data, const RoutineRegistry& routines)
        : ui(ui), poster(poster), data(data), routines(routines) {}

    Reporter& ui;
    EventPoster& poster;
    CurrentData& data;
    const RoutineRegistry& routines;
    JobHooks hooks;
    std::string port_name = "COM1";
    DeviceRoots roots;
    LinkFactory link_factory;

    struct Live {
        std::shared_ptr<JobRunner> runner;
        Completion completion = Completion::None;
    };

    mutable std::mutex lock;                 // the job lock: current job and live jobs
    std::shared_ptr<JobRunner> current;      // the registered job
    std::map<uint64_t, Live> live;           // started and not yet completed
    uint64_t next_id = 1;
    std::atomic<uint64_t> busy_job{0};       // id of the job the busy flag belongs to; 0 = not busy
    std::atomic<bool> failed{false};

    void unregister(uint64_t id) {
        std::lock_guard guard(lock);
        if (current && current->context().id == id) current.reset();
    }

    void finish(const std::shared_ptr<JobRunner>& runner);
    void complete(JobContext& ctx, Completion completion);
    void install_track_log(JobContext& ctx);
    void copy_product_texts(const JobResult& r);
    void refresh(const JobContext& ctx, DataView view) {
        bool exiting = ctx.options.origin == JobOrigin::CommandLine && ctx.options.command_line_exit;
        if (!exiting && hooks.refresh_view) hooks.refresh_view(view);
    }
    void message(int code, int param) {
        if (hooks.completion_message) hooks.completion_message(code, param);
    }
};

void JobFramework::Impl::finish(const std::shared_ptr<JobRunner>& runner) {
    // The thread has posted this as its last act; the join is immediate.
    runner->join();
    Live entry;
    {
        std::lock_guard guard(lock);
        auto it = live.find(runner->context().id);
        if (it == live.end()) return;   // dropped by shutdown
        entry = std::move(it->second);
        live.erase(it);
    }
    complete(runner->context(), entry.completion);
}

void JobFramework::Impl::copy_product_texts(const JobResult& r) {
    auto& h = data.track_log.header;
    if (!r.product_name.empty()) h.product_name = r.product_name;
    if (!r.instrument_description.empty()) h.instrument_description = r.instrument_description;
    if (!r.device_identity.empty()) h.device_identity = r.device_identity;
}

void JobFramework::Impl::install_track_log(JobContext& ctx) {
    JobResult& r = ctx.result;
    const TrackLogHeader& got = r.track_log.header;
    InstrumentFamily family = got.instrument_family;
    // Families that deliver an IGC file or a Top Navigator log keep theirs
    // with the new positions; any other download makes the old ones stale.
    const RawLogRule keep = raw_logs_kept(family);
    if (keep.igc)
        data.raw_igc = std::move(r.raw_igc);
    else
        data.raw_igc.clear();
    if (keep.topnav)
        data.raw_topnav = std::move(r.raw_topnav);
    else
        data.raw_topnav.clear();

    if (std::size_t back = first_backwards_time(r.track_log.positions))
        ui.warning_box("Analyze track",
                       strformat("One or more points (the first at pos. %zu) go backwards in time", back));

    TrackLog& log = data.track_log;
    log.positions = std::move(r.track_log.positions);
    log.header.instrument_family = family;
    log.header.times_in_utc = got.times_in_utc;
    log.header.track_log_source = got.track_log_source;
    log.header.baro_present = got.baro_present;
    log.header.source_protocol_type = static_cast<int32_t>(ctx.protocol_type);
    log.header.saved = 0;
    copy_product_texts(r);
    log.header.download_time = calendar_now();
    refresh(ctx, DataView::TrackLog);
}

void JobFramework::Impl::complete(JobContext& ctx, Completion completion) {
    JobResult& r = ctx.result;
    // Results count only while the busy flag still belongs to this job: an
    // abort by the user clears it, the previous data stay, and the job has
    // failed even when it ended before it saw the abort (a command line must
    // not write the previous data as its output).
    const bool ok = r.code >= 0 && busy_job.load() == ctx.id;
    if (!ok) failed = true;
    const bool take = ok;
    const bool command_line = ctx.options.origin == JobOrigin::CommandLine;
    bool installed = false;

    switch (completion) {
    case Completion::TrackLog:
        if (take) {
            install_track_log(ctx);
            installed = true;
            // Both values, -1 included: one pilot's IDs never pre-fill the next.
            if (ctx.options.competition_mode && hooks.pilot_ids) hooks.pilot_ids(r.comp_id, r.civl_id);
        }
        break;
    case Completion::WaypointsRead:
        if (take) {
            data.waypoints.replace(std::move(r.waypoints));
            copy_product_texts(r);
            refresh(ctx, DataView::Waypoints);
        }
        break;
    case Completion::WaypointsWritten:
        if (take && ctx.options.competition_mode && hooks.record_device_identity && !r.device_identity.empty())
            hooks.record_device_identity(r.device_identity);
        break;
    case Completion::CtrRead:
        if (take) {
            data.ctrs = std::move(r.ctrs);
            refresh(ctx, DataView::Ctrs);
        }
        break;
    case Completion::None:
    case Completion::Written:
    case Completion::CommandLineUpload:
        break;
    }

    uint64_t mine = ctx.id;
    busy_job.compare_exchange_strong(mine, 0);

    // Every command-line job continues the command line, so that none of its
    // steps waits for a message that never comes.
    if (command_line)
        message(1, ok ? 1 : 0);
    else if (completion == Completion::TrackLog && ctx.options.competition_mode)
        message(2, installed ? 1 : 0);
}

JobFramework::JobFramework(Reporter& ui, EventPoster& poster, CurrentData& data, const RoutineRegistry& routines)
    : impl_(std::make_shared<Impl>(ui, poster, data, routines)) {}

JobFramework::~JobFramework() { shutdown(); }

void JobFramework::init_jobs() {
    clear_trace();
    std::lock_guard guard(impl_->lock);
    impl_->current.reset();
}

void JobFramework::set_port_name(std::string name) { impl_->port_name = std::move(name); }
void JobFramework::set_device_roots(DeviceRoots roots) { impl_->roots = std::move(roots); }
void JobFramework::set_link_factory(LinkFactory factory) { impl_->link_factory = std::move(factory); }
JobHooks& JobFramework::hooks() { return impl_->hooks; }

int JobFramework::start_job(AccessType access, ProtocolType protocol, Completion completion, JobParams params,
                            JobOptions options) {
    Impl& s = *impl_;
    s.failed = false;
    Routine routine = checked_routine(s.ui, access, protocol);
    if (routine == Routine::None) return -1;

    std::unique_lock guard(s.lock);
    if (s.current) {
        guard.unlock();
        s.ui.error_box("GPS access", "Port/USB is being used");
        return -1;
    }
    clear_trace();
    auto ctx = std::make_shared<JobContext>(s.ui, access, protocol,
                                            protocol == ProtocolType::GarminUsb ? std::string() : s.port_name);
    ctx->device_roots = s.roots;
    if (s.link_factory) ctx->set_link(s.link_factory(*ctx));
    ctx->params = std::move(params);
    ctx->options = std::move(options);
    ctx->id = s.next_id++;

    std::weak_ptr<Impl> weak = impl_;
    std::shared_ptr<JobRunner> runner;
    try {
        runner = JobRunner::create(
            ctx, s.routines.find(access, routine), s.poster,
            [weak](const std::shared_ptr<JobRunner>& r) {
                if (auto impl = weak.lock()) impl->finish(r);
            },
            [weak](JobContext& c) {
                if (auto impl = weak.lock()) impl->unregister(c.id);
            });
    } catch (const std::system_error&) {
        guard.unlock();
        s.ui.error_box("API32 call", "Could not create GPS access thread");
        return -1;
    }
    s.current = runner;
    s.live[ctx->id] = {runner, completion};
    s.busy_job = ctx->id;
    guard.unlock();
    runner->resume();
    return 0;
}

int JobFramework::abort_job() {
    Impl& s = *impl_;
    {
        std::lock_guard guard(s.lock);
        if (s.current) {
            job_status(s.current->context(), "Aborting transfer");
            s.current->abort();
            return 0;
        }
    }
    s.ui.error_box("Abort GPS access", "Port not in use");
    return -1;
}

void JobFramework::abort_transfer() {
    if (!busy()) return;
    Impl& s = *impl_;
    s.busy_job = 0;
    // A job that has just ended has nothing left to stop; clearing busy is
    // enough to drop its results, so no "Port not in use" here.
    std::lock_guard guard(s.lock);
    if (s.current) {
        job_status(s.current->context(), "Aborting transfer");
        s.current->abort();
    }
}

void JobFramework::shutdown() {
    if (!impl_) return;
    Impl& s = *impl_;
    std::vector<std::shared_ptr<JobRunner>> runners;
    {
        std::lock_guard guard(s.lock);
        s.busy_job = 0;
        for (auto& [id, entry] : s.live) {
            entry.runner->abort();
            runners.push_back(entry.runner);
        }
    }
    // Joined outside the lock: each job unregisters itself under it as it ends.
    for (auto& r : runners) r->join();
    std::lock_guard guard(s.lock);
    s.live.clear();
    s.current.reset();
}

bool JobFramework::wait_for_job_end(int timeout_ms) {
    Deadline deadline(timeout_ms);
    while (job_registered()) {
        if (deadline.expired()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool JobFramework::busy() const { return impl_->busy_job.load() != 0; }
bool JobFramework::failed() const { return impl_->failed.load(); }

bool JobFramework::job_registered() const {
    std::lock_guard guard(impl_->lock);
    return impl_->current != nullptr;
}

bool JobFramework::refuse_when_busy(std::string_view title) {
    if (!busy()) return false;
    impl_->ui.error_box(title, "Busy GPS driver");
    return true;
}

}  // namespace orlogix
