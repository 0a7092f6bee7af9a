#include "formats/kml/waypoint_writer.hpp"

#include <new>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "formats/xml/escape.hpp"

namespace orlogix {

std::string kml_waypoint_text(const std::vector<Waypoint>& waypoints) {
    TextBuffer b(4000);
    auto line = [&b](const std::string& text) {
        b.append_line(text);
        b.append_line("\r\n");
    };
    line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    line("<kml xmlns=\"http://earth.google.com/kml/2.1\">");
    line("  <Document>");
    line("    <Folder>");
    line("      <name>Waypoints</name>");
    for (const Waypoint& w : waypoints) {
        const LatLonDegrees g = semicircles_to_degrees(w.latitude, w.longitude);
        line("      <Placemark>");
        line("        <name>" + xml_escape(w.identifier) + "</name>");
        line("        <description>" + xml_escape(w.comment) + "</description>");
        line("        <Point>");
        line(strformat("        <coordinates>%.6f,%.6f,%.6f</coordinates>", g.longitude,
                       g.latitude, static_cast<double>(w.height)));
        line("        </Point>");
        line("      </Placemark>");
    }
    line("    </Folder>");
    line("  </Document>");
    line("</kml>");
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

int write_kml_waypoint_file(Reporter& r, const std::string& path, const std::vector<Waypoint>& waypoints) {
    std::string text;
    try {
        text = kml_waypoint_text(waypoints);
    } catch (const std::bad_alloc&) {
        r.error_box(kKmlWaypointSaveTitle, "Memory allocation error");
        return -1;
    }
    if (write_file_atomic(path, text) != 0) {
        r.error_box(kKmlWaypointSaveTitle, "File write error");
        return -1;
    }
    return 0;
}

}  // namespace orlogix
