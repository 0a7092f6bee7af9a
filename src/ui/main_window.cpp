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

constexpr const char* kBusy = "Busy GPS driver";

QString q(const std::string& s) { return QString::fromStdString(s); }

// Commands of the window that are built; instrument entries are enabled by
// the families that registered their job routines.
const std::vector<int>& built_commands() {
    static const std::vector<int> ids = {
        40116, 40117, 40043, 40072, 40073, 40139, 40019, 40042, 40088, 40146, 40144, 40142, 40025, 40024,
        40140, 40115, 40124, 40038, 40030, 40031, 40095, 40094, 40129, 40101, 40141, 40032, 40028, 40006, 40136, 40172, 40151, 40131, 40132, 40133, 40174, 40005, 40079, 40080, 40083, 40130,
    };
    return ids;
}

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

bool is_track_command(const CommandLine& c) {
    switch (c.operation) {
        case CommandOperation::KmlLog:
        case CommandOperation::OziLog:
        case CommandOperation::IgcLog:
        case CommandOperation::MpsLog:
        case CommandOperation::CompLog: return true;
        default: return false;
    }
}

std::string extension_of(const std::string& path) {
    std::filesystem::path p(path);
    return p.extension().string();
}

}  // namespace

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      store_(options_.settings_paths),
      reporter_(new QtReporter(this)),
      poster_(this) {
    setObjectName("Orlogix");
    setWindowTitle("Orlogix");
    reporter_->setParent(this);
    if (options_.box_handler) reporter_->set_box_handler(options_.box_handler);
    settings_ = default_settings(options_.settings_paths.home);
    store_.load(*reporter_, settings_);
    jobs_ = std::make_unique<JobFramework>(*reporter_, poster_, data_);
    jobs_->init_jobs();
    jobs_->set_port_name(settings_.port_name);
    data_.raw_igc.serial = "000";
    JobHooks& hooks = jobs_->hooks();
    hooks.refresh_view = [this](DataView v) {
        if ((v == DataView::TrackLog && view_mode_ == kViewTrackLog) ||
            (v == DataView::Waypoints && view_mode_ == kViewWaypoints))
            model_->reload();
    };
    hooks.completion_message = [this](int code, int param) { completion_message(code, param); };

    user_font_ = font();
    setup_descriptors();
    build_menus();
    build_controls();
    build_list();
    show_view(kViewWaypoints, true);
    if (options_.command) start_command_line();
    refresh_title();
}

MainWindow::~MainWindow() {
    // The list outlives this body (it is a child widget) and may still paint
    // while the base class hides it: it must not reach the descriptors.
    model_->set_descriptor(nullptr);
    reporter_->stop_waiting();
    if (track_view_) delete track_view_.data();
    jobs_->shutdown();
}

// Dialog units follow the font; horizontally they are widened until every
// quick button's text fits, since fonts here run wider than the original's.
double MainWindow::du_x() const {
    const QFontMetrics m = fontMetrics();
    double unit = std::max(1.0, m.averageCharWidth() / 4.0);
    for (const ButtonEntry& b : quick_buttons())
        unit = std::max(unit, (m.horizontalAdvance(QString::fromUtf8(b.text)) + 20.0) / b.width);
    return unit;
}
double MainWindow::du_y() const { return std::max(1.0, fontMetrics().height() / 8.0); }

void MainWindow::setup_descriptors() {
    descriptors_[kViewWaypoints].row_count = [this] { return static_cast<int>(data_.waypoints.size()); };
    descriptors_[kViewWaypoints].cell_text = [this](int row, int column) {
        return waypoint_cell(data_.waypoints[static_cast<std::size_t>(row)], column, utm_display_);
    };
    descriptors_[kViewTrackLog].row_count = [this] { return static_cast<int>(data_.track_log.positions.size()); };
    descriptors_[kViewTrackLog].cell_text = [this](int row, int column) {
        return track_cell(data_.track_log, static_cast<std::size_t>(row), column, utm_display_);
    };
    // The CTR and pilot lists have no records in this build yet.
    descriptors_[kViewCtrs].columns = ctr_columns();
    descriptors_[kViewCtrs].row_count = [] { return 0; };
    descriptors_[kViewCtrs].cell_text = [](int, int) { return std::string(); };
    descriptors_[kViewPilots].columns = pilot_columns();
    descriptors_[kViewPilots].wide_text = true;
    descriptors_[kViewPilots].row_count = [] { return 0; };
    descriptors_[kViewPilots].cell_text = [](int, int) { return std::string(); };
}

