#pragma once
// The program's main window: menu bar and quick buttons from the command
// table, two status lines, the list of the current view mode, and the
// commands that read, show, analyse and save the current data.
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "access/job_framework.hpp"
#include "control/command_line.hpp"
#include "control/notifier.hpp"
#include "competition/pilot_choice.hpp"
#include "competition/pilot_identity.hpp"
#include "core/current_data.hpp"
#include "settings/settings.hpp"
#include "ui/coord_dialogs.hpp"
#include "ui/list_views.hpp"
#include "ui/rotate_dialog.hpp"
#include "ui/qt_reporter.hpp"
#include "ui/contest_run.hpp"
#include "ui/track_drawing.hpp"

class QAction;
class QDialog;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace orlogix {
class CommandRunner;
}

namespace orlogix {
struct FileFormat;
}

namespace orlogix::ui {

class SplitLogDialog;
struct MenuEntry;
struct PilotDialogActions;

struct MainWindowOptions {
    SettingsPaths settings_paths = default_settings_paths();
    std::optional<CommandLine> command;  // runs in the window once it is set up
    std::function<int(const BoxRequest&)> box_handler;  // answers boxes instead of a user
};

// What a file dialog is asked; tests answer it instead of a user.
struct FileRequest {
    bool save = false;
    std::string title;
    std::vector<std::string> filters;
    int filter_index = 0;   // 0-based; in: the remembered filter; out: the chosen one
    std::string folder;     // the remembered folder
    std::string name;       // a suggested file name
    bool multiple = false;  // several existing files may be chosen
    std::vector<std::string> chosen;  // out, with multiple: every chosen file

    // The remembered filter settings count from 1; one out of range starts on the first.
    void start_on(int64_t remembered) {
        filter_index = remembered >= 1 && remembered <= static_cast<int64_t>(filters.size())
                           ? static_cast<int>(remembered - 1)
                           : 0;
    }
    int chosen_filter() const { return filter_index + 1; }
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs a command of the table (menu entry, button or accelerator). False for an unknown id.
    bool command(int id);
    // 0, or -1 after "Busy GPS driver" (title "Change view mode").
    int show_view(int mode, bool force);
    // 0 when not busy and mode is shown; else -1 after the message titled title.
    int require_view(int mode, const char* title);
    // 0 small, 1 default, 2 large.
    int set_list_size(int size);
    void set_utm(bool on);
    // The window's closing: aborts a job, waits for it, saves the settings.
    void close_main_window();

    // Opens a track file as "&Open log" does after its dialog, the type
    // chosen by the extension. The count installed, or -1.
    int open_track_file(const std::string& path);
    // The selected rows of the list, in list order.
    std::vector<std::size_t> selected_rows() const;

    // The split-log choice with the dialog: may reduce positions; false when cancelled.
    bool choose_log_parts(std::vector<TrackPosition>& positions);

    // "Upload pilot ID" after a competition download that found no ID: when
    // the family takes waypoints and an ID is known, "No pilot ID" asks, and
    // OK sends the COMPID, CIVLID and (with CompWptNNN) dash waypoints on the
    // same protocol. True when the upload job started.
    bool offer_pilot_id_upload(const PilotIds& found, const PilotIds& known, const std::string& pilot,
                               ProtocolType protocol);
    // "Select pilot" before a waypoint send in competition mode: 0 when
    // confirmed (the chosen entry is the current pilot), -1 when cancelled.
    int select_pilot();
    const CurrentPilot& current_pilot() const { return current_pilot_; }

    // For tests and scripts.
    void set_file_dialog_handler(std::function<std::string(FileRequest&)> h) { file_handler_ = std::move(h); }
    void set_split_dialog_handler(std::function<int(SplitLogDialog&)> h) { split_handler_ = std::move(h); }
    // Other modal dialogs: the handler runs instead of exec() and returns the result.
    void set_dialog_handler(std::function<int(QDialog&)> h) { dialog_handler_ = std::move(h); }
    int view_mode() const { return view_mode_; }
    bool utm() const { return utm_display_; }
    ListModel* model() const { return model_; }
    QTableView* list() const { return list_; }
    QString status_text() const;
    QString product_text() const;
    QAction* action(int id) const;
    QPushButton* button(int id) const;
    JobFramework& jobs() { return *jobs_; }
    CurrentData& data() { return data_; }
    Settings& settings() { return settings_; }
    QtReporter& reporter() { return *reporter_; }
    int rebuild_count() const { return rebuilds_; }
    int height_units() const { return height_units_; }
    TrackViewWindow* track_view() const { return track_view_; }
    bool closing() const { return closing_; }
    // 1 when the last job failed, else 0 (the program's exit code).
    int exit_code() const;
    void refresh_title();

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void build_menus();
    void build_controls();
    void build_list();
    void place_controls();
    void setup_descriptors();
    bool entry_built(int id) const;
    void start_command_line();
    void completion_message(int code, int param);

