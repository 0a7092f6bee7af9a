#pragma once
// Everything one GPS access job owns: what it was asked to do (parameters
// and a snapshot of the options taken on the main thread), what it produces
// (the result the completion step installs), its timer, its link and where
// it reports to.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/job_timer.hpp"
#include "access/port_list.hpp"
#include "access/port_reader.hpp"
#include "access/serial_link.hpp"
#include "access/tracing_link.hpp"
#include "access/types.hpp"
#include "access/usb_transport.hpp"
#include "core/ctr_records.hpp"
#include "core/records.hpp"

namespace orlogix {

class Reporter;

enum class JobOrigin { Window, CommandLine, ServerSession };

// Settings a job reads, copied when it starts so the main thread may change
// its own copies while the job runs.
struct JobOptions {
    JobOrigin origin = JobOrigin::Window;
    int timeout_seconds = 0;          // TIMEOUT of a command line or session; 0 = default
    bool command_line_exit = false;   // the running command line ends with EXIT
    bool power_off = false;           // PWROFF, or the menu toggle
    bool competition_mode = false;    // CompMode
    bool dash_mode = false;           // CompSpecial
    uint32_t comp_time_start = 0;     // CompTimeStart, 0 = no limit
    uint32_t comp_time_stop = 0;      // CompTimeStop, 0 = no limit
    // Filters and optimisation.
    uint32_t track_gap_time = 1200;   // seconds
    double vario_filter = 0;          // m/s, 0 = off
    bool log_filter = true;
    bool no_split = false;
    bool no_check = false;
    bool no_loop_opt = false;
    std::string output_folder;        // where "read all tracks" jobs put their files
    bool deliver_flight = false;      // a server client asked for the flight: keep the raw IGC log

    // Attempts of the connect loop: TIMEOUT when above 0, else 30.
    int connect_attempts() const { return timeout_seconds > 0 ? timeout_seconds : 30; }
};

// Pilot data for the write-pilot-data jobs; each family uses the fields it sends.
struct PilotData {
    int kind = 0;                 // family-defined: which record to write
    std::string pilot_name;
    std::string comp_id;
    std::string civl_id;
    std::string glider_brand;
    std::string glider_model;
    int altitude_alarm = 0;       // metres
    std::vector<std::string> texts;
};

struct JobParams {
    int baud = 0;                            // baud or mode value; 0 = the protocol's default
    std::vector<Waypoint> waypoints;         // to upload
    std::vector<TrackPosition> positions;    // to upload as a track log
    std::string track_name;                  // name of an uploaded track log
    CtrList ctrs;                            // to upload: the selected ones are sent
    PilotData pilot;
};

inline constexpr int kTrackListSize = 31;

struct TrackListEntry {
    uint32_t start = 0;      // time stamp of the first fix
    uint32_t duration = 0;   // seconds; 0 = no such track
};

struct JobResult {
    int code = 0;                            // 0 or a count on success, negative on failure
    TrackLog track_log;                      // positions and the header values the job set
    std::vector<Waypoint> waypoints;
    CtrList ctrs;                            // a downloaded CTR list
    RawIgcLog raw_igc;                       // with maker code, serial and first-fix time
    RawTopNavLog raw_topnav;
    int comp_id = -1;                        // -1 = none
    int civl_id = -1;
    std::string product_name;                // at most 16 characters
    std::string instrument_description;      // at most 80
    std::string device_identity;             // at most 50
};

class JobContext {
public:
    JobContext(Reporter& reporter, AccessType access, ProtocolType protocol, std::string port_name = {})
        : reporter(reporter), access_type(access), protocol_type(protocol), port_name(std::move(port_name)) {}
    // The reader thread stops before the link goes.
    ~JobContext() { reader.stop(); }
    JobContext(const JobContext&) = delete;
    JobContext& operator=(const JobContext&) = delete;

    Reporter& reporter;
    AccessType access_type;
    ProtocolType protocol_type;
    bool session = false;          // a TCP server session's job
    std::string port_name;         // as configured: a device path or "COMn"
    DeviceRoots device_roots;      // where "COMn" is looked up
    uint64_t id = 0;               // set by whoever starts the job

    JobParams params;
    JobOptions options;
    JobResult result;

    // The server's track selection and the track list the job read. The
    // selection is written by the server thread while the job reads it.
    std::array<TrackListEntry, kTrackListSize> track_list{};
    std::atomic<int> selected_track{0};   // 0 = none yet

    JobTimer timer;

    // The link to the instrument, behind the trace: the termios serial link
    // unless set_link() put another there (a test's in-memory link).
    TracingLink& link() { return link_; }
    // Before the job runs: the link, and its clock for the timer.
    void set_link(std::shared_ptr<Link> link) {
        link_.set_inner(std::move(link));
        timer.set_clock(link_.clock());
    }

    std::unique_ptr<UsbTransport> usb;
    PortReader reader;

    bool aborted() const { return timer.aborted(); }
    // Abortable pause on the link's clock; false when the job was aborted.
    bool pause_ms(int64_t ms) { return timer.pause_ms(ms); }

private:
    TracingLink link_{std::make_shared<SerialLink>()};
};

// Makes the link of each job a framework starts (tests join jobs to a
// simulated instrument in memory); empty: the serial link.
using LinkFactory = std::function<std::shared_ptr<Link>(const JobContext&)>;

// Reporting: to the window, the headless runner or the server session
// behind the context's reporter.
void job_status(JobContext& ctx, std::string_view text);
void job_product(JobContext& ctx, std::string_view text);
void job_error(JobContext& ctx, std::string_view text, std::string_view title);
// A blocking choice from the job thread (a track list, a dialog in the
// middle of a transfer): the chosen index or -1.
int job_choose(JobContext& ctx, std::string_view title, const std::vector<std::string>& items, int default_index);
int job_yes_no(JobContext& ctx, std::string_view title, std::string_view text);
// Shows "Transfer aborted" and returns -1: what every wait does after an abort.
int job_aborted(JobContext& ctx);

// How a family marks the track log it downloaded.
struct DownloadMarks {
    InstrumentFamily family;
    bool times_in_utc = false;
    bool baro_present = false;
    uint32_t source = 1;   // 1: straight from the instrument
};
// The result's track header as a download leaves it: the family's marks and
// the job's product texts.
void mark_downloaded_track(JobContext& ctx, const DownloadMarks& marks);

// Releases the link: stops the reader thread, closes the serial port and
// the USB device. Safe to call more than once.
void end_job(JobContext& ctx);

}  // namespace orlogix