bool MainWindow::entry_built(int id) const {
    const MenuEntry* e = find_menu_entry(id);
    if (!e) return false;
    if (e->kind == MenuKind::LogRead || e->kind == MenuKind::WptRead || e->kind == MenuKind::WptSend) {
        AccessType a = e->kind == MenuKind::LogRead   ? AccessType::ReadTrackLog
                       : e->kind == MenuKind::WptRead ? AccessType::ReadWaypoints
                                                      : AccessType::WriteWaypoints;
        Routine r = dispatch_routine(a, static_cast<ProtocolType>(e->protocol));
        return r != Routine::None && static_cast<bool>(job_routines().find(a, r));
    }
    const auto& ids = built_commands();
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void MainWindow::build_menus() {
    std::map<std::string, QMenu*> menus;
    for (const char* name : menu_names()) menus[name] = menuBar()->addMenu(name);
    for (const MenuEntry& e : menu_table()) {
        auto* a = new QAction(q(entry_label(e)), this);
        std::string keys = entry_shortcut(e);
        QList<QKeySequence> shortcuts;
        if (!keys.empty()) shortcuts << QKeySequence(q(keys));
        if (e.extra_keys) shortcuts << QKeySequence(e.extra_keys);
        a->setShortcuts(shortcuts);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setEnabled(entry_built(e.id));
        if (e.kind == MenuKind::Toggle) a->setCheckable(true);
        const int id = e.id;
        connect(a, &QAction::triggered, this, [this, id] { command(id); });
        if (e.menu) menus[e.menu]->addAction(a);
        else addAction(a);  // accelerator only
        actions_[e.id] = a;
    }
    actions_[40088]->setChecked(settings_.log_filter != 0);
    actions_[40139]->setChecked(settings_.add_igc_to_comp_out != 0);
    actions_[40146]->setChecked(settings_.flymaster_pwr_off != 0);
    actions_[40172]->setChecked(settings_.vario_filter != 0);
}

void MainWindow::build_controls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    product_ = new QLabel("Product", central);
    status_ = new QLabel("Status", central);
    for (QLabel* l : {product_, status_}) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    select_label_ = new QLabel("&Select item(s)", central);
    reporter_->set_status_labels(status_, product_);
    for (const ButtonEntry& b : quick_buttons()) {
        auto* button = new QPushButton(b.text, central);
        const int id = b.id;
        button->setEnabled(entry_built(id));
        connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
        buttons_[id] = button;
    }
    save_log_ = new QPushButton("Save log\n(Flight &Data)", central);
    save_log_->setEnabled(entry_built(40115));
    connect(save_log_, &QPushButton::clicked, this, [this] { command(kIdSaveLogButton); });
    buttons_[kIdSaveLogButton] = save_log_;
    utm_box_ = new QCheckBox("&UTM", central);
    connect(utm_box_, &QCheckBox::clicked, this, [this](bool on) { set_utm(on); });
    abort_ = new QPushButton("&Abort transfer", central);
    connect(abort_, &QPushButton::clicked, this, [this] { command(kIdAbortButton); });
    buttons_[kIdAbortButton] = abort_;
    exit_ = new QPushButton("E&xit", central);
    connect(exit_, &QPushButton::clicked, this, [this] { command(kIdExitButton); });
    buttons_[kIdExitButton] = exit_;
}

