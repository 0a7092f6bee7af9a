// The main window's small dialogs: waypoints, coordinates, port and filter
// settings, font, about and test.
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
#include "formats/gpx/reader.hpp"
#include "formats/gpx/writer.hpp"
#include "formats/igc/reader.hpp"
#include "formats/commands/igc_save.hpp"
#include "formats/igc/verify.hpp"
#include "formats/igc/writer.hpp"
#include "formats/kml/reader.hpp"
#include "access/port_list.hpp"
#include "ui/menu_table.hpp"
#include "ui/flymaster_dialogs.hpp"
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

void MainWindow::new_waypoint() {
    if (require_view(kViewWaypoints, "New waypoint") != 0) return;
    Waypoint w;
    w.time = time_now();
    w.latitude = last_waypoint_latitude_;
    w.longitude = last_waypoint_longitude_;
    WaypointDialog d(*reporter_, w, waypoint_utm_, this);
    if (run_dialog(d) != QDialog::Accepted) return;
    last_waypoint_latitude_ = d.waypoint().latitude;
    last_waypoint_longitude_ = d.waypoint().longitude;
    insert_waypoint(*reporter_, data_.waypoints, d.waypoint());
    model_->reload();
}

void MainWindow::edit_waypoint() {
    const char* title = "Edit waypoint";
    if (require_view(kViewWaypoints, title) != 0) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box(title, "No waypoint selected");
        return;
    }
    const std::size_t row = rows.front();
    WaypointDialog d(*reporter_, data_.waypoints[row], waypoint_utm_, this);
    if (run_dialog(d) != QDialog::Accepted) return;
    last_waypoint_latitude_ = d.waypoint().latitude;
    last_waypoint_longitude_ = d.waypoint().longitude;
    data_.waypoints[row] = d.waypoint();
    model_->reload();
}

void MainWindow::delete_waypoints() {
    if (require_view(kViewWaypoints, "Delete waypoints") != 0) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box("Delete waypoints", "No waypoints selected");
        return;
    }
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) data_.waypoints.erase(*it);
    model_->reload();
}

int MainWindow::run_dialog(QDialog& d) { return dialog_handler_ ? dialog_handler_(d) : d.exec(); }

void MainWindow::convert_position() {
    CoordinateConversionDialog d(*reporter_, this);
    run_dialog(d);
}

void MainWindow::calculate_distance() {
    DistanceDialog d(*reporter_, distance_memory_, data_.waypoints, this);
    run_dialog(d);
}

void MainWindow::set_port() {
    if (jobs_->refuse_when_busy("Select COM port")) return;
    PortDialog d(*reporter_, list_serial_ports(), settings_.port_name, this);
    if (run_dialog(d) != QDialog::Accepted) return;
    settings_.port_name = d.port_name();
    jobs_->set_port_name(settings_.port_name);
    refresh_title();
}

void MainWindow::set_gap_time() {
    std::unique_ptr<NumberDialog> d(make_gap_time_dialog(settings_.track_gap_time, this));
    if (run_dialog(*d) == QDialog::Accepted) settings_.track_gap_time = d->value();
}

void MainWindow::set_vario_filter() {
    std::unique_ptr<NumberDialog> d(make_vario_dialog(*reporter_, settings_.vario_filter, this));
    if (run_dialog(*d) == QDialog::Accepted) settings_.vario_filter = d->value();
    actions_[40172]->setChecked(settings_.vario_filter != 0);
}

void MainWindow::set_loop_gap() {
    std::unique_ptr<NumberDialog> d(make_loop_gap_dialog(*reporter_, settings_.loop_flight_gap, this));
    if (run_dialog(*d) == QDialog::Accepted) settings_.loop_flight_gap = d->value();
}

// The data an entry's set-data job sends, from the entry's dialog; false
// when the dialog was closed or there is nothing to send. An entry without
// a dialog sends the empty data.
bool MainWindow::ask_pilot_data(int entry, PilotData& out) {
    std::unique_ptr<FlymasterDataDialog> d = FlymasterDataDialog::for_entry(*reporter_, entry, this);
    if (!d) return true;
    if (run_dialog(*d) != QDialog::Accepted || !d->sends()) return false;
    out = d->data();
    return true;
}

// A job's form over the texts an instrument holds (the DSX pilot data):
// kBoxOk with the texts to send in the reply, kBoxCancel when closed.
int MainWindow::ask_texts(const BoxRequest& request) {
    std::unique_ptr<FlymasterDataDialog> d = FlymasterDataDialog::dsx_form(*reporter_, request.items, this);
    if (run_dialog(*d) != QDialog::Accepted) return kBoxCancel;
    request.reply->texts = d->data().texts;
    return kBoxOk;
}

void MainWindow::choose_font() {
    bool ok = false;
    QFont f = QFontDialog::getFont(&ok, user_font_, this, "Font");
    if (!ok) return;
    user_font_ = f;
    product_->setFont(user_font_);
    show_view(view_mode_, true);
}

void MainWindow::about() {
    reporter_->notice_box("About Orlogix", strformat("Orlogix\nVersion %d.%02d", kProgramVersionHundredths / 100,
                                                     kProgramVersionHundredths % 100));
}

// "&Test": what the program sees of this machine's ports, for support questions.
void MainWindow::test_dialog() {
    std::string text = "Configured port: " + settings_.port_name + "\nResolved: " + resolve_port_name(settings_.port_name) +
                       "\nSerial ports found:";
    const std::vector<std::string> ports = list_serial_ports();
    if (ports.empty()) text += " none";
    for (std::size_t i = 0; i < ports.size(); ++i) text += strformat("\n  COM%d  %s", static_cast<int>(i + 1), ports[i].c_str());
    reporter_->notice_box("Test", text);
}

}  // namespace orlogix::ui
