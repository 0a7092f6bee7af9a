#include "control/command_runner.hpp"

#include <cerrno>

#include "access/job_framework.hpp"
#include "control/igc_output.hpp"
#include "control/notifier.hpp"
#include "control/output_file.hpp"
#include "core/current_data.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "analysis/track_filters.hpp"
#include "control/trip_analysis.hpp"
#include "formats/gpx_reader.hpp"
#include "formats/igc_reader.hpp"
#include "formats/kml_check.hpp"
#include "formats/kml_reader.hpp"
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
        case CommandOperation::OziLog: return "Writing OziExplorer track files is not available yet";
        case CommandOperation::MpsLog: return "Writing MapSource files is not available yet";
        case CommandOperation::ReadWaypoints:
        case CommandOperation::ReadGeoWaypoints: return "Writing waypoint files is not available yet";
        case CommandOperation::WriteWaypoints:
        case CommandOperation::WriteWaypointsIdName: return "Reading waypoint files is not available yet";
        case CommandOperation::WriteCtr: return "Reading OpenAir files is not available yet";
        case CommandOperation::CompLog: return "Competition downloads are not available yet";
        case CommandOperation::UserName: return "Writing Flymaster pilot data is not available yet";
        case CommandOperation::DatToKml: return "Converting .dat files to KML is not available yet";
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
    if (c_.operation == CommandOperation::IgcToKml) {
        GoogleEarthOptions options;
        options.max_gap = loop_gap();
        options.overwrite = c_.overwrite;
        failed_ = convert_igc_to_kml(env_.reporter, c_.file_name, options, make_trip_analysis(loop_gap(), c_.no_loop_opt)) != 0;
        finished_ = true;
        return;
    }
    if (c_.operation == CommandOperation::CheckKml) {
        failed_ = check_kml_file(env_.reporter, c_.file_name) != 0;
        finished_ = true;
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

uint32_t CommandRunner::loop_gap() const { return static_cast<uint32_t>(env_.settings.loop_flight_gap); }

// The split-log choice without a window: every part is kept unless someone
// at a terminal picks one.
bool CommandRunner::choose_parts(std::vector<TrackPosition>& positions) {
    const std::string& product = env_.data.track_log.header.product_name;
    PartChooser chooser = [this](const std::string& title, const std::vector<std::string>& lines,
                                 std::vector<bool>& chosen) {
        std::vector<std::string> items = lines;
        items.push_back("All parts");
        int pick = env_.reporter.choose(title, items, static_cast<int>(lines.size()));
        if (pick < 0) return false;
        for (std::size_t i = 0; i < chosen.size(); ++i) chosen[i] = pick == static_cast<int>(lines.size()) || pick == static_cast<int>(i);
        return true;
    };
    SplitChoice split = gap_split_choice(static_cast<uint32_t>(env_.settings.track_gap_time), c_.no_split,
                                         split_title(product, ""), chooser);
    return !split || split(positions);
}

bool CommandRunner::write_kml_output() {
    Reporter& r = env_.reporter;
    const TrackLog& log = env_.data.track_log;
    if (log.positions.empty()) {
        r.error_box("Download track log", "No positions");
        return false;
    }
    std::vector<TrackPosition> positions = copy_all_positions(log, nullptr);
    if (!choose_parts(positions) || positions.empty()) return true;  // cancelled: nothing written
    std::string path = replace_date(c_.file_name, positions.front().time);
    switch (decide_output_file(r, path, c_.overwrite, c_.window_mode == WindowMode::Hidden)) {
        case OutputDecision::Declined: return true;  // the user's choice: nothing written
        case OutputDecision::Fail: return false;
        case OutputDecision::Write: break;
    }
    const int count = static_cast<int>(positions.size());
    if (write_google_earth_file(r, path, std::move(positions), google_earth_options(log.header, loop_gap()),
                                make_trip_analysis(loop_gap(), c_.no_loop_opt)) != 0)
        return false;
    written_path_ = path;
    env_.data.track_log.header.saved = 1;
    r.status(strformat("%s: %d positions written", path.c_str(), count));
    return true;
}

bool CommandRunner::write_output() {
    Reporter& r = env_.reporter;
    if (c_.operation == CommandOperation::KmlLog) return write_kml_output();
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
    if (ext != ".igc" && ext != ".kml" && ext != ".gpx") {
        const bool later = ext == ".plt" || ext == ".dat" || ext == ".tnc" || ext == ".mps" || ext == ".log" ||
                           ext == ".csv";
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
    TrackLogHeader header;
    RawIgcLog raw;
    bool keep_raw = false;
    int count = 0;
    if (ext == ".igc") {
        count = read_igc_track(r, bytes, positions, raw);
        header.baro_present = 1;
        keep_raw = count > 0;
    } else if (ext == ".kml") {
        KmlTrack track;
        count = read_kml_track(r, bytes, false, track);
        positions = std::move(track.positions);
        header.times_in_utc = track.times_in_utc;
        header.baro_present = track.baro_present;
    } else {
        count = read_gpx_track(r, bytes, positions);
        header.times_in_utc = 1;
    }
    if (count <= 0) {
        failed_ = finished_ = true;
        return;
    }
    TrackLog& log = env_.data.track_log;
    log.positions = std::move(positions);
    header.download_time = calendar_now();
    log.header = std::move(header);
    if (keep_raw) env_.data.raw_igc = std::move(raw);
    r.status(log.positions.empty() ? std::string("No positions found")
                                   : strformat("%d positions read (Signature ignored)",
                                               static_cast<int>(log.positions.size())));
    finished_ = true;
}

}  // namespace orlogix
