#pragma once
// "&Convert .kml files to .igc" and "Convert .igc files to .kml" over a list
// of chosen files, and the command line's DAT2KML. Each output lies beside
// its input with the other extension and replaces an existing file.
#include <string>
#include <vector>

#include "core/time.hpp"
#include "formats/commands/kml_google_earth.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kBatchKmlToIgcTitle = "Convert .kml to .igc";
inline constexpr const char* kBatchIgcToKmlTitle = "Convert .igc to .kml";
inline constexpr const char* kDatReadTitle = "Reading .dat log file";

// A line on a converted flight for the closing report (the contest score);
// the analysis lives above this library, so the caller hands it in.
using FlightNote = std::function<std::string(const std::vector<TrackPosition>& positions)>;

struct BatchOptions {
    CalendarTime batch_start;   // written as the download time
    uint32_t max_gap = 800;     // the loop searches' allowable gap (IGC to KML)
    int program_version = kProgramVersionHundredths;
    FlightNote flight_note;     // IGC to KML: a line per flight; none when empty
};

// Each file in order: the status line shows its name, then it is read,
// converted and written. The first failure is shown titled with the batch's
// title and stops the batch; "%d file(s) converted" closes it either way,
// followed by "name: note" for each converted flight that has a note.
// The number converted, or -1 when a file failed (or none was given: "No
// file(s) selected").
int batch_convert_kml_to_igc(Reporter& r, const std::vector<std::string>& files, const BatchOptions& options);
int batch_convert_igc_to_kml(Reporter& r, const std::vector<std::string>& files, const BatchOptions& options,
                             const TripAnalysis& analyse);

// DAT2KML: base_name + ".dat" through the .dat reader (file messages titled
// "Reading .dat log file"), written as a Google Earth file beside it
// (kml_path_for). 0, or -1 after reporting.
int convert_dat_to_kml(Reporter& r, const std::string& base_name, const GoogleEarthOptions& options,
                       const TripAnalysis& analyse);

}  // namespace orlogix
