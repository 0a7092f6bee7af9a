// The main window's competition steps: the mode and its time window, the
// pilot list (read, saved, shown), the pilot's identification and the
// competition save after a download or from "&Save log", and the pilot-ID
// upload offered after a competition download that found no ID waypoints.
#include "ui/main_window.hpp"

#include <filesystem>

#include "access/dispatch.hpp"
#include "competition/competition_save.hpp"
#include "competition/pilot_list.hpp"
#include "competition/pilot_text.hpp"
#include "core/file_names.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "ui/competition_dialogs.hpp"
#include "ui/qt_reporter.hpp"

namespace orlogix::ui {

namespace {

std::string folder_of(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

std::string device_text(const PilotRecord& p) {
    std::string out;
    for (const std::string& d : p.devices) {
        if (d.empty()) continue;
        if (!out.empty()) out += ", ";
        out += d;
    }
    return out;
}

}  // namespace

void MainWindow::setup_pilot_view() {
    ListViewDescriptor& d = descriptors_[kViewPilots];
    d.columns = pilot_columns();
    d.wide_text = true;
    d.row_count = [this] { return static_cast<int>(data_.pilots.size()); };
    d.cell_text = [this](int row, int column) {
        const PilotRecord& p = data_.pilots.pilots[static_cast<std::size_t>(row)];
        switch (column) {
            case 0: return p.name;
            case 1: return pilot_number_text(p.comp_id);
            case 2: return pilot_number_text(p.civl_id);
            case 3: return device_text(p);
            default: return std::string();
        }
    };
    // Every competition download reports both numbers, -1 included, so the
    // previous pilot's numbers never pass to the next one.
    jobs_->hooks().pilot_ids = [this](int comp_id, int civl_id) {
        found_ids_ = PilotIds{comp_id, civl_id};
        current_pilot_.ids = found_ids_;
    };
}

// Competition mode with a stored list file: read it (a folder, the default, is no list).
void MainWindow::read_startup_pilot_list() {
    if (!settings_.comp_mode || settings_.pilot_list_name.empty()) return;
    std::error_code ec;
    if (std::filesystem::is_directory(settings_.pilot_list_name, ec)) return;
    std::string path = settings_.pilot_list_name;
    if (read_pilot_list(*reporter_, path, data_.pilots, PilotListOrigin::Named) == 0) pilots_changed();
}

void MainWindow::pilots_changed() {
    if (view_mode_ == kViewPilots) model_->reload();
}

int MainWindow::browse_pilot_list() {
    FileRequest request;
    request.title = kPilotListReadTitle;
    request.filters = {"FS Database files (*.fsdb)", "All files (*.*)"};
    request.folder = settings_.pilot_list_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return -1;
    if (read_pilot_list(*reporter_, path, data_.pilots, PilotListOrigin::Dialog) != 0) return -1;
    settings_.pilot_list_dir = folder_of(path);
    settings_.pilot_list_name = path;
    pilots_changed();
    return static_cast<int>(data_.pilots.size());
}

void MainWindow::save_pilot_list() {
    if (data_.pilots.empty()) {
        reporter_->error_box(kPilotListSaveTitle, "No pilot list stored");
        return;
    }
    FileRequest request;
    request.save = true;
    request.title = kPilotListSaveTitle;
    request.filters = {"Pilot list files (*.csv)", "All files (*.*)"};
    request.folder = settings_.pilot_list_dir;
    std::string path = file_dialog(request);
    if (path.empty() || complete_file_name(*reporter_, path, ".csv") != 0) return;
    if (write_pilot_list(*reporter_, path, data_.pilots) >= 0) settings_.pilot_list_dir = folder_of(path);
}

void MainWindow::competition_mode() {
    CompetitionModeDialog::Actions actions;
    actions.read_list = [this] { return browse_pilot_list(); };
    actions.set_times = [this](uint32_t& start, uint32_t& stop) {
        CompetitionTimesDialog t(*reporter_, static_cast<uint32_t>(settings_.comp_time_start),
                                 static_cast<uint32_t>(settings_.comp_time_stop), this);
        if (run_dialog(t) != QDialog::Accepted) return false;
        settings_.comp_time_start = start = t.start_time();
        settings_.comp_time_stop = stop = t.stop_time();
        return true;
    };
    CompetitionModeDialog d(settings_.comp_mode != 0, static_cast<uint32_t>(settings_.comp_time_start),
                            static_cast<uint32_t>(settings_.comp_time_stop), std::move(actions), this);
    if (run_dialog(d) == QDialog::Accepted) settings_.comp_mode = d.mode() ? 1 : 0;
    if (d.list_read()) {
        show_view(kViewPilots, true);
        reporter_->status(strformat("%d pilots registered", static_cast<int>(data_.pilots.size())));
    }
    refresh_title();
}

PilotDialogActions MainWindow::pilot_dialog_actions() {
    PilotDialogActions a;
    a.browse_list = [this](std::string& file) {
        if (browse_pilot_list() < 0) return false;
        file = settings_.pilot_list_name;
        return true;
    };
    a.browse_folder = [this](const PilotFields& shown, std::string& folder) {
        CurrentPilot proposed{shown.name, PilotIds{}};
        int32_t n = -1;
        if (read_pilot_number(shown.comp_id, n) == NumberRead::Ok) proposed.ids.comp_id = n;
        if (read_pilot_number(shown.civl_id, n) == NumberRead::Ok) proposed.ids.civl_id = n;
        FileRequest request;
        request.save = true;
        request.title = "Get track log folder";
        request.filters = {"Comp. files (*.kml)", "All files (*.*)"};
        request.folder = !settings_.comp_dir.empty() ? settings_.comp_dir : settings_.pilot_list_dir;
        request.name = std::filesystem::path(competition_file_base("", proposed, calendar_now())).filename().string();
        const std::string path = file_dialog(request);
        if (path.empty()) return false;
        settings_.comp_dir = folder = folder_of(path);
        return true;
    };
    return a;
}

int MainWindow::identify_pilot(Identification& out) {
    const TrackLogHeader& h = data_.track_log.header;
    IdentifyPilotDialog d(*reporter_, instrument_title("Save competition log", h.product_name, h.device_identity),
                          data_.pilots, current_pilot_, settings_.pilot_list_name, settings_.comp_dir,
                          pilot_dialog_actions(), this);
    if (run_dialog(d) != QDialog::Accepted) return -1;
    out = d.identification();
    current_pilot_ = out.pilot;
    return 0;
}

int MainWindow::select_pilot() {
    const TrackLogHeader& h = data_.track_log.header;
    SelectPilotDialog d(*reporter_, instrument_title("Select pilot", h.product_name, h.device_identity), data_.pilots,
                        current_pilot_, settings_.comp_wpt_nnn != 0, settings_.pilot_list_name, pilot_dialog_actions(),
                        this);
    if (run_dialog(d) != QDialog::Accepted) return -1;
    settings_.comp_wpt_nnn = d.dash() ? 1 : 0;
    pilots_changed();  // the typed numbers went into the chosen entry
    return 0;
}

int MainWindow::save_competition(const Identification& id, const std::vector<TrackPosition>& source,
                                 const SplitChoice& split) {
    CompetitionSaveSettings s;
    s.comp_dir = settings_.comp_dir;
    s.window_start = static_cast<uint32_t>(settings_.comp_time_start);
    s.window_stop = static_cast<uint32_t>(settings_.comp_time_stop);
    s.write_igc = settings_.comp_special != 0 || settings_.add_igc_to_comp_out != 0;
    s.vario_filter = static_cast<uint32_t>(settings_.vario_filter);
    s.log_filter = settings_.log_filter != 0;
    s.optimisation.loop_flight_gap = static_cast<uint32_t>(settings_.loop_flight_gap);
    return save_competition_log(*reporter_, data_.track_log, source, id.pilot, s, calendar_now(), split);
}

// "&Save log" in competition mode: the selected rows, else the whole log.
void MainWindow::save_competition_selection() {
    if (jobs_->refuse_when_busy(kCompSaveTitle)) return;
    if (data_.track_log.positions.empty()) return;
    Identification id;
    if (identify_pilot(id) != 0) return;
    const std::vector<std::size_t> rows = view_mode_ == kViewTrackLog ? selected_rows() : std::vector<std::size_t>{};
    const std::vector<TrackPosition> source =
        rows.empty() ? data_.track_log.positions : copy_selected_positions(data_.track_log, rows, nullptr);
    save_competition(id, source, [this](std::vector<TrackPosition>& p) { return choose_log_parts(p); });
}

// Completion code 2: a competition download ended; installed tells whether it brought a track log.
void MainWindow::competition_download_done(bool installed) {
    if (!installed || data_.track_log.positions.empty()) return;
    Identification id;
    if (identify_pilot(id) != 0) return;
    const int rc = save_competition(id, data_.track_log.positions,
                                    [this](std::vector<TrackPosition>& p) { return choose_log_parts(p); });
    if (rc != 1) return;
    PilotRecord pilot;
    pilot.name = id.pilot.name;
    pilot.comp_id = static_cast<int32_t>(id.pilot.ids.comp_id);
    pilot.civl_id = static_cast<int32_t>(id.pilot.ids.civl_id);
    if (add_device_to_pilot(data_.pilots, id.entry, pilot, data_.track_log.header.device_identity)) pilots_changed();
    offer_pilot_id_upload(found_ids_, id.pilot.ids, id.pilot.name,
                          static_cast<ProtocolType>(data_.track_log.header.source_protocol_type));
}

bool MainWindow::offer_pilot_id_upload(const PilotIds& found, const PilotIds& known, const std::string& pilot,
                                       ProtocolType protocol) {
    const bool takes_waypoints = dispatch_routine(AccessType::WriteWaypoints, protocol) != Routine::None;
    if (!offer_pilot_id_upload_decision(found, takes_waypoints, known)) return false;
    JobParams params;
    if (append_identity_waypoints(params.waypoints, known, settings_.comp_wpt_nnn != 0, time_now()) != 0) return false;
    const std::string product = data_.track_log.header.product_name;
    if (reporter_->question_box(kNoPilotIdTitle, no_pilot_id_text(known, pilot, product)) != kBoxOk) return false;
    return jobs_->start_job(AccessType::WriteWaypoints, protocol, Completion::WaypointsWritten, std::move(params),
                            window_job_options(protocol)) == 0;
}

}  // namespace orlogix::ui
