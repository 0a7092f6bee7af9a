#pragma once
// The competition save: the positions inside the competition window,
// filtered and analysed, written as a signed KML trip file (and optionally an
// IGC file) named after the pilot in the competition folder. Window and
// command line share it; the clock comes in as a parameter.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/optimisation_results.hpp"
#include "analysis/track_filters.hpp"
#include "competition/pilot_choice.hpp"
#include "core/records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kCompSaveTitle = "Save log for competition";
inline constexpr const char* kCompKmlDescription = "Tracklog from Orlogix competition mode";

struct CompetitionSaveSettings {
    std::string comp_dir;
    uint32_t window_start = 0;  // 0: no lower limit
    uint32_t window_stop = 0;   // 0: no upper limit
    bool write_igc = false;     // an IGC file beside the KML file
    // A command-line run never replaces a file: an existing one is reported
    // "already processed" and the save fails. The window asks instead.
    bool command_line = false;
    uint32_t vario_filter = 0;  // m/s, 0 off
    bool log_filter = true;     // track speed analysis
    OptimisationSettings optimisation;
};

// The window's positions: valid time stamps inside the window, in order.
struct WindowCopy {
    std::vector<TrackPosition> positions;
    bool bad_stamps = false;  // some had no valid time
    bool filtered = false;    // the window refused some
};
WindowCopy window_copy(const std::vector<TrackPosition>& source, uint32_t start, uint32_t stop);

// "<dir>/<name>.<YYYYMMDD-hhmmss>.<CIVLID>.<COMPID>" without extension;
// placeholders "[pilot name]", "[CIVLID]", "[COMPID]" for what is missing.
// "/", "\" and control characters of the name become "_".
std::string competition_file_base(const std::string& dir, const CurrentPilot& pilot, const CalendarTime& now);
// Whether base plus ".kml" fits the system's limits on a file name and a path.
bool competition_name_fits(const std::string& base);

// The save of the positions (the whole log or the selected rows, in order)
// for pilot at now. split cuts the copy at gaps (empty: no split). 1 when
// the files were written (the log is then marked saved), 0 when nothing
// happened or the user declined, -1 after reporting a failure or, in a
// command-line run, a file that exists.
int save_competition_log(Reporter& r, TrackLog& log, const std::vector<TrackPosition>& source,
                         const CurrentPilot& pilot, const CompetitionSaveSettings& settings, const CalendarTime& now,
                         const SplitChoice& split = {});

}  // namespace orlogix
