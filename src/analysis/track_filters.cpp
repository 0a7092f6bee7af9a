#include "analysis/track_filters.hpp"

#include <cstdlib>

#include "core/geodesy.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"

namespace orlogix {

double position_distance(const TrackPosition& a, const TrackPosition& b) {
    return distance_or_zero(semicircles_to_radians(a.latitude, a.longitude),
                            semicircles_to_radians(b.latitude, b.longitude));
}

std::vector<TrackPart> find_parts(const std::vector<TrackPosition>& positions, uint32_t gap_time) {
    std::vector<TrackPart> parts;
    if (positions.empty()) return parts;
    parts.push_back({0, positions.size() - 1, false});
    uint32_t reference = positions[0].time;
    for (std::size_t i = 1; i < positions.size() && parts.size() < kMaxTrackParts; ++i) {
        const TrackPosition& p = positions[i];
        if (p.time <= reference) continue;  // times that do not move on leave the reference alone
        if (p.time - reference > gap_time || (p.flags & kSegmentStart)) {
            parts.back().last = i - 1;
            parts.push_back({i, positions.size() - 1, false});
        }
        reference = p.time;
    }
    return parts;
}

std::string part_line(const std::vector<TrackPosition>& positions, const TrackPart& part) {
    const CalendarTime c = calendar_from_time(positions[part.first].time);
    const uint32_t span = positions[part.last].time - positions[part.first].time;
    return strformat("%02d-%02d-%02d   %02d:%02d:%02d   %d:%02d:%02d", c.day, c.month, c.year % 100, c.hour, c.minute,
                     c.second, static_cast<int>(span / 3600), static_cast<int>(span / 60 % 60),
                     static_cast<int>(span % 60));
}

std::string split_title(const std::string& port, const std::string& product) {
    if (product.empty()) return strformat("Split track (%s)", port.c_str());
    return strformat("Split track (%s, %s)", port.c_str(), product.c_str());
}

std::size_t split_at_gaps(std::vector<TrackPosition>& positions, uint32_t gap_time, const std::string& title,
                          const PartChooser& choose) {
    std::vector<TrackPart> parts = find_parts(positions, gap_time);
    if (parts.size() <= 1) return positions.size();
    std::vector<std::string> lines;
    for (std::size_t i = parts.size(); i-- > 0;) lines.push_back(part_line(positions, parts[i]));
    std::vector<bool> chosen(lines.size(), false);
    if (!choose || !choose(title, lines, chosen)) return 0;
    bool any = false;
    for (std::size_t line = 0; line < lines.size() && line < chosen.size(); ++line)
        if (chosen[line]) {
            parts[parts.size() - 1 - line].keep = true;
            any = true;
        }
    if (!any) return 0;
    std::vector<TrackPosition> joined;
    joined.reserve(positions.size());
    for (const TrackPart& part : parts)
        if (part.keep) joined.insert(joined.end(), positions.begin() + part.first, positions.begin() + part.last + 1);
    positions.swap(joined);
    return positions.size();
}

SplitChoice gap_split_choice(uint32_t gap_time, bool nosplit, const std::string& title, PartChooser choose) {
    return [gap_time, nosplit, title, choose](std::vector<TrackPosition>& copy) {
        if (nosplit || copy.size() <= 1) return true;
        return split_at_gaps(copy, gap_time, title, choose) > 0;
    };
}

std::size_t vario_filter(std::vector<TrackPosition>& positions, uint32_t threshold) {
    if (threshold == 0 || positions.size() < 2) return 0;
    std::size_t write = 1, ref = 0;
    for (std::size_t read = 1; read < positions.size(); ++read) {
        const TrackPosition& p = positions[read];
        const TrackPosition& r = positions[ref];
        bool drop = p.time == r.time;
        if (!drop) {
            const double climb = std::abs(p.gps_altitude - r.gps_altitude) * 0.1;
            drop = climb / static_cast<double>(p.time - r.time) >= threshold;
        }
        if (drop) continue;
        positions[write] = p;
        ref = write++;
    }
    const std::size_t removed = positions.size() - write;
    positions.resize(write);
    return removed;
}

namespace {

double speed_over(double distance, const TrackPosition& from, const TrackPosition& to) {
    const uint32_t dt = to.time - from.time;  // unsigned on purpose, as the instruments count
    if (dt == 0) return 0.0;
    const double v = distance / dt;
    return v > 1000000.0 ? 1000000.0 : v;
}

// Speeds between positions; the consecutive pairs, which every step of the
// analysis reads, are measured once.
class PairSpeeds {
public:
    explicit PairSpeeds(const std::vector<TrackPosition>& positions) : p_(positions), step_(positions.size()) {
        for (std::size_t i = 1; i < p_.size(); ++i) step_[i] = speed_over(position_distance(p_[i - 1], p_[i]), p_[i - 1], p_[i]);
    }
    // From position a to a later position b.
    double between(std::size_t a, std::size_t b) const {
        return b == a + 1 ? step_[b] : speed_over(position_distance(p_[a], p_[b]), p_[a], p_[b]);
    }

private:
    const std::vector<TrackPosition>& p_;
    std::vector<double> step_;
};

uint32_t threshold_of(const std::vector<TrackPosition>& positions, const PairSpeeds& speeds) {
    std::size_t histogram[100] = {};
    for (std::size_t i = 1; i < positions.size(); ++i) {
        const double v = speeds.between(i - 1, i);
        if (v < 100.0) ++histogram[static_cast<std::size_t>(v)];
    }
    long long target = static_cast<long long>(positions.size() * 19 / 20);
    for (uint32_t i = 0; i < 100; ++i) {
        target -= static_cast<long long>(histogram[i]);
        if (target <= 0) return 3 * i + 1;
    }
    return 301;
}

}  // namespace

uint32_t speed_threshold(const std::vector<TrackPosition>& positions) {
    return threshold_of(positions, PairSpeeds(positions));
}

std::size_t speed_analysis(std::vector<TrackPosition>& positions) {
    const std::size_t count = positions.size();
    if (count < 2) return 0;
    const PairSpeeds speeds(positions);
    const double threshold = threshold_of(positions, speeds);
    const std::size_t run_length = count <= 10 ? count - 1 : 10;
    std::size_t run = 0, anchor = count;
    for (std::size_t i = 1; i < count; ++i) {
        run = speeds.between(i - 1, i) < threshold ? run + 1 : 0;
        if (run >= run_length) {
            anchor = i;
            break;
        }
    }
    if (anchor == count) return 0;
    // A separate mark array rather than a flag bit: the positions stay untouched until compaction.
    std::vector<bool> keep(count, false);
    keep[anchor] = true;
    std::size_t ref = anchor;
    for (std::size_t i = anchor; i-- > 0;) {
        if (speeds.between(i, ref) < threshold) {
            keep[i] = true;
            ref = i;
        }
    }
    ref = anchor;
    for (std::size_t i = anchor + 1; i < count; ++i) {
        if (speeds.between(ref, i) < threshold) {
            keep[i] = true;
            ref = i;
        }
    }
    std::size_t write = 0;
    for (std::size_t i = 0; i < count; ++i)
        if (keep[i]) positions[write++] = positions[i];
    positions.resize(write);
    return write;
}

std::size_t count_backwards(const std::vector<TrackPosition>& positions, std::size_t& first_index) {
    std::size_t count = 0;
    first_index = 0;
    uint32_t latest = 0;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i > 0 && positions[i].time < latest) {
            if (count == 0) first_index = i;
            ++count;
        }
        if (i == 0 || positions[i].time > latest) latest = positions[i].time;
    }
    return count;
}

std::size_t drop_backwards(std::vector<TrackPosition>& positions) {
    if (positions.empty()) return 0;
    std::size_t write = 1;
    for (std::size_t read = 1; read < positions.size(); ++read)
        if (positions[read].time >= positions[write - 1].time) positions[write++] = positions[read];
    positions.resize(write);
    return write;
}

std::string backwards_warning(const std::vector<TrackPosition>& positions) {
    std::size_t first = 0;
    if (count_backwards(positions, first) == 0) return {};
    return strformat("One or more points (the first at pos. %d) go backwards in time", static_cast<int>(first + 1));
}

}  // namespace orlogix
