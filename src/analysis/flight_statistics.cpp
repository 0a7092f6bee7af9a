#include "analysis/flight_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "analysis/track_filters.hpp"
#include "core/geodesy.hpp"
#include "core/report.hpp"

namespace orlogix {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Walks back from n over `window` seconds of flight, stopping at a segment
// start. leg(from, to) is the distance between two positions of the walk.
template <class Leg>
TrackLegs::Walk walk_back(const std::vector<TrackPosition>& positions, std::size_t n, double window, const Leg& leg) {
    TrackLegs::Walk w;
    w.start_height = positions[n].gps_altitude;
    std::size_t ref = n;
    double time = 0.0;
    for (std::size_t i = n; i-- > 0;) {
        const TrackPosition& p = positions[i];
        if (p.time != positions[ref].time) {
            const double dist = leg(i, ref);
            const double dt = static_cast<double>(static_cast<uint32_t>(positions[ref].time - p.time));
            ref = i;
            if (time + dt < window) {
                time += dt;
                w.distance += dist;
                w.start_height = p.gps_altitude;
            } else {
                const double f = (window - time) / dt;
                w.distance += f * dist;
                w.start_height += f * (p.gps_altitude - w.start_height);
                break;
            }
        }
        if (p.flags & kSegmentStart) break;
    }
    return w;
}

bool walk_starts(const std::vector<TrackPosition>& positions, std::size_t n) {
    return n > 0 && n < positions.size() && !(positions[n].flags & kSegmentStart);
}

SpeedClimb speed_climb(const std::vector<TrackPosition>& positions, std::size_t n, const TrackLegs::Walk& w) {
    return {w.distance * 0.06, (positions[n].gps_altitude - w.start_height) * 0.001666667};
}

// Distances worked out when the walk needs them.
struct FreshLeg {
    const std::vector<TrackPosition>& positions;
    double operator()(std::size_t from, std::size_t to) const { return position_distance(positions[from], positions[to]); }
};

}  // namespace

SpeedClimb mean_speed_climb_60s(const std::vector<TrackPosition>& positions, std::size_t n) {
    if (!walk_starts(positions, n)) return {};
    return speed_climb(positions, n, walk_back(positions, n, 60.0, FreshLeg{positions}));
}

double top_speed_10s(const std::vector<TrackPosition>& positions, std::size_t n) {
    if (!walk_starts(positions, n)) return 0.0;
    return walk_back(positions, n, 10.0, FreshLeg{positions}).distance * 0.36;
}

TrackLegs::TrackLegs(const std::vector<TrackPosition>& positions)
    : positions_(positions),
      length_(positions.size()),
      step_(positions.size()),
      seconds_(positions.size()),
      start_(positions.size(), kNone),
      blocked_(positions.size(), 0) {
    const std::size_t n = positions.size();
    // A walk passes over positions that share the time of its reference, so
    // the leg that ends at j starts at the last earlier position with another
    // time; a segment start among those passed over ends the walk.
    for (std::size_t j = 1; j < n; ++j) {
        const bool fresh = positions[j - 1].time != positions[j].time;
        start_[j] = fresh ? j - 1 : start_[j - 1];
        blocked_[j] = fresh ? 0 : static_cast<uint8_t>(blocked_[j - 1] | ((positions[j - 1].flags & kSegmentStart) != 0));
        if (start_[j] != kNone)
            seconds_[j] = static_cast<double>(static_cast<uint32_t>(positions[j].time - positions[start_[j]].time));
    }
    auto measure = [&](std::size_t from, std::size_t to) {
        for (std::size_t j = from; j < to; ++j) {
            if (start_[j] != kNone) length_[j] = position_distance(positions[start_[j]], positions[j]);
            step_[j] = start_[j] == j - 1 ? length_[j] : position_distance(positions[j - 1], positions[j]);
        }
    };
    // Every distance stands alone, so a longer track is shared with the second core.
    constexpr std::size_t kShareFrom = 1024;
    std::thread helper;
    if (n >= kShareFrom) {
        try {
            helper = std::thread(measure, n / 2, n);
        } catch (const std::system_error&) {
        }
    }
    measure(1, helper.joinable() ? n / 2 : n);
    if (helper.joinable()) helper.join();
}

