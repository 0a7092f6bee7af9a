#include "formats/commands/waypoint_file.hpp"

#include <cerrno>
#include <new>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/gpx/writer.hpp"
#include "formats/kml/reader.hpp"
#include "formats/kml/waypoint_writer.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/waypoints/mapsource.hpp"
#include "formats/xml/tokenizer.hpp"

namespace orlogix {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The XML forms: a declaration first (only a byte order mark before it), then
// the root tag names the reader. Anything else holds no waypoints.
int read_xml_waypoints(Reporter& r, std::string_view text, bool interactive, std::vector<Waypoint>& out) {
    XmlTokenizer t(text);
    const XmlToken first = t.next();
    if (first.kind != XmlTokenKind::Tag && first.kind != XmlTokenKind::EmptyElement) return 0;
    if (first.has_data && !first.data.empty() && first.data != kUtf8Mark) return 0;
    if (first.name != "?xml") return 0;
    const XmlToken second = t.next();
    if (second.kind != XmlTokenKind::Tag && second.kind != XmlTokenKind::EmptyElement) return 0;
    if (second.name == "gpx") return read_gpx_waypoints(r, text, interactive, out);
    if (second.name == "kml") return read_kml_waypoints(r, text, interactive, out);
    return 0;
}

bool looks_like_xml(std::string_view text) {
    if (starts_with(text, kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
    while (!text.empty() && xml_space(text.front())) text.remove_prefix(1);
    return !text.empty() && text.front() == '<';
}

int dispatch(Reporter& r, std::string_view bytes, bool interactive, uint32_t now, std::vector<Waypoint>& out) {
    if (starts_with(bytes, "MsRcd")) return read_mapsource_waypoints(r, bytes, out);
    // The text forms end at the first NUL, as a C string would.
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    if (starts_with(text, kOziWaypointHeader)) return read_ozi_waypoints(r, text, interactive, now, out);
    if (starts_with(text, kGeoWaypointHeader)) return read_geo_waypoints(r, text, interactive, now, out);
    if (starts_with(text, kUtmWaypointHeader)) return read_utm_waypoints(r, text, interactive, now, out);
    if (starts_with(text, "Title") || starts_with(text, "name")) return read_seeyou_waypoints(r, text, now, out);
    if (looks_like_xml(text)) return read_xml_waypoints(r, text, interactive, out);
    return read_winpilot_waypoints(r, text, now, out);
}

}  // namespace

std::string waypoint_file_bytes(WaypointFileType type, const std::vector<Waypoint>& waypoints, uint32_t now) {
    switch (type) {
    case WaypointFileType::Ozi: return ozi_waypoint_text(waypoints);
    case WaypointFileType::Utm: return utm_waypoint_text(waypoints);
    case WaypointFileType::Geographical: return geo_waypoint_text(waypoints);
    case WaypointFileType::MapSource: return mapsource_waypoint_bytes(waypoints);
    case WaypointFileType::SeeYou: return seeyou_waypoint_text(waypoints);
    case WaypointFileType::Gpx: return gpx_waypoint_text(waypoints, now);
    case WaypointFileType::GoogleEarth: return kml_waypoint_text(waypoints);
    case WaypointFileType::WinPilot: return winpilot_waypoint_text(waypoints);
    }
    return ozi_waypoint_text(waypoints);
}

int write_waypoint_file(Reporter& r, const std::string& path, WaypointFileType type,
                        const std::vector<Waypoint>& waypoints) {
    std::string bytes;
    try {
        bytes = waypoint_file_bytes(type, waypoints, time_now());
    } catch (const std::bad_alloc&) {
        r.error_box(kSaveWaypointsTitle, "Memory allocation error");
        return -1;
    }
    if (write_file_atomic(path, bytes) != 0) {
        system_error_box(r, "File write error", errno);
        return -1;
    }
    return 0;
}

int read_waypoint_text(Reporter& r, std::string_view bytes, bool interactive, uint32_t now,
                       std::vector<Waypoint>& out) {
    std::vector<Waypoint> read;
    const int n = dispatch(r, bytes, interactive, now, read);
    if (n < 0) return -1;
    if (n == 0 || read.empty()) {
        r.error_box(kWaypointDecodeTitle, "No waypoints found");
        return 0;
    }
    out = std::move(read);
    return static_cast<int>(out.size());
}

int read_waypoint_file(Reporter& r, const std::string& path, bool interactive, std::vector<Waypoint>& out) {
    // A folder opens but cannot be read: a read error, as it always was.
    const FileReadTitles titles{.open = "Error opening waypoint file", .size = "Error opening waypoint file",
                                .not_regular = "Waypoint file read error", .empty = kReadWaypointFileTitle,
                                .memory = "File buffer memory allocation", .read = "Waypoint file read error"};
    std::string bytes;
    if (read_whole_file(r, path, titles, bytes) < 0) return -1;
    return read_waypoint_text(r, bytes, interactive, time_now(), out);
}

}  // namespace orlogix
