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
#include "access/instrument_catalogue.hpp"
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
#include "ui/server_dialog.hpp"
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

// Commands of the window that are built; instrument entries are enabled by
// the families that registered their job routines.
const std::vector<int>& built_commands() {
    static const std::vector<int> ids = {
        40115, 40116, 40117, 40118, 40047, 40043, 40072, 40073, 40139, 40143, 40170, 40171, 40019,  // File
        40100, 40104, 40105, 40108, 40111, 40112, 40149,                                     // CTR
        40038, 40030, 40031, 40032, 40028, 40042,                              // Edit
        40006, 40124, 40151, 40088, 40136, 40172, 40095, 40094, 40144, 40142, 40146, 40173, 40121,  // Misc
        40025, 40024, 40129, 40101, 40141, 40131, 40132, 40133, 40174,        // View
        40005, 40079, 40080, 40140,                                           // Help
        40083, 40130,                                                         // accelerators only
    };
    return ids;
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
    reporter_->set_form_handler([this](const BoxRequest& b) { return ask_texts(b); });
    settings_ = default_settings(options_.settings_paths.home);
    store_.load(*reporter_, settings_);
    jobs_ = std::make_unique<JobFramework>(*reporter_, poster_, data_);
    jobs_->init_jobs();
    jobs_->set_port_name(settings_.port_name);
    data_.raw_igc.serial = "000";
    JobHooks& hooks = jobs_->hooks();
    hooks.refresh_view = [this](DataView v) {
        if ((v == DataView::TrackLog && view_mode_ == kViewTrackLog) ||
            (v == DataView::Waypoints && view_mode_ == kViewWaypoints) ||
            (v == DataView::Ctrs && view_mode_ == kViewCtrs))
            model_->reload();
    };
    hooks.completion_message = [this](int code, int param) { completion_message(code, param); };

    user_font_ = font();
    setup_descriptors();
    build_menus();
    build_controls();
    build_list();
    show_view(kViewWaypoints, true);
    if (options_.command)
        start_command_line();
    else
        read_startup_pilot_list();
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
    for (const QuickButton& b : quick_buttons())
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
    descriptors_[kViewCtrs].columns = ctr_columns();
    descriptors_[kViewCtrs].row_count = [this] { return static_cast<int>(data_.ctrs.size()); };
    descriptors_[kViewCtrs].cell_text = [this](int row, int column) {
        const Ctr& c = data_.ctrs[static_cast<std::size_t>(row)];
        switch (column) {
            case 0: return c.name;
            case 1: return c.floor;
            case 2: return c.ceiling;
            case 3: return strformat("%d", c.warning_distance);
            case 4: return strformat("%d", static_cast<int>(c.segments.size()));
            default: return std::string();
        }
    };
    setup_pilot_view();
}

