// The main window's analysis commands: the split choice, statistics, OLC,
// rotation, the clipboard copy and the track drawing.
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
#include <cstring>
#include <filesystem>

#include "access/debug_trace.hpp"
#include "analysis/flight_statistics.hpp"
#include "analysis/track_filters.hpp"
#include "control/command_runner.hpp"
#include "control/xc_score_command.hpp"
#include "core/text_buffer.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/gpx/writer.hpp"
#include "formats/igc/reader.hpp"
#include "formats/commands/igc_save.hpp"
#include "formats/igc/verify.hpp"
#include "formats/igc/writer.hpp"
#include "formats/kml/reader.hpp"
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

// A picture waits no longer for its contest flight: the best found by then is drawn.
constexpr double kTrackViewContestSeconds = 20.0;

bool same_fixes(const std::vector<TrackPosition>& a, const std::vector<TrackPosition>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(TrackPosition)) == 0;
}
}  // namespace

bool MainWindow::choose_log_parts(std::vector<TrackPosition>& positions) {
    const bool nosplit = options_.command && options_.command->no_split;
    const std::string title = split_title(settings_.port_name, data_.track_log.header.product_name);
    PartChooser chooser = [this](const std::string& t, const std::vector<std::string>& lines, std::vector<bool>& chosen) {
        SplitLogDialog dialog(t, lines, this);
        const int result = split_handler_ ? split_handler_(dialog) : dialog.exec();
        if (result != QDialog::Accepted) return false;
        chosen = dialog.chosen();
        return true;
    };
    return gap_split_choice(static_cast<uint32_t>(settings_.track_gap_time), nosplit, title, chooser)(positions);
}

void MainWindow::copy_track() {
    const char* title = "Copy track to clip board";
    if (require_view(kViewTrackLog, title) != 0) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box(title, "No position(s) selected");
        return;
    }
    std::vector<TrackPosition> positions;
    for (std::size_t r : rows) positions.push_back(data_.track_log.positions[r]);
    QClipboard* clipboard = QApplication::clipboard();
    if (!clipboard) {
        reporter_->error_box(title, "Failed to open clipboard");
        return;
    }
    clipboard->setText(q(clipboard_text(positions)));
}

void MainWindow::show_track() {
    const char* title = "Show track";
    if (track_view_) track_view_->close();
    if (require_view(kViewTrackLog, title) != 0) return;
    if (data_.track_log.positions.empty()) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box(title, "No positions selected");
        return;
    }
    if (rows.size() < 2) {
        reporter_->error_box(title, "Less than 2 positions selected");
        return;
    }
    auto positions = std::make_shared<std::vector<TrackPosition>>();
    positions->reserve(rows.size());
    for (std::size_t r : rows) positions->push_back(data_.track_log.positions[r]);
    track_view_ = new TrackViewWindow(prepare_track_drawing(*positions), this);
    const ContestRules& rules = contest_rules_named(settings_.contest_rules);
    if (last_contest_ && last_contest_->score.rules == &rules && same_fixes(*last_contest_->positions, *positions))
        track_view_->show_contest(last_contest_);
    else
        track_view_->score_contest(std::move(positions), rules, kTrackViewContestSeconds);
    track_view_->show();
}

void MainWindow::flight_statistics() {
    const char* title = "Get flight statistics";
    if (require_view(kViewTrackLog, title) != 0) return;
    if (data_.track_log.positions.empty()) return;
    std::vector<std::size_t> rows = selected_rows();
    std::vector<TrackPosition> selection;
    if (!rows.empty()) {
        selection = copy_selected_positions(data_.track_log, rows,
                                            [this](std::vector<TrackPosition>& p) { return choose_log_parts(p); });
        if (selection.empty()) return;  // the split choice was cancelled
    }
    auto session = std::make_unique<StatisticsSession>();
    StatisticsSettings ss;
    ss.vario_filter = static_cast<uint32_t>(settings_.vario_filter);
    ss.log_filter = settings_.log_filter != 0;
    ss.optimisation.loop_flight_gap = static_cast<uint32_t>(settings_.loop_flight_gap);
    const long long count = static_cast<long long>(selection.size());
    if (session->prepare(*reporter_, count, std::move(selection), data_.track_log.header, ss, calendar_now()) != 0)
        return;
    auto save_path = [this](const std::string& suggested) {
        FileRequest request;
        request.save = true;
        request.title = kLogbookSaveTitle;
        request.filters = {"DezuvaDar files (*.kml)", "All Files (*)"};
        request.folder = settings_.google_dir;
        request.name = suggested;
        std::string path = file_dialog(request);
        if (path.empty()) return path;
        if (complete_kml_path(*reporter_, path, request.filter_index == 0) != 0) return std::string();
        settings_.google_dir = std::filesystem::path(path).parent_path().string();
        return path;
    };
    std::optional<std::string> instrument;
    if (!data_.track_log.header.instrument_description.empty()) instrument = data_.track_log.header.instrument_description;
    StatisticsDialog d(*reporter_, std::move(session), save_path, instrument,
                       static_cast<uint32_t>(settings_.loop_flight_gap), contest_rules_named(settings_.contest_rules),
                       this);
    run_dialog(d);
    if (d.saved()) data_.track_log.header.saved = 1;
    settings_.contest_rules = std::string(d.contest_rules().name);
    if (auto scored = d.contest_result()) last_contest_ = std::move(scored);
}