    // Competition mode.
    void setup_pilot_view();
    void read_startup_pilot_list();
    void pilots_changed();
    int browse_pilot_list();  // the count read, or -1
    void save_pilot_list();
    void competition_mode();
    PilotDialogActions pilot_dialog_actions();
    int identify_pilot(Identification& out);
    int save_competition(const Identification& id, const std::vector<TrackPosition>& source, const SplitChoice& split);
    void save_competition_selection();
    void competition_download_done(bool installed);

    // Commands.
    void start_entry_job(const MenuEntry& e);
    void read_log(int protocol, int baud);
    void read_waypoints(int protocol);
    void send_waypoints(int protocol, int naming, AccessType access = AccessType::WriteWaypoints);
    void open_log();
    void save_log_as();
    void save_log_igc();
    int open_track_as(const std::string& path, const FileFormat& format);
    void batch_convert(bool to_igc);
    void open_waypoint_file();
    void save_waypoint_file();
    void read_ctr_file();
    void write_ctr_file();
    void write_ctr_gpx();
    void show_ctr_waypoints();
    void delete_ctrs();
    void edit_ctr(bool new_ctr);
    void send_ctrs(int protocol);
    bool select_ctr_rows(const char* title);
    void save_raw_igc();
    FileRequest igc_save_request(const std::string& name) const;
    void verify_igc();
    void show_track();
    void select_all();
    void copy_track();
    void choose_font();
    void about();
    void test_dialog();
    void dump_debug();
    void flight_statistics();
    void olc_statistics(bool igc_buffer);
    void set_port();
    void rotate_track();
    void new_waypoint();
    void edit_waypoint();
    void delete_waypoints();
    void set_gap_time();
    void set_vario_filter();
    void set_loop_gap();
    void toggle(int id);
    int run_dialog(QDialog& d);
    void convert_position();
    void calculate_distance();
    std::string file_dialog(FileRequest& request);
    JobOptions window_job_options(ProtocolType protocol) const;
    bool ask_pilot_data(int entry, PilotData& out);
    int ask_texts(const BoxRequest& request);
    double du_x() const;
    double du_y() const;

    MainWindowOptions options_;
    Settings settings_;
    SettingsStore store_;
    CurrentData data_;
    QtReporter* reporter_;
    QtEventPoster poster_;
    std::unique_ptr<JobFramework> jobs_;
    Notifier notifier_;
    std::unique_ptr<CommandRunner> runner_;

    std::array<ListViewDescriptor, 4> descriptors_;
    ListModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* product_ = nullptr;
    QLabel* select_label_ = nullptr;
    QCheckBox* utm_box_ = nullptr;
    QPushButton* abort_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* save_log_ = nullptr;
    std::map<int, QPushButton*> buttons_;
    std::map<int, QAction*> actions_;
    QFont user_font_;

    int view_mode_ = 0;
    bool utm_display_ = false;
    int height_units_ = 310;
    int rebuilds_ = 0;
    bool closing_ = false;
    bool power_off_ = false;
    bool check_wpts_ = false;
    QPointer<TrackViewWindow> track_view_;
    std::function<std::string(FileRequest&)> file_handler_;
    std::function<int(SplitLogDialog&)> split_handler_;
    std::function<int(QDialog&)> dialog_handler_;
    DistanceMemory distance_memory_;
    RotateMemory rotate_memory_;
    bool waypoint_utm_ = false;
    int32_t last_waypoint_latitude_ = 0, last_waypoint_longitude_ = 0;
    CurrentPilot current_pilot_;
    PilotIds found_ids_;  // by the last competition download
    // The last contest score the statistics finished: "Show track" of the
    // same fixes draws it without scoring again.
    std::shared_ptr<const ScoredFlight> last_contest_;
};

}  // namespace orlogix::ui
