#pragma once
// One flight as a Google Earth file (the command line's KML output and the
// IGC to KML conversion): statistics and optimisation are made here from the
// positions alone, then the trip folder is wrapped as a document.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "formats/kml/trip_writer.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kGoogleEarthTitle = "Write GoogleEarth file";

// The flight analysis the file needs: given a record with its positions,
// times and flags, fills the heights, speeds, distance and climbs
// (compute_statistics) and the optimisation results (optimise_track). 0, or a
// negative value when the optimisation's tables could not be had. The
// command line passes it in; the formats library does not link the analysis.
using TripAnalysis = std::function<int(FlightStatistics& record)>;

struct GoogleEarthOptions {
    bool download_flag = false;             // sign the track
    bool times_in_utc = false;
    bool baro_present = false;
    std::optional<std::string> instrument;  // absent: "unknown"
    int program_version = kProgramVersionHundredths;
    uint32_t max_gap = 800;                 // for the loop placemarks' headings
    bool overwrite = false;                 // false: the file must be new
};

// Statistics, optimisation and the document text. 0, or -1 after reporting
// ("Too few track positions", "Memory allocation error" titled "Analysing
// track", the folder writer's failures titled "Making GoogleEarth track folder").
int build_google_earth_document(Reporter& r, std::vector<TrackPosition>& positions, const GoogleEarthOptions& options,
                                const TripAnalysis& analyse, std::string& document);

// build_google_earth_document, then the file: "File already exists" when it
// must be new, the system's text titled "File write error" when the write fails. 0 or -1.
int write_google_earth_file(Reporter& r, const std::string& path, std::vector<TrackPosition> positions,
                            const GoogleEarthOptions& options, const TripAnalysis& analyse);

// The output name of a conversion: the input without its extension, plus ".kml".
std::string kml_path_for(std::string_view input_path);

// The command line's IGC to KML conversion: reads and parses the IGC file and
// writes kml_path_for(igc_path) unsigned, with pressure altitudes, times not
// marked UTC. 0 or -1 after reporting.
int convert_igc_to_kml(Reporter& r, const std::string& igc_path, const GoogleEarthOptions& options,
                       const TripAnalysis& analyse);

}  // namespace orlogix