void MainWindow::olc_statistics(bool igc_buffer) {
    if (require_view(kViewTrackLog, "OLC statistics") != 0) return;
    std::vector<TrackPosition> positions;
    if (igc_buffer) {
        if (data_.raw_igc.empty()) {
            reporter_->error_box("OLC statistics", "No raw IGC buffer stored");
            return;
        }
        RawIgcLog unused;
        if (read_igc_track(*reporter_, data_.raw_igc.bytes, positions, unused) <= 0) return;
    } else {
        std::vector<std::size_t> rows = selected_rows();
        if (rows.empty()) {
            reporter_->error_box("Initialize OLC statistics", "No position(s) selected");
            return;
        }
        positions = copy_selected_positions(data_.track_log, rows,
                                            [this](std::vector<TrackPosition>& p) { return choose_log_parts(p); });
        if (positions.empty()) return;
    }
    auto session = std::make_unique<OlcSession>();
    if (session->start(*reporter_, std::move(positions), {}) != 0) return;
    OlcEntries e;
    e.first_name = settings_.olc_first_name;
    e.last_name = settings_.olc_last_name;
    e.birth_date = settings_.olc_birth_date;
    e.glider_class = std::atoi(settings_.olc_glider_class.c_str());
    e.glider_type = settings_.olc_glider_type;
    e.call_sign = settings_.olc_call_sign;
    e.start_place = settings_.olc_start_place;
    e.region = settings_.olc_region;
    e.long_file_name = settings_.olc_long_file_name != 0;
    auto save_path = [this] {
        FileRequest request;
        request.save = true;
        request.title = "Save OLC file";
        request.filters = {"OLC files (*.olc)"};
        request.folder = settings_.olc_dir;
        std::string path = file_dialog(request);
        if (!path.empty()) settings_.olc_dir = std::filesystem::path(path).parent_path().string();
        return path;
    };
    OlcDialog d(*reporter_, std::move(session), igc_buffer ? &data_.raw_igc : nullptr, e, save_path, this);
    run_dialog(d);
    OlcEntries typed = d.entries();
    settings_.olc_first_name = typed.first_name;
    settings_.olc_last_name = typed.last_name;
    settings_.olc_birth_date = typed.birth_date;
    settings_.olc_glider_class = std::to_string(typed.glider_class);
    settings_.olc_glider_type = typed.glider_type;
    settings_.olc_call_sign = typed.call_sign;
    settings_.olc_start_place = typed.start_place;
    settings_.olc_region = typed.region;
    settings_.olc_long_file_name = typed.long_file_name;
}

void MainWindow::rotate_track() {
    const char* title = "Rotate track log";
    if (require_view(kViewTrackLog, title) != 0) return;
    if (data_.track_log.positions.empty()) {
        reporter_->error_box(title, "No positions loaded");
        return;
    }
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box(title, "No position(s) selected");
        return;
    }
    if (rows.size() == 1 && reporter_->yes_no_box(title, "Only one position selected, continue ?") != kBoxYes) return;
    std::vector<TrackPosition> positions = copy_selected_positions(data_.track_log, rows, nullptr);
    if (positions.empty()) return;
    RotateDialog d(*reporter_, rotate_memory_, this);
    if (run_dialog(d) != QDialog::Accepted) return;
    const GeoPosition start = semicircles_to_radians(rotate_memory_.start_latitude, rotate_memory_.start_longitude);
    const GeoPosition end = semicircles_to_radians(rotate_memory_.end_latitude, rotate_memory_.end_longitude);
    if (rotate_positions(positions, start, end) != 0) {
        reporter_->error_box(title, "Rotated position out of range");
        return;
    }
    install_rotated(data_.track_log, std::move(positions));
    model_->reload();
}

}  // namespace orlogix::ui
