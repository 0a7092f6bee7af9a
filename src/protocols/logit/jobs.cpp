#include "protocols/logit/jobs.hpp"

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/identity_sink.hpp"
#include "protocols/logit/download.hpp"
#include "protocols/logit/session.hpp"
#include "protocols/mlr/link_session.hpp"
#include "protocols/mlr/sentences.hpp"

namespace orlogix::logit {

namespace {

constexpr int kCommandPauseMs = 500;
constexpr int kDefaultBaud = 57600;

// A command sent after the stop sentence; nothing is read back.
struct Command {
    const char* caption;
    const char* stop_error;   // the stop sentence failed
    const char* error;        // the command failed
    const char* done;
};
constexpr Command kErase{"Sending erase command", "E301 COM port write error", "E300 COM port write error",
                         "Command sent (no verification)"};
constexpr Command kName{"Sending name", "E401 COM port write error", "E400 COM port write error",
                        "Name sent (no verification)"};

int send_command(JobContext& ctx, const Command& c, std::string_view text) {
    if (connect_serial(ctx, mlr::kCommandBaud, false) < 0) {
        job_status(ctx, "No serial port");
        return -1;
    }
    if (write_text(ctx, mlr::kStopSentence) < 0) {
        job_error(ctx, c.stop_error, c.caption);
        job_status(ctx, "COM port write error");
        return -1;
    }
    if (!ctx.pause_ms(kCommandPauseMs)) return job_aborted(ctx);
    if (write_text(ctx, text) < 0) {
        job_error(ctx, c.error, c.caption);
        job_status(ctx, "Write error");
        return -1;
    }
    job_status(ctx, c.done);
    return 0;
}

}  // namespace

int read_track_log_job(JobContext& ctx) {
    // The logger carries no pilot IDs: in competition mode both become "none".
    identity_sink(ctx);
    std::vector<std::string> fields;
    if (identify(ctx, fields) < 0) return -1;
    DownloadRequest request;
    request.baud = ctx.params.baud > 0 ? ctx.params.baud : kDefaultBaud;
    request.restarts = fields[0] == kTracklogger;
    if (request.restarts && read_point_count(ctx, request.total) < 0) return -1;
    TrackLog& log = ctx.result.track_log;
    if (download_track_log(ctx, request, log.positions) < 0) return -1;
    mark_downloaded_track(ctx, {InstrumentFamily::LogIt});
    return 0;
}

int read_product_data_job(JobContext& ctx) {
    std::vector<std::string> fields;
    if (identify(ctx, fields) < 0) return -1;
    ctx.reporter.notice_box("LogIt data", "Name: " + fields[0] + "\n" + fields[1] + "\n" + fields[2] +
                                              "\nFirmware: " + fields[3]);
    return 0;
}

int erase_log_job(JobContext& ctx) { return send_command(ctx, kErase, mlr::kEraseCommand); }

int write_name_job(JobContext& ctx) {
    return send_command(ctx, kName, mlr::name_sentence(ctx.params.pilot.pilot_name));
}

void register_logit_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadTrackLog, Routine::LogIt, read_track_log_job);
    registry.add(AccessType::ReadProductData, Routine::LogIt, read_product_data_job);
    registry.add(AccessType::EraseTrackLog, Routine::LogIt, erase_log_job);
    registry.add(AccessType::WritePilotData, Routine::LogItName, write_name_job);
}

}  // namespace orlogix::logit
