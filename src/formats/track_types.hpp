#pragma once
// The track file types of "Save log &As..." and "Read track log file": their
// names, extensions and file-dialog filters, and the choice of a reader by a
// file's extension.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlogix {

class Reporter;

enum class TrackSaveType { Ozi = 1, MapSource = 2, TopNavigator = 3, Gpx = 4, Csv = 5 };
enum class TrackReadType { Kml = 1, Ozi = 2, DezuvaDarOld = 3, TopNavigator = 4, MapSource = 5, Magellan = 6,
                           Igc = 7, Gpx = 8, Csv = 9 };

struct TrackFileType {
    const char* name;
    const char* extension;
};

inline constexpr TrackFileType kTrackSaveTypes[] = {
    {"Ozi", ".plt"}, {"MapSource", ".mps"}, {"TopNavigator", ".tnc"}, {"GPX", ".gpx"}, {"CSV", ".csv"},
};
inline constexpr TrackFileType kTrackReadTypes[] = {
    {"DezuvaDar", ".kml"}, {"Ozi", ".plt"}, {"DezuvaDar (old)", ".dat"}, {"TopNavigator", ".tnc"},
    {"MapSource", ".mps"}, {"Magellan", ".log"}, {"IGC", ".igc"}, {"GPX", ".gpx"}, {"CSV", ".csv"},
};

const TrackFileType& track_file_type(TrackSaveType t);
const TrackFileType& track_file_type(TrackReadType t);

// "%s files (*%s)" for each type, then "%s files (*.*)" for each: filter n
// (1-based) names type n, and n + count the same type with any extension.
std::vector<std::string> track_save_filters();
std::vector<std::string> track_read_filters();

// The type a 1-based filter number stands for; filters out of range count as 1.
TrackSaveType track_save_type_for_filter(int filter);
TrackReadType track_read_type_for_filter(int filter);

// With a type filter (not a "*.*" one) and no extension typed, the type's
// extension is appended; beyond 256 characters "Too long file name" titled
// "Error opening file". 0 or -1.
int complete_track_path(Reporter& r, std::string& path, int filter, bool save);

// The reader for a path's extension (the text after the last ".", in any
// case); nothing when there is none or it is not a track type.
std::optional<TrackReadType> track_read_type_for_path(std::string_view path);

}  // namespace orlogix
