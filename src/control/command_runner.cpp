#include "control/command_runner.hpp"

#include <cerrno>

#include "access/job_framework.hpp"
#include "control/igc_output.hpp"
#include "control/notifier.hpp"
#include "control/output_file.hpp"
#include "core/current_data.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc_reader.hpp"
#include "settings/settings.hpp"

namespace orlogix {
namespace {

bool is_track_download(CommandOperation op) {
    return op == CommandOperation::KmlLog || op == CommandOperation::OziLog || op == CommandOperation::IgcLog ||
           op == CommandOperation::MpsLog || op == CommandOperation::CompLog;
}

bool is_waypoint_download(CommandOperation op) {
    return op == CommandOperation::ReadWaypoints || op == CommandOperation::ReadGeoWaypoints;
}

// Operations whose files or instruments this build cannot handle yet.
const char* not_yet_built(CommandOperation op) {
    switch (op) {
        case CommandOperation::KmlLog: return "Writing KML files is not available yet";
        case CommandOperation::OziLog: return "Writing OziExplorer track files is not available yet";
        case CommandOperation::MpsLog: return "Writing MapSource files is not available yet";
        case CommandOperation::ReadWaypoints:
        case CommandOperation::ReadGeoWaypoints: return "Writing waypoint files is not available yet";
        case CommandOperation::WriteWaypoints:
        case CommandOperation::WriteWaypointsIdName: return "Reading waypoint files is not available yet";
        case CommandOperation::WriteCtr: return "Reading OpenAir files is not available yet";
        case CommandOperation::CompLog: return "Competition downloads are not available yet";
        case CommandOperation::UserName: return "Writing Flymaster pilot data is not available yet";
        case CommandOperation::IgcToKml: return "Converting IGC files to KML is not available yet";
        case CommandOperation::DatToKml: return "Converting .dat files to KML is not available yet";
        case CommandOperation::CheckKml: return "Checking KML files is not available yet";
        default: return nullptr;
    }
}

}  // namespace

CommandRunner::CommandRunner(const CommandLine& command, CommandEnvironment env) : c_(command), env_(env) {}

int CommandRunner::exit_code() const { return failed_ || env_.jobs.failed() ? 1 : 0; }

void CommandRunner::fail_now(const char* title, const std::string& text) {
    env_.reporter.error_box(title, text);
    failed_ = true;
    finished_ = true;
}

void CommandRunner::start() {
    if (const char* missing = not_yet_built(c_.operation)) {
        fail_now("Command line", missing);
        return;
    }
    if (c_.operation == CommandOperation::LogFile) {
        open_log_file();
        return;
    }
    if (is_track_download(c_.operation) || is_waypoint_download(c_.operation)) {
        start_download();
        return;
    }
    finished_ = true;  // nothing to do
}

void CommandRunner::start_download() {
    if (!c_.port_name.empty()) env_.jobs.set_port_name(c_.port_name);
    JobParams params;
    params.baud = baud_value_for(c_);
    JobOptions options;
    options.origin = JobOrigin::CommandLine;
    options.timeout_seconds = c_.timeout;
    options.command_line_exit = c_.exit;
    options.power_off = c_.power_off;
    options.no_split = c_.no_split;
    options.no_check = c_.no_check;
    options.no_loop_opt = c_.no_loop_opt;
    options.track_gap_time = static_cast<uint32_t>(env_.settings.track_gap_time);
    options.vario_filter = static_cast<double>(env_.settings.vario_filter);
    options.log_filter = env_.settings.log_filter != 0;
    const bool track = is_track_download(c_.operation);
    int started = env_.jobs.start_job(track ? AccessType::ReadTrackLog : AccessType::ReadWaypoints,
                                      static_cast<ProtocolType>(protocol_type_for(c_)),
                                      track ? Completion::TrackLog : Completion::WaypointsRead, std::move(params),
                                      std::move(options));
    if (started != 0) {
        failed_ = true;
        finished_ = true;
        return;
    }
    env_.notifier.send("Transfer started");
}

void CommandRunner::job_finished(bool success) {
    if (finished_) return;
    if (success && !write_output()) failed_ = true;
    finish(success && !failed_);
}

void CommandRunner::finish(bool success) {
    env_.notifier.send(success ? "Transfer completed" : "Transfer completed (error)");
    finished_ = true;
}

bool CommandRunner::write_output() {
    Reporter& r = env_.reporter;
    if (c_.operation == CommandOperation::IgcLog) {
        IgcOutputResult out;
        if (write_igc_output(r, c_, env_.data, out) != 0) return false;
        written_path_ = out.path;
        env_.data.track_log.header.saved = 1;
        if (out.positions > 0) r.status(strformat("%s: %d positions written", out.path.c_str(), out.positions));
        else r.status(out.path);
        return true;
    }
    return true;
}

void CommandRunner::open_log_file() {
    Reporter& r = env_.reporter;
    const std::string& name = c_.file_name;
    std::size_t dot = name.rfind('.');
    std::size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        fail_now(kParseTitle, "Missing track log file extension");
        return;
    }
    std::string ext = name.substr(dot);
    if (ext != ".igc") {
        const bool later = ext == ".kml" || ext == ".plt" || ext == ".dat" || ext == ".tnc" || ext == ".mps" ||
                           ext == ".log" || ext == ".csv" || ext == ".gpx";
        fail_now(kParseTitle, later ? "Reading " + ext + " track log files is not available yet"
                                    : std::string("Unsupported track log file extension"));
        return;
    }
    std::string bytes;
    if (read_file(name, bytes) != 0) {
        system_error_box(r, "Error opening track log file", errno);
        failed_ = finished_ = true;
        return;
    }
    if (bytes.empty()) {
        fail_now("Reading track log file", "File is empty");
        return;
    }
    std::vector<TrackPosition> positions;
    RawIgcLog raw;
    if (read_igc_track(r, bytes, positions, raw) < 0) {
        failed_ = finished_ = true;
        return;
    }
    TrackLog& log = env_.data.track_log;
    log.positions = std::move(positions);
    log.header = TrackLogHeader{};
    log.header.baro_present = 1;
    log.header.download_time = calendar_now();
    env_.data.raw_igc = std::move(raw);
    r.status(log.positions.empty() ? std::string("No positions found")
                                   : strformat("%d positions read (Signature ignored)",
                                               static_cast<int>(log.positions.size())));
    finished_ = true;
}

}  // namespace orlogix