// The walk of walk_back over the stored legs: from leg to leg instead of
// position to position, with the same sums in the same order.
TrackLegs::Walk TrackLegs::walk(std::size_t n, double window) const {
    Walk w;
    w.start_height = positions_[n].gps_altitude;
    std::size_t ref = n;
    double time = 0.0;
    while (!blocked_[ref] && start_[ref] != kNone) {
        const std::size_t i = start_[ref];
        const double dt = seconds_[ref], dist = length_[ref];
        const double height = positions_[i].gps_altitude;
        if (time + dt < window) {
            time += dt;
            w.distance += dist;
            w.start_height = height;
        } else {
            const double f = (window - time) / dt;
            w.distance += f * dist;
            w.start_height += f * (height - w.start_height);
            break;
        }
        if (positions_[i].flags & kSegmentStart) break;
        ref = i;
    }
    return w;
}

SpeedClimb TrackLegs::mean_speed_climb_60s(std::size_t n) const {
    if (!walk_starts(positions_, n)) return {};
    return speed_climb(positions_, n, walk(n, 60.0));
}

double TrackLegs::top_speed_10s(std::size_t n) const {
    if (!walk_starts(positions_, n)) return 0.0;
    return walk(n, 10.0).distance * 0.36;
}

void fill_statistics(FlightStatistics& s, const TrackLogHeader& header, const CalendarTime& now) {
    s.has_download_time = header.track_log_source == 1 ? 1 : 0;
    s.download_time = now;
    s.has_pilot_ids = 0;
    s.times_in_utc = header.times_in_utc;
    s.baro_present = header.baro_present;
    compute_statistics(s);
}

void compute_statistics(FlightStatistics& s) {
    const std::vector<TrackPosition>& p = s.positions;
    s.first_time = p.empty() ? 0 : p.front().time;
    s.last_time = p.empty() ? 0 : p.back().time;
    s.duration = s.last_time - s.first_time;
    int32_t lowest = 1000000, highest = -1000000;
    double total = 0.0, top = 0.0, mean = 0.0, climb_lo = 0.0, climb_hi = 0.0;
    const TrackLegs legs(p);
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i].gps_altitude < lowest) lowest = p[i].gps_altitude;
        if (p[i].gps_altitude > highest) highest = p[i].gps_altitude;
        if (i == 0) continue;
        total += legs.step(i);
        // Signed, so that a fix stamped before the first does not count as late.
        const int64_t since = int64_t{p[i].time} - int64_t{p[0].time};
        if (since > 10) top = std::max(top, legs.top_speed_10s(i));
        if (since > 60) {
            const SpeedClimb sc = legs.mean_speed_climb_60s(i);
            mean = std::max(mean, sc.speed);
            climb_lo = std::min(climb_lo, sc.climb);
            climb_hi = std::max(climb_hi, sc.climb);
        }
    }
    s.lowest_altitude = (lowest + 5) / 10;
    s.highest_altitude = (highest + 5) / 10;
    s.total_distance = total;
    s.top_speed = top;
    s.best_mean_speed = mean;
    // No duration, no average: a single time stamp must not divide by zero.
    s.average_speed = s.duration > 0 ? total / s.duration * 3.6 : 0.0;
    s.lowest_climb = std::clamp(climb_lo, -9999.0, 9999.0);
    s.highest_climb = std::clamp(climb_hi, -9999.0, 9999.0);
}

