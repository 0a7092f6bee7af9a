#include "formats/gpx/writer.hpp"

#include <algorithm>
#include <new>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/gpx/head.hpp"
#include "formats/xml/escape.hpp"

namespace orlogix {

namespace {

std::string iso(uint32_t t, bool zone) {
    const CalendarTime c = calendar_from_time(t);
    return strformat("%d-%02d-%02dT%02d:%02d:%02d%s", c.year, c.month, c.day, c.hour, c.minute, c.second,
                     zone ? "Z" : "");
}

// The shared head with the bounds of all points.
void head(TextBuffer& b, const std::vector<LatLonDegrees>& points, uint32_t now, int version) {
    append_gpx_head(b, now, version, false);
    LatLonDegrees lo{0, 0}, hi{0, 0};
    if (!points.empty()) lo = hi = points.front();
    for (const LatLonDegrees& d : points) {
        lo.latitude = std::min(lo.latitude, d.latitude);
        hi.latitude = std::max(hi.latitude, d.latitude);
        lo.longitude = std::min(lo.longitude, d.longitude);
        hi.longitude = std::max(hi.longitude, d.longitude);
    }
    gpx_line(b, strformat("    <bounds minlat=\"%.6f\" minlon=\"%.6f\" maxlat=\"%.6f\" maxlon=\"%.6f\"/>",
                          lo.latitude, lo.longitude, hi.latitude, hi.longitude));
    gpx_line(b, "  </metadata>");
}

int write_text(Reporter& r, const char* title, const std::string& path, const std::string& text) {
    if (write_file_atomic(path, text) != 0) {
        r.error_box(title, "File write error");
        return -1;
    }
    return 0;
}

}  // namespace

std::string gpx_track_text(const std::vector<TrackPosition>& positions, uint32_t now, int program_version) {
    std::vector<LatLonDegrees> points;
    points.reserve(positions.size());
    for (const TrackPosition& p : positions) points.push_back(semicircles_to_degrees(p.latitude, p.longitude));
    TextBuffer b(10000);
    head(b, points, now, program_version);
    gpx_line(b, "  <trk>");
    gpx_line(b, "    <name>Track 001</name>");
    gpx_line(b, "    <trkseg>");
    for (std::size_t i = 0; i < positions.size(); ++i) {
        gpx_line(b, strformat("      <trkpt lat=\"%.6f\" lon=\"%.6f\">", points[i].latitude, points[i].longitude));
        gpx_line(b, strformat("        <ele>%.1f</ele>", positions[i].gps_altitude * 0.1));
        gpx_line(b, "        <time>" + iso(positions[i].time, true) + "</time>");
        gpx_line(b, "      </trkpt>");
    }
    gpx_line(b, "    </trkseg>");
    gpx_line(b, "  </trk>");
    gpx_line(b, "</gpx>");
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

std::string gpx_waypoint_text(const std::vector<Waypoint>& waypoints, uint32_t now, int program_version) {
    std::vector<LatLonDegrees> points;
    points.reserve(waypoints.size());
    for (const Waypoint& w : waypoints) points.push_back(semicircles_to_degrees(w.latitude, w.longitude));
    TextBuffer b(10000);
    head(b, points, now, program_version);
    for (std::size_t i = 0; i < waypoints.size(); ++i) {
        const Waypoint& w = waypoints[i];
        const std::string comment = xml_escape(w.comment);
        gpx_line(b, strformat("  <wpt lat=\"%.6f\" lon=\"%.6f\">", points[i].latitude, points[i].longitude));
        gpx_line(b, strformat("    <ele>%.1f</ele>", static_cast<double>(w.height)));
        gpx_line(b, "    <time>" + iso(w.time, false) + "</time>");
        gpx_line(b, "    <name>" + xml_escape(w.identifier) + "</name>");
        gpx_line(b, "    <cmt>" + comment + "</cmt>");
        gpx_line(b, "    <desc>" + comment + "</desc>");
        gpx_line(b, "    <sym>Dot</sym>");
        if (w.airfield) gpx_line(b, "    <type>Airport</type>");
        gpx_line(b, "  </wpt>");
    }
    gpx_line(b, "</gpx>");
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

int write_gpx_track_file(Reporter& r, const std::string& path, const std::vector<TrackPosition>& positions) {
    std::string text;
    try {
        text = gpx_track_text(positions, time_now());
    } catch (const std::bad_alloc&) {
        r.error_box(kGpxTrackSaveTitle, "Memory allocation error");
        return -1;
    }
    return write_text(r, kGpxTrackSaveTitle, path, text);
}

int write_gpx_waypoint_file(Reporter& r, const std::string& path, const std::vector<Waypoint>& waypoints) {
    std::string text;
    try {
        text = gpx_waypoint_text(waypoints, time_now());
    } catch (const std::bad_alloc&) {
        r.error_box(kGpxWaypointSaveTitle, "Memory allocation error");
        return -1;
    }
    return write_text(r, kGpxWaypointSaveTitle, path, text);
}

}  // namespace orlogix
