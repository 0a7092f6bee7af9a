#include "formats/gpx/writer.hpp"

#include <algorithm>
#include <new>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/xml/escape.hpp"

namespace orlogix {

namespace {

std::string iso(uint32_t t, bool zone) {
    const CalendarTime c = calendar_from_time(t);
    return strformat("%d-%02d-%02dT%02d:%02d:%02d%s", c.year, c.month, c.day, c.hour, c.minute, c.second,
                     zone ? "Z" : "");
}

void line(TextBuffer& b, const std::string& text) {
    b.append_line(text);
    b.append_line("\r\n");
}

// Declaration, gpx start tag and metadata with the bounds of all points.
void head(TextBuffer& b, const std::vector<LatLonDegrees>& points, uint32_t now, int version) {
    line(b, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    line(b, "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"");
    line(b, strformat("     creator=\"Orlogix %d.%02d\"", version / 100, version % 100));
    line(b, "     version=\"1.1\"");
    line(b, "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"");
    line(b, "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
            "http://www.topografix.com/GPX/1/1/gpx.xsd\">");
    line(b, "  <metadata>");
    line(b, "    <link href=\"https://orlogix.org/\">");
    line(b, "      <text>Orlogix, flights for your online logbook</text>");
    line(b, "    </link>");
    line(b, "    <time>" + iso(now, true) + "</time>");
    LatLonDegrees lo{0, 0}, hi{0, 0};
    if (!points.empty()) lo = hi = points.front();
    for (const LatLonDegrees& d : points) {
        lo.latitude = std::min(lo.latitude, d.latitude);
        hi.latitude = std::max(hi.latitude, d.latitude);
        lo.longitude = std::min(lo.longitude, d.longitude);
        hi.longitude = std::max(hi.longitude, d.longitude);
    }
    line(b, strformat("    <bounds minlat=\"%.6f\" minlon=\"%.6f\" maxlat=\"%.6f\" maxlon=\"%.6f\"/>", lo.latitude,
                      lo.longitude, hi.latitude, hi.longitude));
    line(b, "  </metadata>");
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
    line(b, "  <trk>");
    line(b, "    <name>Track 001</name>");
    line(b, "    <trkseg>");
    for (std::size_t i = 0; i < positions.size(); ++i) {
        line(b, strformat("      <trkpt lat=\"%.6f\" lon=\"%.6f\">", points[i].latitude, points[i].longitude));
        line(b, strformat("        <ele>%.1f</ele>", positions[i].gps_altitude * 0.1));
        line(b, "        <time>" + iso(positions[i].time, true) + "</time>");
        line(b, "      </trkpt>");
    }
    line(b, "    </trkseg>");
    line(b, "  </trk>");
    line(b, "</gpx>");
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
        line(b, strformat("  <wpt lat=\"%.6f\" lon=\"%.6f\">", points[i].latitude, points[i].longitude));
        line(b, strformat("    <ele>%.1f</ele>", static_cast<double>(w.height)));
        line(b, "    <time>" + iso(w.time, false) + "</time>");
        line(b, "    <name>" + xml_escape(w.identifier) + "</name>");
        line(b, "    <cmt>" + comment + "</cmt>");
        line(b, "    <desc>" + comment + "</desc>");
        line(b, "    <sym>Dot</sym>");
        if (w.airfield) line(b, "    <type>Airport</type>");
        line(b, "  </wpt>");
    }
    line(b, "</gpx>");
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
