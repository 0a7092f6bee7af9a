// The main window's file commands: the open and save dialogs with their
// remembered folders and filters, track files, IGC files and the debug trace.
#include "ui/main_window.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>

#include "access/debug_trace.hpp"
#include "analysis/flight_statistics.hpp"
#include "analysis/track_filters.hpp"
#include "control/command_runner.hpp"
#include "core/names.hpp"
#include "core/text_buffer.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/gpx/writer.hpp"
#include "formats/igc/reader.hpp"
#include "formats/commands/igc_save.hpp"
#include "formats/igc/verify.hpp"
#include "formats/igc/writer.hpp"
#include "formats/kml/reader.hpp"
#include "formats/commands/track_batch.hpp"
#include "formats/commands/track_open.hpp"
#include "formats/commands/track_read.hpp"
#include "core/file_names.hpp"
#include "formats/commands/track_write.hpp"
#include "control/trip_analysis.hpp"
#include "control/xc_score_command.hpp"
#include "access/port_list.hpp"
#include "ui/menu_table.hpp"
#include "ui/igc_dialog.hpp"
#include "ui/olc_dialog.hpp"
#include "ui/waypoint_dialog.hpp"
#include "ui/settings_dialogs.hpp"
#include "ui/statistics_dialog.hpp"
#include "formats/kml/logbook.hpp"
#include "analysis/statistics_session.hpp"
#include "ui/split_dialog.hpp"
#include "ui/track_drawing.hpp"

namespace orlogix::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// The batch runs while the window waits: each flight's contest search stops
// here with the best it found.
constexpr double kBatchContestSeconds = 10.0;

}  // namespace

std::string MainWindow::file_dialog(FileRequest& request) {
    if (file_handler_) return file_handler_(request);
    QStringList filters;
    // Qt's "*.*" misses names without a dot; "*" is what the filter means.
    for (const std::string& f : request.filters) filters << q(f).replace("(*.*)", "(*)");
    QString start = q(request.folder);
    if (!request.name.empty()) start = q((std::filesystem::path(request.folder) / request.name).string());
    QFileDialog dialog(this, q(request.title), start);
    dialog.setNameFilters(filters);
    if (request.filter_index >= 0 && request.filter_index < filters.size())
        dialog.selectNameFilter(filters[request.filter_index]);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save       ? QFileDialog::AnyFile
                       : request.multiple ? QFileDialog::ExistingFiles
                                          : QFileDialog::ExistingFile);
    // The program asks about existing files itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    request.filter_index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    for (const QString& f : dialog.selectedFiles()) request.chosen.push_back(f.toStdString());
    return dialog.selectedFiles().front().toStdString();
}

void MainWindow::open_log() {
    if (jobs_->refuse_when_busy("Open track log file")) return;
    FileRequest request;
    request.title = "Open track log file";
    request.filters = dialog_filters(FormatKind::Track, false, true);
    request.start_on(settings_.log_import_ext);
    request.folder = settings_.track_log_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    const int filter = request.chosen_filter();
    settings_.log_import_ext = filter;
    if (complete_for_filter(*reporter_, path, FormatKind::Track, false, filter) != 0) return;
    settings_.track_log_dir = std::filesystem::path(path).parent_path().string();
    // The filter names the format unless the name's extension names one.
    const FileFormat& chosen = format_for_filter(FormatKind::Track, false, filter);
    const FileFormat* typed = format_named_by_extension(FormatKind::Track, false, path, &chosen);
    open_track_as(path, typed != nullptr ? *typed : chosen);
}

int MainWindow::open_track_file(const std::string& path) {
    const char* title = "Reading track log file";
    if (!has_extension(path)) {
        reporter_->error_box(title, "Missing track log file extension");
        return -1;
    }
    const FileFormat* format = format_named_by_extension(FormatKind::Track, false, path);
    if (format == nullptr) {
        reporter_->error_box(title, "Unsupported track log file extension");
        return -1;
    }
    return open_track_as(path, *format);
}

