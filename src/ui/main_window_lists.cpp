// The main window's waypoint-file and CTR commands: the file dialogs around
// the waypoint and OpenAir formats, the CTR view's selection, and the CTR
// upload to Garmin receivers.
#include "ui/main_window.hpp"

#include <QTableView>

#include <filesystem>

#include "core/file_names.hpp"
#include "core/overwrite.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/airspace/ctr_list.hpp"
#include "formats/commands/ctr.hpp"
#include "formats/airspace/ctr_gpx.hpp"
#include "formats/airspace/openair_writer.hpp"
#include "formats/commands/waypoint_dialogs.hpp"
#include "ui/ctr_dialog.hpp"
#include "ui/list_views.hpp"

namespace orlogix::ui {

namespace {

std::vector<std::string> labels(const std::vector<WaypointFilter>& filters) {
    std::vector<std::string> out;
    for (const WaypointFilter& f : filters) out.push_back(f.label);
    return out;
}

std::string folder_of(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

}  // namespace

void MainWindow::open_waypoint_file() {
    if (jobs_->refuse_when_busy("Read waypoint file")) return;
    FileRequest request;
    request.title = "Read waypoint file";
    request.filters = labels(waypoint_read_filters());
    request.start_on(settings_.wpt_import_ext);
    request.folder = settings_.waypoint_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    settings_.wpt_import_ext = request.chosen_filter();
    // The reader goes by the content; the filter only completes the name.
    if (complete_waypoint_file_name(*reporter_, path, request.chosen_filter(), false) != 0) return;
    settings_.waypoint_dir = folder_of(path);
    if (read_waypoints_into(*reporter_, data_.waypoints, path, true) <= 0) return;
    show_view(kViewWaypoints, true);
    model_->reload();
}

void MainWindow::save_waypoint_file() {
    const char* title = "Save waypoints";
    if (require_view(kViewWaypoints, title) != 0) return;
    std::vector<std::size_t> rows = selected_rows();
    if (rows.empty()) {
        reporter_->error_box(title, "No waypoints selected");
        return;
    }
    FileRequest request;
    request.save = true;
    request.title = "Save waypoint file";
    const std::vector<WaypointFilter> filters = waypoint_save_filters();
    request.filters = labels(filters);
    request.start_on(settings_.wpt_export_ext);
    request.folder = settings_.waypoint_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    int filter = request.chosen_filter();
    settings_.wpt_export_ext = filter;
    if (complete_waypoint_file_name(*reporter_, path, filter, true) != 0) return;
    settings_.waypoint_dir = folder_of(path);
    // A typed extension of a format chooses its writer; the filter's own
    // format wins among those sharing ".wpt".
    if (const FileFormat* typed =
            format_named_by_extension(FormatKind::Waypoint, true, path, &waypoint_save_format(filter)))
        filter = typed->save_position;
    save_waypoints(*reporter_, data_.waypoints, rows, path, filter, false, false);
}

bool MainWindow::select_ctr_rows(const char* title) {
    if (require_view(kViewCtrs, title) != 0) return false;
    return select_ctrs(*reporter_, data_.ctrs, selected_rows()) == 0;
}

void MainWindow::read_ctr_file() {
    if (jobs_->refuse_when_busy("Read CTR file")) return;
    FileRequest request;
    request.title = "Read CTR";
    const FileFormat& format = file_format(FormatKind::Airspace, "openair");
    request.filters = {format_filter(format, false), "All Files (*)"};
    request.folder = settings_.ctr_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    if (complete_file_name(*reporter_, path, request.filter_index == 0 ? format.extension : nullptr) != 0) return;
    settings_.ctr_dir = folder_of(path);
    if (read_ctr_file_into_list(*reporter_, path, data_.ctrs) < 0) return;
    show_view(kViewCtrs, true);
    model_->reload();
}

void MainWindow::write_ctr_file() {
    const char* title = "Write CTR";
    if (!select_ctr_rows(title)) return;
    if (selected_count(data_.ctrs) == 0) {
        reporter_->error_box(title, "No CTR(s) selected");
        return;
    }
    FileRequest request;
    request.save = true;
    request.title = "Save CTR(s)";
    const FileFormat& format = file_format(FormatKind::Airspace, "openair");
    request.filters = {format_filter(format, true), "All Files (*)"};
    request.folder = settings_.ctr_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    if (complete_file_name(*reporter_, path, request.filter_index == 0 ? format.extension : nullptr) != 0) return;
    settings_.ctr_dir = folder_of(path);
    if (!may_replace(*reporter_, path, OverwriteBox::OkCancel)) return;
    if (write_openair_file(*reporter_, path, data_.ctrs) == 0)
        reporter_->status(std::filesystem::path(path).filename().string() + " written");
}

void MainWindow::write_ctr_gpx() {
    if (!select_ctr_rows(kCtrGpxTitle)) return;
    if (selected_count(data_.ctrs) == 0) {
        reporter_->error_box(kCtrGpxTitle, "No CTR(s) selected");
        return;
    }
    FileRequest request;
    request.save = true;
    request.title = "Save CTR(s)";
    const FileFormat& format = file_format(FormatKind::Airspace, "ctr-gpx");
    request.filters = {format_filter(format, true), "All Files (*)"};
    request.folder = settings_.ctr_dir;
    std::string path = file_dialog(request);
    if (path.empty()) return;
    if (complete_file_name(*reporter_, path, request.filter_index == 0 ? format.extension : nullptr) != 0) return;
    settings_.ctr_dir = folder_of(path);
    if (!may_replace(*reporter_, path, OverwriteBox::OkCancel)) return;
    // The track log takes the last outline, as the command always did.
    write_ctr_gpx_file(*reporter_, path, data_.ctrs, &data_.track_log);
}

void MainWindow::show_ctr_waypoints() {
    if (!select_ctr_rows("Show CTR")) return;
    const uint32_t now = time_now();
    if (show_ctr_as_waypoints(*reporter_, data_.ctrs, data_.waypoints, data_.track_log, now) < 0) return;
    show_view(kViewWaypoints, true);
    model_->reload();
}

void MainWindow::delete_ctrs() {
    if (!select_ctr_rows("Delete CTR")) return;
    if (delete_selected_ctrs(data_.ctrs) > 0) {
        list_->clearSelection();
        model_->reload();
    }
}

void MainWindow::edit_ctr(bool new_ctr) {
    std::optional<std::size_t> index;
    if (!new_ctr) {
        if (!select_ctr_rows("Edit CTR")) return;
        const int first = ctr_to_edit(*reporter_, data_.ctrs);
        if (first < 0) return;
        index = static_cast<std::size_t>(first);
    }
    CtrDialog d(*reporter_, data_.ctrs, index, this);
    if (run_dialog(d) != QDialog::Accepted) return;
    show_view(kViewCtrs, true);
    model_->reload();
}

void MainWindow::send_ctrs(int protocol) {
    const char* title = "Upload CTR";
    if (!select_ctr_rows(title)) return;
    if (selected_count(data_.ctrs) == 0) {
        reporter_->error_box(title, "No CTR(s) selected");
        return;
    }
    JobParams params;
    params.ctrs = data_.ctrs;
    jobs_->start_job(AccessType::WriteCtr, static_cast<ProtocolType>(protocol), Completion::Written, std::move(params),
                     window_job_options(static_cast<ProtocolType>(protocol)));
}

}  // namespace orlogix::ui
