#include "formats/commands/waypoint_dialogs.hpp"

#include "core/overwrite.hpp"
#include "core/report.hpp"

namespace orlogix {

namespace {

std::string base_name(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<WaypointFilter> filters(bool save) {
    std::vector<WaypointFilter> out;
    for (const std::string& label : dialog_filters(FormatKind::Waypoint, save, save)) {
        const std::size_t open = label.rfind('(');
        out.push_back({label, label.substr(open + 1, label.size() - open - 2)});
    }
    return out;
}

}  // namespace

std::vector<WaypointFilter> waypoint_save_filters() { return filters(true); }

std::vector<WaypointFilter> waypoint_read_filters() {
    std::vector<WaypointFilter> out = filters(false);
    out.push_back({"All files (*.*)", "*.*"});
    return out;
}

const FileFormat& waypoint_save_format(int filter) { return format_for_filter(FormatKind::Waypoint, true, filter); }

int complete_waypoint_file_name(Reporter& r, std::string& path, int filter, bool save) {
    return complete_for_filter(r, path, FormatKind::Waypoint, save, filter);
}

int save_waypoints(Reporter& r, const WaypointList& list, const std::vector<std::size_t>& rows,
                   const std::string& path, int filter, bool overwrite, bool remote) {
    if (list.empty()) return 0;
    const std::vector<Waypoint> chosen = copy_selected_waypoints(list, rows, UploadNaming::Plain);
    if (chosen.empty()) {
        r.error_box(kSaveWaypointsTitle, "No waypoints selected");
        return -1;
    }
    if (!overwrite && !may_replace(r, path, OverwriteBox::OkCancel)) return 0;
    if (write_waypoint_file(r, path, waypoint_save_format(filter), chosen) != 0) return -1;
    const int count = static_cast<int>(chosen.size());
    r.status(strformat("%s: %d waypoints written", base_name(path).c_str(), count));
    if (!remote) r.notice_box(kSaveWaypointsTitle, "File written");
    return count;
}

int read_waypoints_into(Reporter& r, WaypointList& list, const std::string& path, bool interactive) {
    std::vector<Waypoint> read;
    const int count = read_waypoint_file(r, path, interactive, read);
    if (count <= 0) return count;
    r.status(strformat("%d waypoints read", count));
    if (!list.empty() &&
        r.yes_no_box(kReadWaypointFileTitle, "Append new waypoints to existing list ?") == kBoxYes) {
        for (const Waypoint& w : read)
            if (insert_waypoint(r, list, w) != 0) break;
    } else {
        list.replace(std::move(read));
    }
    return count;
}

}  // namespace orlogix