int MainWindow::open_track_as(const std::string& path, const FileFormat& format) {
    TrackOpenSteps steps;
    steps.remove_backwards = [](std::vector<TrackPosition>& p) { drop_backwards(p); };
    steps.new_log = [this](const std::vector<TrackPosition>& current, const std::vector<TrackPosition>& incoming) {
        const TrackSpanTexts now = track_span_texts(current);
        const TrackSpanTexts fresh = track_span_texts(incoming);
        const int choice = reporter_->choose(
            "New Track Log",
            {"Overwrite current log (" + now.first + " - " + now.last + ", " + now.duration + ")",
             "Append " + fresh.first + " - " + fresh.last + " (" + fresh.duration + ")"},
            0);
        return choice == 0 ? NewTrackChoice::Overwrite : choice == 1 ? NewTrackChoice::Append : NewTrackChoice::Cancel;
    };
    const int count = orlogix::open_track_file(*reporter_, data_, path, format, steps);
    if (count <= 0) return -1;
    show_view(kViewTrackLog, true);
    model_->reload();
    reporter_->product(std::filesystem::path(path).filename().string());
    reporter_->status(strformat("%d positions read", static_cast<int>(data_.track_log.positions.size())));
    return static_cast<int>(data_.track_log.positions.size());
}

void MainWindow::save_log_as() {
    const char* title = kSaveTrackTitle;
    if (require_view(kViewTrackLog, title) != 0) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box(title, "No position(s) selected");
        return;
    }
    if (rows.size() == 1 && reporter_->question_box(title, "Only one position selected, continue ?") != kBoxOk) return;
    FileRequest request;
    request.save = true;
    request.title = "Save track log file";
    request.filters = dialog_filters(FormatKind::Track, true, true);
    request.start_on(settings_.log_export_ext);
    request.folder = settings_.track_log_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    int filter = request.chosen_filter();
    settings_.log_export_ext = filter;
    // A typed extension of a format chooses its writer.
    if (const FileFormat* typed = format_named_by_extension(FormatKind::Track, true, path,
                                                            &format_for_filter(FormatKind::Track, true, filter)))
        filter = typed->save_position;
    settings_.track_log_dir = std::filesystem::path(path).parent_path().string();
    std::vector<TrackPosition> positions = copy_selected_positions(
        data_.track_log, rows, [this](std::vector<TrackPosition>& p) { return choose_log_parts(p); });
    if (positions.empty()) return;
    const std::size_t removed = vario_filter(positions, static_cast<uint32_t>(settings_.vario_filter));
    if (removed > 0)
        reporter_->notice_box(title, strformat("%d positions have been removed due to vario filtering", static_cast<int>(removed)));
    save_track_log(*reporter_, path, filter, positions, data_.track_log.header, data_.raw_topnav, false);
}

void MainWindow::batch_convert(bool to_igc) {
    if (jobs_->refuse_when_busy(to_igc ? kBatchKmlToIgcTitle : kBatchIgcToKmlTitle)) return;
    FileRequest request;
    request.title = to_igc ? kBatchKmlToIgcTitle : kBatchIgcToKmlTitle;
    request.filters = {to_igc ? "DezuvaDar files (*.kml)" : "IGC files (*.igc)", "All Files (*)"};
    request.folder = to_igc ? settings_.track_log_dir : settings_.igc_dir;
    request.multiple = true;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    std::vector<std::string> files = request.chosen.empty() ? std::vector<std::string>{path} : request.chosen;
    (to_igc ? settings_.track_log_dir : settings_.igc_dir) = std::filesystem::path(files.front()).parent_path().string();
    BatchOptions options;
    options.batch_start = calendar_now();
    options.max_gap = static_cast<uint32_t>(settings_.loop_flight_gap);
    options.flight_note = contest_flight_note(contest_rules_named(settings_.contest_rules), kBatchContestSeconds);
    if (to_igc)
        batch_convert_kml_to_igc(*reporter_, files, options);
    else
        batch_convert_igc_to_kml(*reporter_, files, options,
                                 make_trip_analysis(static_cast<uint32_t>(settings_.loop_flight_gap), false));
}

