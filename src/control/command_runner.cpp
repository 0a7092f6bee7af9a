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
#include "control/xc_score_command.hpp"
#include "formats/commands/kml_check.hpp"
#include "formats/commands/ctr.hpp"
#include "formats/commands/track_batch.hpp"
#include "formats/commands/track_open.hpp"
#include "formats/commands/track_read.hpp"
#include "formats/commands/track_write.hpp"
#include "formats/commands/waypoint_file.hpp"
#include "protocols/flymaster/jobs.hpp"
#include "competition/competition_save.hpp"
#include "competition/pilot_identity.hpp"
#include "competition/pilot_list.hpp"
#include "competition/pilot_text.hpp"
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
const char* not_yet_built(CommandOperation) { return nullptr; }

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
    // Names are taken whole from the command line; the platform sets the limit
    // (an IGC folder is checked with the name a flight gets in it).
    if (!c_.file_name.empty() && c_.operation != CommandOperation::IgcLog &&
        !name_fits_platform(replace_date(c_.file_name, 0))) {
        fail_now("Error opening file", "Too long file name");
        return;
    }
    // The pilot list is read at once, so that a bad list stops the command
    // before an instrument is asked for anything.
    if (!c_.comp_fs_file.empty()) {
        std::string path = c_.comp_fs_file;
        if (read_pilot_list(env_.reporter, path, env_.data.pilots, PilotListOrigin::Named) != 0) {
            failed_ = finished_ = true;
            return;
        }
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
    if (c_.operation == CommandOperation::XcScore) {
        failed_ = run_xc_score(env_.reporter, c_, stdout) != 0;
        finished_ = true;
        return;
    }
    if (c_.operation == CommandOperation::DatToKml) {
        std::string base = c_.file_name;
        if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dat") == 0) base.resize(base.size() - 4);
        GoogleEarthOptions options;
        options.max_gap = loop_gap();
        options.overwrite = c_.overwrite;
        failed_ = convert_dat_to_kml(env_.reporter, base, options, make_trip_analysis(loop_gap(), c_.no_loop_opt)) != 0;
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
    if (c_.operation == CommandOperation::WriteCtr) {
        CtrList ctrs;
        const int count = read_ctr_file_for_upload(env_.reporter, c_.file_name, ctrs);
        if (count <= 0) {
            if (count == 0) env_.reporter.error_box("Reading CTR file", "No CTR found");
            failed_ = finished_ = true;
            return;
        }
        // The file becomes the current CTR list, as a read from the menu would
        // make it; the job sends its own copy.
        env_.data.ctrs = std::move(ctrs);
        if (!c_.exit) env_.reporter.status(strformat("%d CTRs read", count));
        JobParams params;
        params.ctrs = env_.data.ctrs;
        start_job(AccessType::WriteCtr, Completion::CommandLineUpload, std::move(params));
        return;
    }
    if (c_.operation == CommandOperation::UserName) {
        // Waits for its job like a download and exits with its result.
        JobParams params;
        params.pilot.kind = flymaster::kIds;
        params.pilot.pilot_name = c_.pilot.substr(0, 14);
        if (c_.comp_id >= 0) params.pilot.comp_id = std::to_string(c_.comp_id);
        if (c_.civl_id >= 0) params.pilot.civl_id = std::to_string(c_.civl_id);
        start_job(AccessType::WritePilotData, Completion::None, std::move(params));
        return;
    }
    if (c_.operation == CommandOperation::WriteWaypoints || c_.operation == CommandOperation::WriteWaypointsIdName) {
        start_waypoint_upload();
        return;
    }
    finished_ = true;  // nothing to do
}

JobOptions CommandRunner::job_options() const {
    JobOptions options;
    options.origin = JobOrigin::CommandLine;
    options.timeout_seconds = c_.timeout;
    options.command_line_exit = c_.exit;
    options.power_off = c_.power_off;
    options.no_split = c_.no_split;
    options.no_check = c_.no_check;
    options.no_loop_opt = c_.no_loop_opt;
    // A competition download looks for the pilot's ID waypoints, by the dash
    // waypoint when COMP_SPECIAL or the setting asks for it.
    options.competition_mode = c_.operation == CommandOperation::CompLog;
    options.dash_mode = c_.comp_special || env_.settings.comp_special != 0;
    options.track_gap_time = static_cast<uint32_t>(env_.settings.track_gap_time);
    options.vario_filter = static_cast<double>(env_.settings.vario_filter);
    options.log_filter = env_.settings.log_filter != 0;
    return options;
}

void CommandRunner::start_job(AccessType access, Completion completion, JobParams params) {
    if (!c_.port_name.empty()) env_.jobs.set_port_name(c_.port_name);
    params.baud = baud_value_for(c_);
    if (env_.jobs.start_job(access, static_cast<ProtocolType>(protocol_type_for(c_)), completion, std::move(params),
                            job_options()) != 0) {
        failed_ = true;
        finished_ = true;
        return;
    }
    env_.notifier.send("Transfer started");
}

// A flight is not fetched for an output that cannot be written.
bool CommandRunner::output_place_ok() const {
    if (c_.operation == CommandOperation::IgcLog) return check_igc_output_place(env_.reporter, c_) == 0;
    if (c_.operation == CommandOperation::CompLog) return true;  // its folder is the competition's
    return check_output_place(env_.reporter, c_.file_name, c_.overwrite, c_.window_mode == WindowMode::Hidden) == 0;
}

void CommandRunner::start_download() {
    const bool track = is_track_download(c_.operation);
    if (!output_place_ok()) {
        failed_ = finished_ = true;
        return;
    }
    if (c_.operation == CommandOperation::CompLog) {
        // Both numbers come with every competition download, -1 included.
        found_ = PilotIds{};
        env_.jobs.hooks().pilot_ids = [this](int comp_id, int civl_id) { found_ = PilotIds{comp_id, civl_id}; };
    }
    start_job(track ? AccessType::ReadTrackLog : AccessType::ReadWaypoints,
              track ? Completion::TrackLog : Completion::WaypointsRead, {});
}

void CommandRunner::start_waypoint_upload() {
    Reporter& r = env_.reporter;
    std::vector<Waypoint> waypoints;
    if (read_waypoint_file(r, c_.file_name, false, waypoints) <= 0) {
        failed_ = finished_ = true;
        return;
    }
    // These instruments take the naming of the operation; a Garmin gets the file as it is.
    if (c_.gps->command_names_uploads) {
        WaypointList list;
        list.replace(waypoints);
        std::vector<std::size_t> rows(waypoints.size());
        for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = i;
        waypoints = copy_selected_waypoints(
            list, rows,
            c_.operation == CommandOperation::WriteWaypoints ? UploadNaming::OnlyName : UploadNaming::IdAndName);
    }
    // The parser keeps both numbers within what a position holds.
    append_identity_waypoints(waypoints, PilotIds{c_.comp_id, c_.civl_id}, false, time_now());
    if (!c_.exit) {
        env_.data.waypoints.replace(waypoints);
        r.status(strformat("%d waypoints read %s", static_cast<int>(waypoints.size()), c_.file_name.c_str()));
    }
    JobParams params;
    params.waypoints = std::move(waypoints);
    start_job(AccessType::WriteWaypoints, Completion::CommandLineUpload, std::move(params));
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
    const std::string port = c_.port_name.empty() ? env_.settings.port_name : c_.port_name;
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
                                         split_title(port, product), chooser);
    return !split || split(positions);
}

