#include "formats/commands/ctr.hpp"

#include <climits>

#include "core/report.hpp"
#include "formats/commands/ctr_names.hpp"
#include "formats/airspace/ctr_list.hpp"
#include "formats/airspace/ctr_points.hpp"

namespace orlogix {

namespace {

constexpr const char* kEditTitle = "Edit CTR";

std::string_view without_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// An unsigned integer of at most 20 characters that fits the record.
bool warning_distance_value(std::string_view s, int& out) {
    if (s.empty() || s.size() > 20) return false;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > INT_MAX) return false;
    }
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int read_ctr_file_into_list(Reporter& r, const std::string& path, CtrList& current, const CtrNotice& notice) {
    CtrList fresh;
    const int n = read_openair_file(r, path, fresh, notice);
    if (n < 0) return -1;
    if (n > 0) {
        r.status(format_counts("% CTRs read", n));
        if (!current.empty() && r.yes_no_box("Read CTR file", "Keep current CTR list ?") == kBoxYes) {
            prepend_ctrs(current, std::move(fresh));
        } else {
            current = std::move(fresh);
        }
        fix_equal_ctr_names(r, current);
    }
    return n;
}

int read_ctr_file_for_upload(Reporter& r, const std::string& path, CtrList& out) {
    CtrList list;
    const int n = read_openair_file(r, path, list);
    if (n < 0) return -1;
    for (Ctr& c : list) c.selected = true;
    out = std::move(list);
    return n;
}

int ctr_to_edit(Reporter& r, const CtrList& list) {
    if (list.empty()) {
        r.error_box(kEditTitle, "No CTR in list");
        return -1;
    }
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].selected) return static_cast<int>(i);
    r.error_box(kEditTitle, "No CTR selected");
    return -1;
}

int apply_ctr_edit(Reporter& r, CtrList& list, std::optional<std::size_t> index, std::string_view warning_distance,
                   std::string_view text) {
    const std::string_view wd = without_blanks(warning_distance);
    if (wd.empty()) {
        r.error_box(kEditTitle, "Missing warning distance input");
        return -1;
    }
    int metres = 0;
    if (!warning_distance_value(wd, metres)) {
        r.error_box(kEditTitle, "Bad warning distance format");
        return -1;
    }
    if (without_blanks(text).empty()) {
        r.error_box(kEditTitle, "Missing text");
        return -1;
    }
    if (index && *index >= list.size()) {
        r.error_box("CTR list action", "Program error");
        return -1;
    }
    CtrList parsed;
    const int n = parse_openair(r, text, parsed);
    if (n < 0) return -1;
    if (n == 0) {
        // Only comments: there is no airspace to take the CTR's place.
        r.error_box(kCtrParseTitle, "Missing airspace name");
        return -1;
    }
    Ctr edited = std::move(parsed.front());
    edited.warning_distance = metres;
    if (index) {
        edited.selected = list[*index].selected;
        list[*index] = std::move(edited);
    } else {
        list.insert(list.begin(), std::move(edited));
    }
    return 0;
}

int show_ctr_as_waypoints(Reporter& r, const CtrList& list, WaypointList& waypoints, TrackLog& track_log,
                          uint32_t now) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].selected) continue;
        std::vector<Waypoint> points;
        if (ctr_to_points(list[i], static_cast<int>(i), now, points) < 0) {
            r.error_box("Show CTR", "No points for this CTR");
            return -1;
        }
        track_log_from_waypoints(track_log, points, now);
        waypoints.replace(points);
        return static_cast<int>(points.size());
    }
    r.error_box("Show CTR", "No CTR selected");
    return -1;
}

}  // namespace orlogix
