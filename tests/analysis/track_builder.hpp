#pragma once
// Constructed tracks for the analysis tests: fixes along straight legs
// between corner points given in degrees, one fix every `step_s` seconds.
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/records.hpp"
#include "flight_loader.hpp"

namespace orlogix::test {

inline TrackPosition fix_at(double lat_deg, double lon_deg, uint32_t time, int32_t alt_dm = 10000) {
    TrackPosition p;
    p.latitude = degrees_to_semicircles(lat_deg);
    p.longitude = degrees_to_semicircles(lon_deg);
    p.time = time;
    p.gps_altitude = alt_dm;
    return p;
}

// Corners as (lat, lon) degrees; `per_leg` fixes per leg, the last corner included once.
inline std::vector<TrackPosition> legs_track(const std::vector<std::pair<double, double>>& corners, int per_leg,
                                             uint32_t start_time = 1000000000u, uint32_t step_s = 10) {
    std::vector<TrackPosition> out;
    uint32_t t = start_time;
    for (std::size_t c = 0; c + 1 < corners.size(); ++c)
        for (int i = 0; i < per_leg; ++i) {
            const double f = static_cast<double>(i) / per_leg;
            out.push_back(fix_at(corners[c].first + f * (corners[c + 1].first - corners[c].first),
                                 corners[c].second + f * (corners[c + 1].second - corners[c].second), t));
            t += step_s;
        }
    out.push_back(fix_at(corners.back().first, corners.back().second, t));
    out.front().flags = kSegmentStart;
    return out;
}

// Corners of an equilateral triangle of side `side_km` near the equator
// (lat, lon degrees), starting at the south-west corner.
inline std::vector<std::pair<double, double>> equilateral(double side_km) {
    const double deg = side_km / 111.32;  // about a degree of longitude at the equator
    return {{0.0, 0.0}, {0.0, deg}, {deg * std::sqrt(3.0) / 2.0 * 111.32 / 110.57, deg / 2.0}, {0.0, 0.0}};
}

}  // namespace orlogix::test
