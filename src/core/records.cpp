#include "core/records.hpp"

#include <cerrno>
#include <cmath>
#include <new>

#include "core/report.hpp"

namespace orlogix {

int32_t gps_altitude_metres(int32_t decimetres) {
    int64_t h = decimetres;  // 64 bits: the extremes of the field must not overflow
    return static_cast<int32_t>(h >= 0 ? (h + 5) / 10 : -((5 - h) / 10));
}

bool metres_to_decimetres(double metres, DecimetreRounding rule, int32_t& out) {
    const double dm = metres * 10.0;
    double whole = 0.0;
    switch (rule) {
    case DecimetreRounding::HalfAwayFromZero: whole = std::trunc(dm < 0.0 ? dm - 0.5 : dm + 0.5); break;
    case DecimetreRounding::HalfUp: whole = std::floor(dm + 0.5); break;
    case DecimetreRounding::AddHalfTruncated: whole = std::trunc(dm + 0.5); break;
    case DecimetreRounding::Truncated: whole = std::trunc(dm); break;
    case DecimetreRounding::TruncatedTolerant: whole = std::trunc(dm + (dm < 0.0 ? -1e-6 : 1e-6)); break;
    }
    // Converting a double the field cannot hold is undefined; NaN fails here too.
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return false;
    out = static_cast<int32_t>(whole);
    return true;
}

void WaypointList::append(const Waypoint& w) {
    if (items_.size() >= capacity_) {
        capacity_ = capacity_ == 0 ? 50 : capacity_ * 2;
        items_.reserve(capacity_);
    }
    items_.push_back(w);
}

void WaypointList::replace(std::vector<Waypoint> all) {
    items_ = std::move(all);
    capacity_ = items_.size();
}

int insert_waypoint(Reporter& r, WaypointList& list, const Waypoint& w) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].identifier != w.identifier) continue;
        std::string question = "Waypoint " + w.identifier + " already exists, overwrite ?";
        if (r.yes_no_box("Insert waypoint", question) == kBoxYes) {
            list[i] = w;
            return 0;
        }
    }
    try {
        list.append(w);
    } catch (const std::bad_alloc&) {
        system_error_box(r, "Waypoint memory allocation", ENOMEM);
        return -1;
    }
    return 0;
}

void track_log_from_waypoints(TrackLog& log, const std::vector<Waypoint>& waypoints, uint32_t start_time) {
    std::vector<TrackPosition> positions;
    positions.reserve(waypoints.size());
    for (std::size_t i = 0; i < waypoints.size(); ++i) {
        TrackPosition p;
        p.flags = i == 0 ? kSegmentStart : 0;
        p.time = start_time + static_cast<uint32_t>(5 * i);
        p.latitude = waypoints[i].latitude;
        p.longitude = waypoints[i].longitude;
        positions.push_back(p);
    }
    log.positions = std::move(positions);
    log.header.clear_flags();
}

std::vector<Waypoint> copy_selected_waypoints(const WaypointList& list, const std::vector<std::size_t>& rows,
                                              UploadNaming mode) {
    std::vector<Waypoint> out;
    out.reserve(rows.size());
    for (std::size_t row : rows) {
        if (row >= list.size()) continue;
        Waypoint w = list[row];
        switch (mode) {
            case UploadNaming::Plain:
                break;
            case UploadNaming::OnlyName:
                if (w.comment.empty()) w.comment = w.identifier;
                break;
            case UploadNaming::IdAndName:
                w.comment = (w.identifier + " " + w.comment).substr(0, kCommentMax);
                break;
            case UploadNaming::OnlyId:
                w.comment = w.identifier;
                break;
        }
        out.push_back(std::move(w));
    }
    return out;
}

std::vector<TrackPosition> copy_all_positions(const TrackLog& log, const SplitChoice& split) {
    std::vector<TrackPosition> copy = log.positions;
    if (split && !split(copy)) copy.clear();
    return copy;
}

std::vector<TrackPosition> copy_selected_positions(const TrackLog& log, const std::vector<std::size_t>& rows,
                                                   const SplitChoice& split) {
    std::vector<TrackPosition> copy;
    copy.reserve(rows.size());
    for (std::size_t row : rows)
        if (row < log.positions.size()) copy.push_back(log.positions[row]);
    if (split && !split(copy)) copy.clear();
    return copy;
}

std::size_t first_backwards_time(const std::vector<TrackPosition>& positions) {
    uint32_t largest = 0;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i > 0 && positions[i].time < largest) return i + 1;
        if (positions[i].time > largest) largest = positions[i].time;
    }
    return 0;
}

}  // namespace orlogix
