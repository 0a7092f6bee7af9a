#include "formats/airspace/ctr_points.hpp"

#include <algorithm>
#include <cmath>

#include "core/geodesy.hpp"
#include "core/geodesic_direct.hpp"

namespace orlogix {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadPerDegree = kPi / 180.0;
constexpr double kMinSpacing = 100.0;   // metres between emitted points

GeoPosition radians(const LatLonDegrees& d) { return {d.latitude * kRadPerDegree, d.longitude * kRadPerDegree}; }
LatLonDegrees degrees(const GeoPosition& g) { return {g.latitude / kRadPerDegree, g.longitude / kRadPerDegree}; }

bool on_globe(const LatLonDegrees& d) {
    return std::isfinite(d.latitude) && std::isfinite(d.longitude) && std::fabs(d.latitude) <= 90.0 &&
           std::fabs(d.longitude) <= 180.0;
}

double distance(const LatLonDegrees& a, const LatLonDegrees& b) { return distance_or_zero(radians(a), radians(b)); }

LatLonDegrees at(const LatLonDegrees& centre, double azimuth_deg, double metres) {
    return degrees(geodesic_destination(radians(centre), azimuth_deg * kRadPerDegree, metres));
}

int steps_for(double sweep_deg) { return std::max(2, 1 + static_cast<int>(sweep_deg / 10.0)); }

// The circle starts due east and turns counter-clockwise in 10-degree steps,
// back onto its first point.
void circle(std::vector<LatLonDegrees>& out, const LatLonDegrees& centre, uint32_t radius) {
    for (int k = 0; k <= 36; ++k) out.push_back(at(centre, 90.0 - 10.0 * k, radius));
}

void arc_by_angles(std::vector<LatLonDegrees>& out, const CtrSegment& s) {
    double sweep = s.end_bearing - s.start_bearing;
    if (sweep < 0) sweep += 360.0;
    if (s.direction == '-') sweep = 360.0 - sweep;
    const int steps = steps_for(sweep);
    const double turn = s.direction == '-' ? -1.0 : 1.0;
    for (int k = 0; k <= steps; ++k) out.push_back(at(s.centre, s.start_bearing + turn * k * sweep / steps, s.radius));
}

void arc_by_ends(std::vector<LatLonDegrees>& out, const CtrSegment& s) {
    const GeoPosition c = radians(s.centre);
    const double r1 = distance(s.centre, s.first), r2 = distance(s.centre, s.second);
    const double az1 = geodesic_azimuth(c, radians(s.first)) / kRadPerDegree;
    const double az2 = geodesic_azimuth(c, radians(s.second)) / kRadPerDegree;
    // Counter-clockwise turn from the first to the second point; a
    // clockwise arc takes the rest of the circle.
    double ccw = az1 - az2;
    if (ccw < 0) ccw += 360.0;
    const double sweep = s.direction == '+' ? 360.0 - ccw : ccw;
    const int steps = steps_for(sweep);
    const double turn = s.direction == '+' ? 1.0 : -1.0;
    // The ends are the file's own points, not recomputed ones.
    out.push_back(s.first);
    for (int k = 1; k < steps; ++k) {
        const double f = static_cast<double>(k) / steps;
        out.push_back(at(s.centre, az1 + turn * sweep * f, r1 + (r2 - r1) * f));
    }
    out.push_back(s.second);
}

bool segment_on_globe(const CtrSegment& s) {
    if (!on_globe(s.centre)) return false;
    return s.kind != CtrSegmentKind::ArcByEnds || (on_globe(s.first) && on_globe(s.second));
}

}  // namespace

void ctr_segment_points(const CtrSegment& s, std::vector<LatLonDegrees>& out) {
    switch (s.kind) {
        case CtrSegmentKind::Point: out.push_back(s.centre); break;
        case CtrSegmentKind::ArcByAngles: arc_by_angles(out, s); break;
        case CtrSegmentKind::ArcByEnds: arc_by_ends(out, s); break;
        case CtrSegmentKind::Circle: circle(out, s.centre, s.radius); break;
    }
}

int ctr_outline(const Ctr& ctr, std::vector<LatLonDegrees>& out) {
    if (ctr.segments.empty()) return -1;
    for (const CtrSegment& s : ctr.segments)
        if (!segment_on_globe(s)) return -1;
    std::vector<LatLonDegrees> raw;
    const CtrSegment& first = ctr.segments.front();
    const bool full_arc = first.kind == CtrSegmentKind::ArcByAngles && std::fabs(first.start_bearing) < 1e-6 &&
                          std::fabs(first.end_bearing - 360.0) < 1e-6;
    const bool is_circle = first.kind == CtrSegmentKind::Circle || full_arc;
    if (is_circle) {
        circle(raw, first.centre, first.radius);
    } else {
        for (const CtrSegment& s : ctr.segments) ctr_segment_points(s, raw);
    }
    std::vector<LatLonDegrees> kept;
    kept.reserve(100);
    for (const LatLonDegrees& p : raw)
        if (kept.empty() || distance(kept.back(), p) >= kMinSpacing) kept.push_back(p);
    if (kept.size() > 1 && distance(kept.front(), kept.back()) > kMinSpacing)
        kept.push_back(kept.front());
    out = std::move(kept);
    return static_cast<int>(out.size());
}

int ctr_to_points(const Ctr& ctr, int ctr_index, uint32_t now, std::vector<Waypoint>& out) {
    std::vector<LatLonDegrees> outline;
    if (ctr_outline(ctr, outline) < 0) return -1;
    std::vector<Waypoint> points;
    points.reserve(outline.size());
    const auto letter = [](int v) { return static_cast<char>('A' + v % 26); };
    const int ci = ctr_index < 0 ? 0 : ctr_index;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        SemicirclePair sc;
        if (radians_to_semicircles(radians(outline[i]), sc) < 0) return -1;
        const int pi = static_cast<int>(i);
        Waypoint w;
        w.latitude = sc.latitude;
        w.longitude = sc.longitude;
        w.identifier = {'C', letter(ci / 26), letter(ci), letter(pi / 676), letter(pi / 26), letter(pi)};
        w.time = now;
        points.push_back(std::move(w));
    }
    out = std::move(points);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
