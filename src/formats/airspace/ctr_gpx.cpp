#include "formats/airspace/ctr_gpx.hpp"

#include <algorithm>
#include <new>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/airspace/ctr_list.hpp"
#include "formats/airspace/ctr_points.hpp"
#include "formats/gpx/head.hpp"
#include "formats/xml/escape.hpp"

namespace orlogix {

namespace {

// Names from older files are Latin-1; those from newer ones UTF-8 already.
std::string utf8_name(const std::string& name) {
    if (valid_utf8(name)) return name;
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

struct Track {
    const Ctr* ctr;
    std::vector<Waypoint> points;
};

}  // namespace

std::string ctr_gpx_text(const CtrList& list, uint32_t now, std::vector<Waypoint>* outline, int program_version) {
    std::vector<Track> tracks;
    int index = 0;
    for (const Ctr& c : list) {
        const int this_index = index++;
        if (!c.selected) continue;
        Track t{&c, {}};
        if (ctr_to_points(c, this_index, now, t.points) < 0) continue;
        tracks.push_back(std::move(t));
    }
    double min_lat = 0, max_lat = 0, min_lon = 0, max_lon = 0;
    bool any = false;
    for (Track& t : tracks) {
        for (const Waypoint& w : t.points) {
            const LatLonDegrees g = semicircles_to_degrees(w.latitude, w.longitude);
            const double lat = g.latitude, lon = g.longitude;
            if (!any) {
                min_lat = max_lat = lat;
                min_lon = max_lon = lon;
                any = true;
            }
            min_lat = std::min(min_lat, lat);
            max_lat = std::max(max_lat, lat);
            min_lon = std::min(min_lon, lon);
            max_lon = std::max(max_lon, lon);
        }
    }

    TextBuffer b(10000);
    append_gpx_head(b, now, program_version, true);
    b.append_line(strformat("    <bounds maxlat=\"%.6f\" maxlon=\"%.6f\" minlat=\"%.6f\" minlon=\"%.6f\"/>\r\n", max_lat,
                            max_lon, min_lat, min_lon));
    gpx_line(b, "  </metadata>");
    for (const Track& t : tracks) {
        const double ceiling = ctr_height_metres(t.ctr->ceiling);
        const double floor = ctr_height_metres(t.ctr->floor);
        gpx_line(b, "  <trk>");
        gpx_line(b, "    <name>" + xml_escape(utf8_name(t.ctr->name)) + "</name>");
        gpx_line(b, "    <extensions>");
        gpx_line(b, "      <gpxx:TrackExtension>");
        gpx_line(b, "        <gpxx:DisplayColor>Transparent</gpxx:DisplayColor>");
        gpx_line(b, "      </gpxx:TrackExtension>");
        gpx_line(b, "    </extensions>");
        gpx_line(b, "    <trkseg>");
        for (const Waypoint& w : t.points) {
            const LatLonDegrees g = semicircles_to_degrees(w.latitude, w.longitude);
            gpx_line(b, strformat("      <trkpt lat=\"%.6f\" lon=\"%.6f\">", g.latitude, g.longitude));
            gpx_line(b, strformat("        <ele>%.6f</ele>", ceiling));
            gpx_line(b, "        <extensions>");
            gpx_line(b, "          <gpxx:TrackPointExtension>");
            gpx_line(b, strformat("            <gpxx:Depth>%.6f</gpxx:Depth>", floor));
            gpx_line(b, "          </gpxx:TrackPointExtension>");
            gpx_line(b, "        </extensions>");
            gpx_line(b, "      </trkpt>");
        }
        gpx_line(b, "    </trkseg>");
        gpx_line(b, "  </trk>");
    }
    gpx_line(b, "</gpx>");
    if (b.failed()) throw std::bad_alloc();
    if (outline && !tracks.empty()) *outline = tracks.back().points;
    return b.take();
}

int write_ctr_gpx_file(Reporter& r, const std::string& path, const CtrList& list, TrackLog* track_log) {
    if (selected_count(list) == 0) {
        r.error_box(kCtrGpxTitle, "No CTR(s) selected");
        return -1;
    }
    const uint32_t now = time_now();
    std::string text;
    std::vector<Waypoint> last;
    try {
        text = ctr_gpx_text(list, now, &last);
    } catch (const std::bad_alloc&) {
        r.error_box(kCtrGpxTitle, "Memory allocation error");
        return -1;
    }
    if (write_file_atomic(path, text) != 0) {
        r.error_box(kCtrGpxTitle, "File write error");
        return -1;
    }
    if (track_log && !last.empty()) track_log_from_waypoints(*track_log, last, now);
    r.status(path + " written");
    return 0;
}

}  // namespace orlogix
