#include "formats/track_types.hpp"

#include <cctype>
#include <iterator>

#include "core/report.hpp"

namespace orlogix {

namespace {

constexpr int kSaveCount = static_cast<int>(std::size(kTrackSaveTypes));
constexpr int kReadCount = static_cast<int>(std::size(kTrackReadTypes));

template <std::size_t N>
std::vector<std::string> filters(const TrackFileType (&types)[N]) {
    std::vector<std::string> out;
    for (const TrackFileType& t : types) out.push_back(strformat("%s files (*%s)", t.name, t.extension));
    for (const TrackFileType& t : types) out.push_back(strformat("%s files (*.*)", t.name));
    return out;
}

// 1..count for both halves of the filter list.
int type_number(int filter, int count) {
    if (filter < 1 || filter > 2 * count) return 1;
    return filter > count ? filter - count : filter;
}

bool has_extension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

const TrackFileType& track_file_type(TrackSaveType t) { return kTrackSaveTypes[static_cast<int>(t) - 1]; }
const TrackFileType& track_file_type(TrackReadType t) { return kTrackReadTypes[static_cast<int>(t) - 1]; }

std::vector<std::string> track_save_filters() { return filters(kTrackSaveTypes); }
std::vector<std::string> track_read_filters() { return filters(kTrackReadTypes); }

TrackSaveType track_save_type_for_filter(int filter) {
    return static_cast<TrackSaveType>(type_number(filter, kSaveCount));
}

TrackReadType track_read_type_for_filter(int filter) {
    return static_cast<TrackReadType>(type_number(filter, kReadCount));
}

int complete_track_path(Reporter& r, std::string& path, int filter, bool save) {
    const int count = save ? kSaveCount : kReadCount;
    if (filter < 1 || filter > count || has_extension(path)) return 0;
    const char* extension = save ? track_file_type(track_save_type_for_filter(filter)).extension
                                 : track_file_type(track_read_type_for_filter(filter)).extension;
    if (path.size() + std::string_view(extension).size() > 256) {
        r.error_box("Error opening file", "Too long file name");
        return -1;
    }
    path += extension;
    return 0;
}

std::optional<TrackReadType> track_read_type_for_path(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    // Any case: instruments write "FLIGHT.IGC".
    std::string extension(path.substr(dot));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int i = 0; i < kReadCount; ++i)
        if (extension == kTrackReadTypes[i].extension) return static_cast<TrackReadType>(i + 1);
    return std::nullopt;
}

}  // namespace orlogix