bool CommandRunner::write_track_output() {
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
    if (c_.operation == CommandOperation::KmlLog) {
        if (write_google_earth_file(r, path, std::move(positions), google_earth_options(log.header, loop_gap()),
                                    make_trip_analysis(loop_gap(), c_.no_loop_opt)) != 0)
            return false;
    } else {
        const char* id = c_.operation == CommandOperation::MpsLog ? "mapsource" : "ozi";
        if (write_track_file(r, path, file_format(FormatKind::Track, id), positions) < 0) return false;
    }
    written_path_ = path;
    env_.data.track_log.header.saved = 1;
    r.status(strformat("%s: %d positions written", path.c_str(), count));
    if (c_.xc_score) return report_xc_score(r, c_, copy_all_positions(log, nullptr), stdout) == 0;
    return true;
}

bool CommandRunner::write_waypoint_output() {
    Reporter& r = env_.reporter;
    const WaypointList& list = env_.data.waypoints;
    if (list.empty()) {
        r.error_box("Download waypoints", "No waypoints");
        return false;
    }
    const std::string& path = c_.file_name;
    switch (decide_output_file(r, path, c_.overwrite, c_.window_mode == WindowMode::Hidden)) {
        case OutputDecision::Declined: return true;
        case OutputDecision::Fail: return false;
        case OutputDecision::Write: break;
    }
    const char* id = c_.operation == CommandOperation::ReadGeoWaypoints ? "geo" : "ozi";
    if (write_waypoint_file(r, path, file_format(FormatKind::Waypoint, id), list.items()) != 0) return false;
    written_path_ = path;
    r.status(strformat("%s: %d waypoints written", path.c_str(), static_cast<int>(list.size())));
    return true;
}

