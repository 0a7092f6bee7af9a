#pragma once
// The jobs started from the window and the command line: at most one at a
// time, the busy and failure flags, abort, and the completion step that
// installs a job's result into the current data on the main thread. The
// application owns one JobFramework; nothing here is global.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "access/dispatch.hpp"
#include "access/job_context.hpp"

namespace orlogix {

class EventPoster;
class Reporter;
struct CurrentData;

// What happens on the main thread when a job ends.
enum class Completion {
    None,               // access types 2, 4 and 5: clear busy only
    TrackLog,           // install positions, header and raw logs
    WaypointsRead,      // replace the waypoint list
    WaypointsWritten,   // from the window: competition device identity
    CtrRead,            // replace the CTR list
    Written,            // track log or CTR written from the window
    CommandLineUpload,  // waypoint and CTR uploads of a command line
};

enum class DataView { TrackLog, Waypoints, Ctrs };

// How the completion step reaches the rest of the program; all run on the main thread.
struct JobHooks {
    // Refresh a list view after new data were installed.
    std::function<void(DataView)> refresh_view;
    // The completion message: code 1 (command line continues, param 1 = success)
    // or 2 (competition download finished, param 1 = a track log was installed).
    std::function<void(int code, int param)> completion_message;
    // Competition: record the instrument's device identity with the current pilot.
    std::function<void(const std::string& device_identity)> record_device_identity;
    // Competition: pilot IDs found on the instrument (-1 = none).
    std::function<void(int comp_id, int civl_id)> pilot_ids;
};

// Create it after the event loop and destroy it before: its jobs post there.
class JobFramework {
public:
    JobFramework(Reporter& ui, EventPoster& poster, CurrentData& data, const RoutineRegistry& routines = job_routines());
    ~JobFramework();   // shutdown()
    JobFramework(const JobFramework&) = delete;
    JobFramework& operator=(const JobFramework&) = delete;

    // Start-up: clears the debug trace and the current job.
    void init_jobs();
    // The configured port (a device path or "COMn"), copied into each job.
    void set_port_name(std::string name);
    void set_device_roots(DeviceRoots roots);
    // Where each job's link comes from; by default the serial link.
    void set_link_factory(LinkFactory factory);
    JobHooks& hooks();

    // Starts a job: 0, or -1 after an error box ("Bad access type", "Bad
    // protocol type", "Unsupported access function", "Port/USB is being used").
    // On success the busy flag is set.
    int start_job(AccessType access, ProtocolType protocol, Completion completion, JobParams params = {},
                  JobOptions options = {});
    // Asks the registered job to stop ("Aborting transfer"): 0, or -1 after
    // "Port not in use" (title "Abort GPS access").
    int abort_job();
    // The Abort button and window closing: when busy, clear busy (so the
    // results are dropped) and abort the job if it still runs.
    void abort_transfer();
    // Aborts and joins every job; their results are dropped. Safe to call twice.
    void shutdown();
    // Waits at most timeout_ms for the registered job to end; false when it still runs.
    bool wait_for_job_end(int timeout_ms = 2000);

    bool busy() const;
    bool failed() const;
    bool job_registered() const;
    // The menu check: true after "Busy GPS driver" with the entry's title.
    bool refuse_when_busy(std::string_view title);

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace orlogix
