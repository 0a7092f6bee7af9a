#include "sim/data_files.hpp"

#include <algorithm>
#include <cctype>
#include <span>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc_reader.hpp"

namespace orlogix::sim {

namespace {

// An IGC flight as the instrument's memory: UTC times and pressure altitudes.
int read_igc_for_sim(Reporter& r, std::string_view bytes, TrackLog& out) {
    RawIgcLog raw;
    int n = read_igc_track(r, bytes, out.positions, raw);
    if (n < 0) return n;
    out.header.times_in_utc = 1;
    out.header.baro_present = 1;
    return n;
}

// One line per readable file type, added as the format readers arrive.
constexpr TrackFileType kTrackFileTypes[] = {
    {".igc", read_igc_for_sim},
};
constexpr WaypointFileType kWaypointFileTypes[] = {
    {"", nullptr},
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
