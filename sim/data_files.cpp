#include "sim/data_files.hpp"

#include <algorithm>
#include <cctype>
#include <span>

#include "core/report.hpp"
#include "core/file_read.hpp"
#include "core/time.hpp"
#include "formats/commands/track_read.hpp"
#include "formats/commands/waypoint_file.hpp"

namespace orlogix::sim {

namespace {

// A track file as the instrument's memory: what the file tells of UTC and
// pressure altitudes, IGC files with both.
template <TrackReadType type>
int read_track_for_sim(Reporter& r, std::string_view bytes, TrackLog& out) {
    TrackFileRead read;
    int n = read_track_bytes(r, type, bytes, read, true);
    if (n < 0) return n;
    out.positions = std::move(read.positions);
    out.header.times_in_utc = read.times_in_utc || type == TrackReadType::Igc ? 1 : 0;
    out.header.baro_present = read.baro_present || type == TrackReadType::Igc ? 1 : 0;
    return n;
}

// Any waypoint file: the format is recognised by its content.
int read_waypoints_for_sim(Reporter& r, std::string_view bytes, std::vector<Waypoint>& out) {
    return read_waypoint_text(r, bytes, false, time_now(), out);
}

// One line per readable file type.
constexpr TrackFileType kTrackFileTypes[] = {
    {".igc", read_track_for_sim<TrackReadType::Igc>},    {".kml", read_track_for_sim<TrackReadType::Kml>},
    {".gpx", read_track_for_sim<TrackReadType::Gpx>},    {".plt", read_track_for_sim<TrackReadType::Ozi>},
    {".csv", read_track_for_sim<TrackReadType::Csv>},    {".mps", read_track_for_sim<TrackReadType::MapSource>},
    {".log", read_track_for_sim<TrackReadType::Magellan>}, {".dat", read_track_for_sim<TrackReadType::DezuvaDarOld>},
};
constexpr WaypointFileType kWaypointFileTypes[] = {
    {".wpt", read_waypoints_for_sim}, {".cup", read_waypoints_for_sim}, {".dat", read_waypoints_for_sim},
    {".gpx", read_waypoints_for_sim}, {".kml", read_waypoints_for_sim}, {".mps", read_waypoints_for_sim},
};

template <typename Type>
const Type* find_type(std::span<const Type> types, const std::string& extension) {
    for (const Type& t : types)
        if (t.read && !extension.empty() && extension == t.extension) return &t;
    return nullptr;
}

template <typename Type, typename Out>
int load(Reporter& r, std::span<const Type> types, const char* what, const std::string& path, Out& out) {
    const std::string title = std::string("Load ") + what + " file";
    const std::string extension = file_extension(path);
    const Type* type = find_type(types, extension);
    if (!type) {
        r.error_box(title, "Unknown " + std::string(what) + " file type \"" + extension + "\": " + path);
        return -1;
    }
    std::string bytes;
    if (read_file(path, bytes) < 0) {
        const int error = errno;
        r.error_box(title, path + ": " + system_error_text(error));
        return -1;
    }
    Out loaded{};
    const int result = type->read(r, bytes, loaded);
    if (result < 0) return result;
    out = std::move(loaded);
    return result;
}

}  // namespace

std::string file_extension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

int load_track_file(Reporter& r, const std::string& path, TrackLog& out) {
    return load(r, std::span<const TrackFileType>(kTrackFileTypes), "track", path, out);
}

int load_waypoint_file(Reporter& r, const std::string& path, std::vector<Waypoint>& out) {
    return load(r, std::span<const WaypointFileType>(kWaypointFileTypes), "waypoint", path, out);
}

}  // namespace orlogix::sim
