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
#include <cerrno>
#include <filesystem>

#include "access/debug_trace.hpp"
#include "analysis/flight_statistics.hpp"
#include "analysis/track_filters.hpp"
#include "control/command_runner.hpp"
#include "core/text_buffer.hpp"
#include "formats/gpx_reader.hpp"
#include "formats/gpx_writer.hpp"
#include "formats/igc_reader.hpp"
#include "formats/igc_save.hpp"
#include "formats/igc_verify.hpp"
#include "formats/igc_writer.hpp"
#include "formats/kml_reader.hpp"
#include "access/port_list.hpp"
#include "ui/menu_table.hpp"
#include "ui/igc_dialog.hpp"
#include "ui/olc_dialog.hpp"
#include "ui/waypoint_dialog.hpp"
#include "ui/settings_dialogs.hpp"
#include "ui/statistics_dialog.hpp"
#include "formats/kml_logbook.hpp"
#include "analysis/statistics_session.hpp"
#include "ui/split_dialog.hpp"
#include "ui/track_drawing.hpp"

namespace orlogix::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

struct TrackFormat {
    const char* name;
    const char* extension;
    bool built;
};
const std::vector<TrackFormat>& save_formats() {
    static const std::vector<TrackFormat> f = {
        {"Ozi", ".plt", false}, {"MapSource", ".mps", false}, {"TopNavigator", ".tnc", false},
        {"GPX", ".gpx", true},  {"CSV", ".csv", false}};
    return f;
}
const std::vector<TrackFormat>& open_formats() {
    static const std::vector<TrackFormat> f = {
        {"DezuvaDar", ".kml", true},   {"Ozi", ".plt", false},     {"DezuvaDar (old)", ".dat", false},
        {"TopNavigator", ".tnc", false}, {"MapSource", ".mps", false}, {"Magellan", ".log", false},
        {"IGC", ".igc", true},         {"GPX", ".gpx", true},      {"CSV", ".csv", false}};
    return f;
}

// One "%s files (*%s)" entry per format, then one "%s files (*.*)" per format.
std::vector<std::string> format_filters(const std::vector<TrackFormat>& formats) {
    std::vector<std::string> out;
    for (const TrackFormat& f : formats) out.push_back(strformat("%s files (*%s)", f.name, f.extension));
    for (const TrackFormat& f : formats) out.push_back(strformat("%s files (*)", f.name));
    return out;
}

std::string extension_of(const std::string& path) {
    std::filesystem::path p(path);
    return p.extension().string();
}

}  // namespace

std::string MainWindow::file_dialog(FileRequest& request) {
    if (file_handler_) return file_handler_(request);
    QStringList filters;
    for (const std::string& f : request.filters) filters << q(f);
    QString start = q(request.folder);
    if (!request.name.empty()) start = q((std::filesystem::path(request.folder) / request.name).string());
    QFileDialog dialog(this, q(request.title), start);
    dialog.setNameFilters(filters);
    if (request.filter_index >= 0 && request.filter_index < filters.size())
        dialog.selectNameFilter(filters[request.filter_index]);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The program asks about existing files itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    request.filter_index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    return dialog.selectedFiles().front().toStdString();
}

void MainWindow::open_log() {
    if (jobs_->refuse_when_busy("Open track log file")) return;
    if (!data_.track_log.positions.empty() && !data_.track_log.header.saved &&
        reporter_->question_box("Unsaved track log", "Continue without saving current track log ?") != kBoxOk)
        return;
    FileRequest request;
    request.title = "Open track log file";
    request.filters = format_filters(open_formats());
    request.filter_index = static_cast<int>(settings_.log_import_ext);
    request.folder = settings_.track_log_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    settings_.log_import_ext = request.filter_index;
    const auto& formats = open_formats();
    if (request.filter_index >= 0 && request.filter_index < static_cast<int>(formats.size()) &&
        extension_of(path).empty())
        path += formats[static_cast<std::size_t>(request.filter_index)].extension;
    settings_.track_log_dir = std::filesystem::path(path).parent_path().string();
    open_track_file(path);
}