// The list is made anew when the window is rebuilt with another height.
void MainWindow::build_list() {
    QWidget* central = centralWidget();
    if (list_) list_->deleteLater();
    if (!model_) model_ = new ListModel(this);
    list_ = new QTableView(central);
    list_->setObjectName("list");
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->verticalHeader()->setVisible(false);
    list_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    select_label_->setBuddy(list_);
    list_->show();
    place_controls();
    resize(static_cast<int>(342 * du_x()), static_cast<int>(height_units_ * du_y()) + menuBar()->sizeHint().height());
}

void MainWindow::place_controls() {
    const double x = du_x(), y = du_y();
    auto put = [&](QWidget* w, int l, int t, int wd, int ht) {
        w->setGeometry(static_cast<int>(l * x), static_cast<int>(t * y), static_cast<int>(wd * x), static_cast<int>(ht * y));
    };
    put(product_, 7, 48, 328, 12);
    put(status_, 7, 64, 205, 12);
    put(select_label_, 7, 78, 62, 8);
    for (const ButtonEntry& b : quick_buttons()) put(buttons_[b.id], b.x, b.y, b.width, b.height);
    put(save_log_, 288, 7, 47, 33);
    put(utm_box_, 169, 77, 40, 10);
    put(abort_, 224, 72, 56, 14);
    put(exit_, 285, 72, 50, 14);
    // The list follows the window's size.
    QWidget* c = centralWidget();
    const int top = static_cast<int>(93 * y), left = static_cast<int>(7 * x);
    const int h = std::max(static_cast<int>(20 * y), c->height() - top - static_cast<int>(7 * y));
    const int w = std::max(static_cast<int>(40 * x), c->width() - 2 * left);
    list_->setGeometry(left, top, w, h);
}

void MainWindow::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (list_) place_controls();
}

QString MainWindow::status_text() const { return status_->text(); }
QString MainWindow::product_text() const { return product_->text(); }
QAction* MainWindow::action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}
QPushButton* MainWindow::button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

int MainWindow::exit_code() const {
    if (runner_) return runner_->exit_code();  // includes a failed output file
    return jobs_->failed() ? 1 : 0;
}

void MainWindow::refresh_title() {
    std::string title = strformat("Orlogix %d.%02d", kProgramVersionHundredths / 100, kProgramVersionHundredths % 100);
    title += ", " + settings_.port_name;
    if (settings_.comp_mode && dash_mode_) title += ", Comp. mode";
    else if (settings_.comp_mode) title += ", Competition mode";
    setWindowTitle(q(title));
}

int MainWindow::show_view(int mode, bool force) {
    if (jobs_->refuse_when_busy("Change view mode")) return -1;
    if (mode == view_mode_ && !force) return 0;
    view_mode_ = mode;
    ListViewDescriptor& d = descriptors_[static_cast<std::size_t>(mode)];
    if (mode == kViewWaypoints) d.columns = waypoint_columns(utm_display_);
    if (mode == kViewTrackLog) d.columns = track_columns(utm_display_);
    list_->setFont(d.wide_text ? user_font_ : font());
    model_->set_descriptor(&d);
    const QFontMetrics m(list_->font());
    for (std::size_t c = 0; c < d.columns.size(); ++c) {
        const ColumnSpec& col = d.columns[c];
        const int text = m.horizontalAdvance(QString(col.width_chars, QChar('0')));
        list_->setColumnWidth(static_cast<int>(c), std::max(text, m.horizontalAdvance(col.name) + 16) + 8);
    }
    return 0;
}

int MainWindow::require_view(int mode, const char* title) {
    if (jobs_->refuse_when_busy(title)) return -1;
    if (view_mode_ != mode) {
        reporter_->error_box(title, "Incorrect view mode");
        return -1;
    }
    return 0;
}

void MainWindow::set_utm(bool on) {
    utm_display_ = on;
    if (utm_box_->isChecked() != on) utm_box_->setChecked(on);
    if (view_mode_ == kViewWaypoints || view_mode_ == kViewTrackLog) show_view(view_mode_, true);
}