void MainWindow::save_log_igc() {
    const char* title = "Write IGC track log file";
    if (require_view(kViewTrackLog, title) != 0) return;
    if (data_.track_log.positions.empty()) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box(title, "No position(s) selected");
        return;
    }
    if (rows.size() == 1 && reporter_->question_box(title, "Only one position selected, continue ?") != kBoxOk) return;
    std::vector<TrackPosition> positions = copy_selected_positions(
        data_.track_log, rows, [this](std::vector<TrackPosition>& p) { return choose_log_parts(p); });
    if (positions.empty()) return;
    const std::size_t removed = vario_filter(positions, static_cast<uint32_t>(settings_.vario_filter));
    if (removed > 0)
        reporter_->notice_box(title, strformat("%d positions have been removed due to vario filtering", static_cast<int>(removed)));
    IgcDialogValues values;
    values.pilot = settings_.igc_pilot_name;
    values.flight_number = settings_.igc_flight_no;
    values.fr_serial = settings_.igc_contest_id.empty() ? data_.raw_igc.serial : settings_.igc_contest_id;
    values.glider_type = settings_.igc_glider_type;
    values.glider_id = settings_.igc_glider_id;
    values.site = settings_.igc_site;
    values.competition_class = settings_.igc_class;
    values.name_form = igc_name_form_from_mask(settings_.igc_save_mask);
    values.add_enl = settings_.igc_add_enl != 0;
    auto write = [this, &positions](IgcDialogValues& v, int flight) {
        FileRequest request = igc_save_request(igc_save_file_name(v, flight, positions.front().time));
        std::string path = file_dialog(request);
        if (path.empty()) return 1;  // cancelled: the command ends
        settings_.igc_dir = std::filesystem::path(path).parent_path().string();
        const int written = save_igc_track_log(*reporter_, path, request.filter_index <= 0, positions,
                                               data_.track_log.header, v);
        if (written <= 0) return written;
        settings_.igc_pilot_name = v.pilot;
        settings_.igc_flight_no = v.flight_number;
        settings_.igc_contest_id = v.fr_serial;
        settings_.igc_glider_type = v.glider_type;
        settings_.igc_glider_id = v.glider_id;
        settings_.igc_site = v.site;
        settings_.igc_class = v.competition_class;
        settings_.igc_save_mask = igc_save_mask(v.name_form);
        settings_.igc_add_enl = v.add_enl;
        return 1;
    };
    IgcFormatDialog d(*reporter_, values, write, this);
    run_dialog(d);
}

void MainWindow::save_raw_igc() {
    if (jobs_->refuse_when_busy("Save IGC track log from GPS")) return;
    if (check_raw_igc_log(*reporter_, data_.raw_igc) != 0) return;
    auto write = [this](const std::string& flight_text, int flight, IgcNameForm form) {
        FileRequest request = igc_save_request(raw_igc_file_name(data_.raw_igc, form, flight));
        std::string path = file_dialog(request);
        if (path.empty()) return 1;  // cancelled: the command ends
        settings_.igc_dir = std::filesystem::path(path).parent_path().string();
        const int written = save_raw_igc_log(*reporter_, data_.raw_igc, path, request.filter_index <= 0,
                                             data_.track_log.header);
        if (written < 0) return -1;
        // Declining to overwrite ends the command too, with nothing to remember.
        if (written > 0) {
            settings_.igc_flight_no = read_field_text(flight_text, flight_text.size());
            settings_.igc_save_mask = igc_save_mask(form);
            reporter_->status(path);
        }
        return 1;
    };
    IgcRawDialog d(*reporter_, settings_.igc_flight_no, igc_name_form_from_mask(settings_.igc_save_mask), write, this);
    run_dialog(d);
}

// Both IGC saves offer the IGC filter alone when they suggest a name.
FileRequest MainWindow::igc_save_request(const std::string& name) const {
    FileRequest request;
    request.save = true;
    request.title = "Save track log";
    request.name = name;
    request.filters = {"IGC track log files (*.igc)"};
    if (name.empty()) request.filters.push_back("All Files (*)");
    request.folder = settings_.igc_dir;
    return request;
}

void MainWindow::verify_igc() {
    FileRequest request;
    request.title = "Verify IGC file";
    request.filters = {"IGC files (*.igc)", "All Files (*)"};
    request.folder = settings_.igc_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    settings_.igc_dir = std::filesystem::path(path).parent_path().string();
    verify_igc_file(*reporter_, path);
}

void MainWindow::dump_debug() {
    FileRequest request;
    request.save = true;
    request.title = "Dump debug data";
    request.filters = {"Log files (*.log)", "All Files (*)"};
    request.folder = settings_.trace_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    if (request.filter_index == 0 && !has_extension(path)) path += ".log";
    settings_.trace_dir = std::filesystem::path(path).parent_path().string();
    save_debug_buffer(*reporter_, path);
}

}  // namespace orlogix::ui