int MainWindow::open_track_file(const std::string& path) {
    const char* title = "Reading track log file";
    std::string ext = extension_of(path);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".igc" && ext != ".kml" && ext != ".gpx") {
        reporter_->error_box(title, ext.empty() ? std::string("Missing track log file extension")
                                                : "Reading " + ext + " track log files is not available yet");
        return -1;
    }
    std::string bytes;
    if (read_file(path, bytes) != 0) {
        system_error_box(*reporter_, "Error opening file", errno);
        return -1;
    }
    if (bytes.empty()) {
        reporter_->error_box(title, "File is empty");
        return -1;
    }
    std::vector<TrackPosition> positions;
    TrackLogHeader header;
    RawIgcLog raw;
    int count = 0;
    if (ext == ".igc") {
        count = read_igc_track(*reporter_, bytes, positions, raw);
        header.baro_present = 1;
    } else if (ext == ".kml") {
        KmlTrack track;
        count = read_kml_track(*reporter_, bytes, false, track);
        positions = std::move(track.positions);
        header.times_in_utc = track.times_in_utc;
        header.baro_present = track.baro_present;
    } else {
        count = read_gpx_track(*reporter_, bytes, positions);
        header.times_in_utc = 1;
    }
    if (count <= 0) return -1;
    // Only a complete read replaces the current log.
    data_.track_log.positions = std::move(positions);
    header.download_time = calendar_now();
    data_.track_log.header = std::move(header);
    data_.raw_igc.clear();
    if (ext == ".igc") data_.raw_igc = std::move(raw);
    show_view(kViewTrackLog, true);
    model_->reload();
    reporter_->product(std::filesystem::path(path).filename().string());
    reporter_->status(strformat("%d positions read", static_cast<int>(data_.track_log.positions.size())));
    std::string warning = backwards_warning(data_.track_log.positions);
    if (!warning.empty()) reporter_->warning_box(title, warning);
    return static_cast<int>(data_.track_log.positions.size());
}

void MainWindow::save_log_as() {
    const char* title = "Save track log";
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
    request.filters = format_filters(save_formats());
    request.filter_index = static_cast<int>(settings_.log_export_ext);
    request.folder = settings_.track_log_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    settings_.log_export_ext = request.filter_index;
    settings_.track_log_dir = std::filesystem::path(path).parent_path().string();
    const auto& formats = save_formats();
    const std::size_t n = formats.size();
    const std::size_t chosen = request.filter_index < 0 ? 3 : static_cast<std::size_t>(request.filter_index) % n;
    if (extension_of(path).empty() && request.filter_index >= 0 && static_cast<std::size_t>(request.filter_index) < n)
        path += formats[chosen].extension;
    const std::string ext = extension_of(path);
    const TrackFormat* format = &formats[chosen];
    for (const TrackFormat& f : formats)
        if (ext == f.extension) format = &f;
    if (!format->built) {
        reporter_->error_box(title, strformat("Writing %s track files is not available yet", format->name));
        return;
    }
    std::vector<TrackPosition> positions = copy_selected_positions(
        data_.track_log, rows, [this](std::vector<TrackPosition>& p) { return choose_log_parts(p); });
    if (positions.empty()) return;
    const std::size_t removed = vario_filter(positions, static_cast<uint32_t>(settings_.vario_filter));
    if (removed > 0)
        reporter_->notice_box(title, strformat("%d positions have been removed due to vario filtering", static_cast<int>(removed)));
    if (std::filesystem::exists(path) && reporter_->question_box("File creation", "File already exists, overwrite ?") != kBoxOk)
        return;
    if (write_gpx_track_file(*reporter_, path, positions) != 0) return;
    data_.track_log.header.saved = 1;
    reporter_->status(strformat("%d positions written", static_cast<int>(positions.size())));
    reporter_->notice_box(title, "File written");
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
    values.name_form = static_cast<IgcNameForm>(std::clamp<int64_t>(settings_.igc_save_mask, 0, 2));
    values.add_enl = settings_.igc_add_enl != 0;
    auto write = [this, &positions](IgcDialogValues& v, int flight) {
        FileRequest request;
        request.save = true;
        request.title = "Save track log";
        request.name = igc_save_file_name(v, flight, positions.front().time);
        request.filters = {"IGC track log files (*.igc)"};
        if (request.name.empty()) request.filters.push_back("All Files (*)");
        request.folder = settings_.igc_dir;
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
        settings_.igc_save_mask = static_cast<int64_t>(v.name_form);
        settings_.igc_add_enl = v.add_enl;
        return 1;
    };
    IgcFormatDialog d(*reporter_, values, write, this);
    run_dialog(d);
}

void MainWindow::save_raw_igc() {
    if (jobs_->refuse_when_busy("Save IGC track log from GPS")) return;
    if (check_raw_igc_log(*reporter_, data_.raw_igc) != 0) return;
    FileRequest request;
    request.save = true;
    request.title = "Save IGC track log from GPS";
    request.filters = {"IGC files (*.igc)", "All Files (*)"};
    request.folder = settings_.igc_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    settings_.igc_dir = std::filesystem::path(path).parent_path().string();
    save_raw_igc_log(*reporter_, data_.raw_igc, path, request.filter_index == 0, data_.track_log.header);
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
    if (request.filter_index == 0 && extension_of(path).empty()) path += ".log";
    settings_.trace_dir = std::filesystem::path(path).parent_path().string();
    save_debug_buffer(*reporter_, path);
}

}  // namespace orlogix::ui
