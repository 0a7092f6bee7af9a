#include "formats/commands/waypoint_dialogs.hpp"

#include <array>

#include "core/overwrite.hpp"
#include "core/report.hpp"

namespace orlogix {

namespace {

struct TypeName {
    const char* name;
    const char* extension;
};

constexpr std::array<TypeName, 8> kSaveTypes{{{"Ozi", ".wpt"},
                                              {"UTM", ".wpt"},
                                              {"Geographical", ".wpt"},
                                              {"MapSource", ".mps"},
                                              {"SeeYou", ".cup"},
                                              {"GPX", ".gpx"},
                                              {"GoogleEarth", ".kml"},
                                              {"WinPilot", ".dat"}}};

constexpr std::array<TypeName, 6> kReadTypes{{{"Ozi/Orlogix", ".wpt"},
                                              {"MapSource", ".mps"},
                                              {"SeeYou", ".cup"},
                                              {"GPS exchange", ".gpx"},
                                              {"GoogleEarth", ".kml"},
                                              {"WinPilot", ".dat"}}};

constexpr std::size_t kFileNameMax = 256;

bool has_extension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

std::string base_name(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<WaypointFilter> waypoint_save_filters() {
    std::vector<WaypointFilter> filters;
    for (const TypeName& t : kSaveTypes)
        filters.push_back({strformat("%s files (*%s)", t.name, t.extension), std::string("*") + t.extension});
    for (const TypeName& t : kSaveTypes) filters.push_back({strformat("%s files (*.*)", t.name), "*.*"});
    return filters;
}

std::vector<WaypointFilter> waypoint_read_filters() {
    std::vector<WaypointFilter> filters;
    for (const TypeName& t : kReadTypes)
        filters.push_back({strformat("%s files (*%s)", t.name, t.extension), std::string("*") + t.extension});
    filters.push_back({"All files (*.*)", "*.*"});
    return filters;
}

WaypointFileType waypoint_save_type(int filter) {
    if (filter < 1 || filter > 16) filter = 1;
    return static_cast<WaypointFileType>((filter - 1) % 8 + 1);
}

int complete_waypoint_file_name(Reporter& r, std::string& path, int filter, bool save) {
    std::string name = path;
    const int typed = save ? 8 : 6;
    if (filter >= 1 && filter <= typed && !has_extension(name))
        name += save ? kSaveTypes[static_cast<std::size_t>(filter - 1)].extension
                     : kReadTypes[static_cast<std::size_t>(filter - 1)].extension;
    if (name.size() > kFileNameMax) {
        r.error_box("Error opening file", "Too long file name");
        return -1;
    }
    path = std::move(name);
    return 0;
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
    if (write_waypoint_file(r, path, waypoint_save_type(filter), chosen) != 0) return -1;
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