bool MainWindow::entry_built(int id) const {
    const MenuEntry* e = find_menu_entry(id);
    if (!e) return false;
    if (e->job) {
        // An instrument entry lights up when its family registered the routine.
        const InstrumentKind* kind = find_instrument(e->job->protocol);
        return kind && instrument_serves(*kind, e->job->access);
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
    for (const QuickButton& b : quick_buttons()) {
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
    for (const QuickButton& b : quick_buttons()) put(buttons_[b.id], b.x, b.y, b.width, b.height);
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
    if (settings_.comp_mode && settings_.comp_special) title += ", Comp. mode";
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

// The power-off option is the instrument's own stored setting where its
// catalogue row names one, else the general toggle.
JobOptions MainWindow::window_job_options(ProtocolType protocol) const {
    JobOptions o;
    o.origin = JobOrigin::Window;
    o.power_off = power_off_;
    const InstrumentKind* kind = find_instrument(protocol);
    if (kind && kind->power_off_setting)
        for (const SettingEntry& e : settings_table())
            if (e.number && std::string_view(e.name) == kind->power_off_setting) o.power_off = settings_.*e.number != 0;
    o.competition_mode = settings_.comp_mode != 0;
    o.dash_mode = settings_.comp_special != 0;
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
        reporter_->error_box(entry_label(*e), e->job ? "This instrument family is not built yet"
                                                     : "This operation is not available yet");
        return true;
    }
    switch (e->kind) {
        case MenuKind::Job: start_entry_job(*e); return true;
        case MenuKind::Toggle: toggle(id); return true;
        case MenuKind::Command: break;
    }
    switch (id) {
        case 40115:
            if (settings_.comp_mode)
                save_competition_selection();
            else
                flight_statistics();
            break;
        case 40121: competition_mode(); break;
        case 40143: save_pilot_list(); break;
        case 40124: rotate_track(); break;
        case 40173: run_server_dialog(*reporter_, this); break;
        case 40038: new_waypoint(); break;
        case 40030: edit_waypoint(); break;
        case 40031: delete_waypoints(); break;
        case 40095: olc_statistics(true); break;
        case 40094: olc_statistics(false); break;
        case 40116: save_log_as(); break;
        case 40117: open_log(); break;
        case 40118: save_waypoint_file(); break;
        case 40047: open_waypoint_file(); break;
        case 40170: batch_convert(true); break;
        case 40171: batch_convert(false); break;
        case 40100: read_ctr_file(); break;
        case 40108: write_ctr_file(); break;
        case 40111: delete_ctrs(); break;
        case 40104: edit_ctr(false); break;
        case 40105: edit_ctr(true); break;
        case 40112: show_ctr_waypoints(); break;
        case 40149: write_ctr_gpx(); break;
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
            settings_.comp_special = settings_.comp_special != 0 ? 0 : 1;
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

// An instrument entry: the checks and the data its access type needs, then the job.
void MainWindow::start_entry_job(const MenuEntry& e) {
    const JobDescription& job = *e.job;
    const int protocol = static_cast<int>(job.protocol);
    switch (job.access) {
        case AccessType::ReadTrackLog:
            // A read into a file of its own leaves the track log alone.
            if (job.completion != Completion::TrackLog) {
                if (jobs_->refuse_when_busy(entry_label(e))) return;
                break;
            }
            read_log(protocol, job.baud);
            return;
        case AccessType::ReadWaypoints: read_waypoints(protocol); return;
        case AccessType::WriteWaypoints:
        case AccessType::WriteTrackLog: send_waypoints(protocol, job.naming, job.access); return;
        case AccessType::WriteCtr: send_ctrs(protocol); return;
        case AccessType::EraseTrackLog:
            if (jobs_->refuse_when_busy(entry_label(e))) return;
            if (reporter_->question_box("Erase Track Log", "Are you sure ?") != kBoxOk) return;
            break;
        default:
            if (jobs_->refuse_when_busy(entry_label(e))) return;
            break;
    }
    JobParams params;
    params.baud = job.baud;
    if (job.access == AccessType::WritePilotData && !ask_pilot_data(e.id, params.pilot)) return;
    jobs_->start_job(job.access, job.protocol, job.completion, std::move(params), window_job_options(job.protocol));
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
                     std::move(params), window_job_options(static_cast<ProtocolType>(protocol)));
}

void MainWindow::read_waypoints(int protocol) {
    if (jobs_->refuse_when_busy("Download waypoints")) return;
    show_view(kViewWaypoints, false);
    jobs_->start_job(AccessType::ReadWaypoints, static_cast<ProtocolType>(protocol), Completion::WaypointsRead, {},
                     window_job_options(static_cast<ProtocolType>(protocol)));
}

// The selected waypoints as waypoints, or as one track log of their places.
void MainWindow::send_waypoints(int protocol, int naming, AccessType access) {
    if (require_view(kViewWaypoints, "Upload waypoints") != 0) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box("Upload waypoints", "No waypoints selected");
        return;
    }
    JobParams params;
    params.waypoints = copy_selected_waypoints(data_.waypoints, rows, static_cast<UploadNaming>(naming));
    const Completion completion =
        access == AccessType::WriteWaypoints ? Completion::WaypointsWritten : Completion::Written;
    jobs_->start_job(access, static_cast<ProtocolType>(protocol), completion, std::move(params),
                     window_job_options(static_cast<ProtocolType>(protocol)));
}

void MainWindow::select_all() {
    if (jobs_->refuse_when_busy("Select all items")) return;
    list_->selectAll();
}

void MainWindow::start_command_line() {
    const CommandLine& c = *options_.command;
    if (!c.notify.empty()) notifier_.open(c.notify, c.has_session, c.session);
    notifier_.set_send_log_seconds(c.send_log_seconds);
    reporter_->set_notifier(&notifier_);
    runner_ = std::make_unique<CommandRunner>(c, CommandEnvironment{*reporter_, *jobs_, data_, settings_, notifier_});
    if (c.operation == CommandOperation::LogFile || is_track_command(c)) show_view(kViewTrackLog, true);
    runner_->start();
    model_->reload();
    if (runner_->finished() && c.exit) QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void MainWindow::completion_message(int code, int param) {
    if (code == 2) {
        competition_download_done(param == 1);
        return;
    }
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