bool CommandRunner::write_output() {
    Reporter& r = env_.reporter;
    if (c_.operation == CommandOperation::KmlLog || c_.operation == CommandOperation::OziLog ||
        c_.operation == CommandOperation::MpsLog)
        return write_track_output();
    if (is_waypoint_download(c_.operation)) return write_waypoint_output();
    if (c_.operation == CommandOperation::CompLog) return write_competition_output();
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

// The pilot from the command line, the numbers found on the instrument
// where it names none; with a pilot list the choice of an entry (by default
// the one those numbers select). Then the save, never replacing a file.
bool CommandRunner::write_competition_output() {
    Reporter& r = env_.reporter;
    TrackLog& log = env_.data.track_log;
    if (log.positions.empty()) {
        r.error_box(kCompSaveTitle, "No positions");
        return false;
    }
    PilotList& list = env_.data.pilots;
    const CurrentPilot given{c_.pilot, PilotIds{c_.comp_id >= 0 ? c_.comp_id : found_.comp_id,
                                                c_.civl_id >= 0 ? c_.civl_id : found_.civl_id}};
    PilotFields fields{-1, pilot_number_text(given.ids.comp_id), pilot_number_text(given.ids.civl_id), given.name};
    if (!list.empty()) {
        const PilotFields opening = opening_fields(list, given);
        const std::string& product = log.header.product_name;
        const std::string title =
            product.empty() ? "Save competition log" : "Save competition log (" + product + ")";
        const int pick = r.choose(title, pilot_entry_texts(list), opening.selected);
        if (pick < 0) return false;
        fields = pick == opening.selected ? opening : entry_fields(list, pick);
    }
    Identification id;
    if (accept_identification(r, list, fields, id) != 0) return false;

    CompetitionSaveSettings s;
    s.comp_dir = c_.comp_dir.empty() ? env_.settings.comp_dir : c_.comp_dir;
    // FILTER and FILTEREND make the window together; without either the stored one holds.
    const bool window_given = c_.filter_start != 0 || c_.filter_end != 0;
    s.window_start = window_given ? c_.filter_start : static_cast<uint32_t>(env_.settings.comp_time_start);
    s.window_stop = window_given ? c_.filter_end : static_cast<uint32_t>(env_.settings.comp_time_stop);
    s.write_igc = c_.comp_file_type == CompFileType::Igc;
    s.command_line = true;
    s.vario_filter = static_cast<uint32_t>(env_.settings.vario_filter);
    s.log_filter = !c_.no_check;
    s.optimisation.loop_flight_gap = loop_gap();
    s.optimisation.no_loop_opt = c_.no_loop_opt;
    const CalendarTime now = calendar_now();
    const int rc = save_competition_log(r, log, log.positions, id.pilot, s, now,
                                        [this](std::vector<TrackPosition>& p) { return choose_parts(p); });
    if (rc < 0) return false;
    if (rc == 0) return true;  // nothing to save, or the split was cancelled
    written_path_ = competition_file_base(s.comp_dir, id.pilot, now) + ".kml";
    if (id.entry >= 0) add_device_to_pilot(list, id.entry, list.pilots[static_cast<std::size_t>(id.entry)],
                                           log.header.device_identity);
    return true;
}

void CommandRunner::open_log_file() {
    Reporter& r = env_.reporter;
    TrackFileRead read;
    const int count = read_track_file(r, c_.file_name, read) < 0 ? -1 : install_track(r, env_.data, read, {});
    if (count < 0) {
        failed_ = finished_ = true;
        return;
    }
    // The command line reads files without checking their signature.
    if (count > 0) r.status(strformat("%d positions read (Signature ignored)", count));
    finished_ = true;
}

}  // namespace orlogix