int MainWindow::set_list_size(int size) {
    if (jobs_->refuse_when_busy("Set list size")) return -1;
    int units = size == 0 ? 200 : 310;
    if (size == 2) {
        QScreen* screen = this->screen();
        const int available = screen ? screen->availableGeometry().height() : 600;
        const int frame = frameGeometry().height() - geometry().height() + menuBar()->sizeHint().height();
        units = static_cast<int>((available - frame) / du_y());
    }
    if (units == height_units_) return 0;
    height_units_ = units;
    const QPoint at = pos();
    build_list();
    show_view(view_mode_, true);
    move(at.x(), size == 2 ? 0 : at.y());
    ++rebuilds_;
    return 0;
}

std::vector<std::size_t> MainWindow::selected_rows() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows()) rows.push_back(static_cast<std::size_t>(i.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

JobOptions MainWindow::window_job_options() const {
    JobOptions o;
    o.origin = JobOrigin::Window;
    o.power_off = power_off_;
    o.competition_mode = settings_.comp_mode != 0;
    o.dash_mode = dash_mode_;
    o.track_gap_time = static_cast<uint32_t>(settings_.track_gap_time);
    o.vario_filter = static_cast<double>(settings_.vario_filter);
    o.log_filter = settings_.log_filter != 0;
    return o;
}

bool MainWindow::command(int id) {
    if (closing_) return true;
    if (id == kIdExitButton || id == 40019) {
        close();
        return true;
    }
    if (id == kIdAbortButton) {
        jobs_->abort_transfer();  // nothing happens when no job runs
        return true;
    }
    if (id == kIdSaveLogButton) id = 40115;
    const MenuEntry* e = find_menu_entry(id);
    if (!e) return false;
    if (!entry_built(id)) {
        reporter_->error_box(entry_label(*e), "This operation is not available yet");
        return true;
    }
    switch (e->kind) {
        case MenuKind::LogRead: read_log(e->protocol, e->baud); return true;
        case MenuKind::WptRead: read_waypoints(e->protocol); return true;
        case MenuKind::WptSend: send_waypoints(e->protocol, e->naming); return true;
        case MenuKind::Toggle: toggle(id); return true;
        case MenuKind::Command: break;
    }
    switch (id) {
        case 40115: flight_statistics(); break;
        case 40124: rotate_track(); break;
        case 40038: new_waypoint(); break;
        case 40030: edit_waypoint(); break;
        case 40031: delete_waypoints(); break;
        case 40095: olc_statistics(true); break;
        case 40094: olc_statistics(false); break;
        case 40116: save_log_as(); break;
        case 40117: open_log(); break;
        case 40043: save_log_igc(); break;
        case 40072: save_raw_igc(); break;
        case 40073: verify_igc(); break;
        case 40042: select_all(); break;
        case 40025: show_view(kViewTrackLog, false); break;
        case 40024: show_view(kViewWaypoints, false); break;
        case 40129: show_view(kViewPilots, false); break;
        case 40101: show_view(kViewCtrs, false); break;
        case 40141: show_track(); break;
        case 40131: set_list_size(0); break;
        case 40132: set_list_size(1); break;
        case 40133: set_list_size(2); break;
        case 40174: choose_font(); break;
        case 40005: about(); break;
        case 40140: test_dialog(); break;
        case 40079: dump_debug(); break;
        case 40080: clear_trace(); break;
        case 40083: copy_track(); break;
        case 40032: convert_position(); break;
        case 40028: calculate_distance(); break;
        case 40006: set_port(); break;
        case 40136: set_gap_time(); break;
        case 40151: set_loop_gap(); break;
        case 40130:
            dash_mode_ = !dash_mode_;
            refresh_title();
            break;
        default: return false;
    }
    return true;
}

void MainWindow::toggle(int id) {
    QAction* a = actions_[id];
    const bool on = a->isChecked();
    switch (id) {
        case 40088: settings_.log_filter = on; break;
        case 40139: settings_.add_igc_to_comp_out = on; break;
        case 40146: settings_.flymaster_pwr_off = on; break;
        case 40144: power_off_ = on; break;
        case 40142: check_wpts_ = on; break;
        case 40172: set_vario_filter(); break;  // the mark shows whether a threshold is set
        default: break;
    }
}

void MainWindow::read_log(int protocol, int baud) {
    if (jobs_->refuse_when_busy("Download track log")) return;
    const bool command_running = runner_ && !runner_->finished();
    if (!data_.track_log.positions.empty() && !data_.track_log.header.saved && !command_running &&
        reporter_->question_box("Unsaved track log", "Continue without saving current track log ?") != kBoxOk)
        return;
    // The present log stays until the new one is installed: a failed or
    // aborted download leaves it as it was.
    if (!(command_running && options_.command && options_.command->exit)) show_view(kViewTrackLog, false);
    JobParams params;
    params.baud = baud;
    jobs_->start_job(AccessType::ReadTrackLog, static_cast<ProtocolType>(protocol), Completion::TrackLog,
                     std::move(params), window_job_options());
}

void MainWindow::read_waypoints(int protocol) {
    if (jobs_->refuse_when_busy("Download waypoints")) return;
    show_view(kViewWaypoints, false);
    jobs_->start_job(AccessType::ReadWaypoints, static_cast<ProtocolType>(protocol), Completion::WaypointsRead, {},
                     window_job_options());
}

void MainWindow::send_waypoints(int protocol, int naming) {
    if (require_view(kViewWaypoints, "Upload waypoints") != 0) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box("Upload waypoints", "No waypoints selected");
        return;
    }
    JobParams params;
    params.waypoints = copy_selected_waypoints(data_.waypoints, rows, static_cast<UploadNaming>(naming));
    jobs_->start_job(AccessType::WriteWaypoints, static_cast<ProtocolType>(protocol), Completion::WaypointsWritten,
                     std::move(params), window_job_options());
}

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

void MainWindow::select_all() {
    if (jobs_->refuse_when_busy("Select all items")) return;
    list_->selectAll();
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
    std::vector<TrackPosition> positions;
    positions.reserve(rows.size());
    for (std::size_t r : rows) positions.push_back(data_.track_log.positions[r]);
    track_view_ = new TrackViewWindow(prepare_track_drawing(positions), this);
    track_view_->show();
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

void MainWindow::flight_statistics() {
    const char* title = "Get flight statistics";
    if (settings_.comp_mode) {
        reporter_->error_box(title, "Competition saves are not available yet");
        return;
    }
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
                       static_cast<uint32_t>(settings_.loop_flight_gap), this);
    run_dialog(d);
    if (d.saved()) data_.track_log.header.saved = 1;
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

void MainWindow::start_command_line() {
    const CommandLine& c = *options_.command;
    if (!c.notify.empty()) notifier_.open(c.notify, c.has_session, c.session);
    notifier_.set_send_log_seconds(c.send_log_seconds);
    runner_ = std::make_unique<CommandRunner>(c, CommandEnvironment{*reporter_, *jobs_, data_, settings_, notifier_});
    if (c.operation == CommandOperation::LogFile || is_track_command(c)) show_view(kViewTrackLog, true);
    runner_->start();
    model_->reload();
    if (runner_->finished() && c.exit) QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void MainWindow::completion_message(int code, int param) {
    if (code != 1 || !runner_) return;
    runner_->job_finished(param == 1);
    model_->reload();
    if (runner_->finished() && options_.command->exit) close();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    close_main_window();
    e->accept();
}

void MainWindow::close_main_window() {
    if (closing_) return;
    closing_ = true;
    // A job waiting for an answer gets the refusing one from now on.
    reporter_->stop_waiting();
    if (jobs_->busy()) jobs_->abort_transfer();
    jobs_->wait_for_job_end(2000);
    if (track_view_) track_view_->close();
    const bool command_running = runner_ && !runner_->finished();
    if (!command_running) store_.save(*reporter_, settings_);
}

}  // namespace orlogix::ui