StatisticsTexts statistics_texts(const FlightStatistics& s) {
    StatisticsTexts t;
    const CalendarTime a = calendar_from_time(s.first_time), b = calendar_from_time(s.last_time);
    t.date = strformat("%4d-%02d-%02d", a.year, a.month, a.day);
    t.start = strformat("%02d:%02d:%02d", a.hour, a.minute, a.second);
    t.finish = strformat("%02d:%02d:%02d", b.hour, b.minute, b.second);
    t.duration = strformat("%d : %02d : %02d", static_cast<int>(s.duration / 3600),
                           static_cast<int>(s.duration / 60 % 60), static_cast<int>(s.duration % 60));
    t.highest = strformat("%d m", s.highest_altitude);
    t.lowest = strformat("%d m", s.lowest_altitude);
    t.best_mean_speed = strformat("%d km/h", static_cast<int>(round_half_away(s.best_mean_speed)));
    t.top_speed = strformat("%d km/h", static_cast<int>(round_half_away(s.top_speed)));
    t.total_distance = strformat("%.1f km", s.total_distance * 0.001);
    return t;
}

std::vector<std::string> result_texts(const OptimisationResults& r) {
    const double metres[] = {r.two.total,          r.three.total, r.four.total, r.five.total,
                             r.out_and_return.score, r.flat.score,  r.fai.score};
    std::vector<std::string> out;
    for (double m : metres) out.push_back(strformat("%.2f", m * 0.001));
    return out;
}

std::string clipboard_text(const std::vector<TrackPosition>& positions) {
    std::string text;
    text.reserve(positions.size() * 80 + 1);
    const TrackLegs legs(positions);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const TrackPosition& p = positions[i];
        const CalendarTime c = calendar_from_time(p.time);
        const LatLonDegrees g = semicircles_to_degrees(p.latitude, p.longitude);
        const int32_t h = p.gps_altitude;
        const long long mag = std::llabs(static_cast<long long>(h));
        text += strformat("%4d-%02d-%02d, %02d:%02d:%02d, %.6f, %.6f, %c%d.%d, %.1f\r\n", c.year, c.month, c.day, c.hour,
                          c.minute, c.second, g.latitude, g.longitude,
                          h < 0 ? '-' : ' ', static_cast<int>(mag / 10), static_cast<int>(mag % 10),
                          legs.mean_speed_climb_60s(i).speed);
    }
    return text;
}

int rotate_positions(std::vector<TrackPosition>& positions, const GeoPosition& start, const GeoPosition& end) {
    const RotationBase base = rotation_base(start, end);
    std::vector<TrackPosition> out = positions;
    for (TrackPosition& p : out) {
        GeoPosition moved = rotate_position(base, semicircles_to_radians(p.latitude, p.longitude));
        // Far side of the sphere: the longitude comes back beyond 180 degrees; wrap it.
        if (moved.longitude > kPi) moved.longitude -= 2 * kPi;
        if (moved.longitude < -kPi) moved.longitude += 2 * kPi;
        SemicirclePair s;
        if (radians_to_semicircles(moved, s) != 0) return -1;
        p.latitude = s.latitude;
        p.longitude = s.longitude;
    }
    positions.swap(out);
    return 0;
}

void install_rotated(TrackLog& log, std::vector<TrackPosition> rotated) {
    log.positions = std::move(rotated);
    log.header.source_protocol_type = 0;
    log.header.instrument_description.clear();
}

int rotate_track(Reporter& r, TrackLog& log, std::vector<TrackPosition> selection, const GeoPosition& start,
                 const GeoPosition& end) {
    static constexpr const char* kTitle = "Rotate track log";
    if (log.positions.empty()) {
        r.error_box(kTitle, "No positions loaded");
        return -1;
    }
    if (selection.empty()) {
        r.error_box(kTitle, "No position(s) selected");
        return -1;
    }
    if (selection.size() == 1 && r.yes_no_box(kTitle, "Only one position selected, continue ?") != kBoxYes) return -1;
    if (rotate_positions(selection, start, end) != 0) {
        r.error_box(kTitle, "Position out of range");
        return -1;
    }
    install_rotated(log, std::move(selection));
    return 0;
}

}  // namespace orlogix
