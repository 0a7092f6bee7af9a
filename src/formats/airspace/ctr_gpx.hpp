#pragma once
// CTR outlines as GPX 1.1 tracks: one track per selected CTR, the ceiling as
// the elevation and the floor as the Garmin depth of every point.
#include <cstdint>
#include <string>

#include "core/records.hpp"
#include "core/ctr_records.hpp"
#include "formats/igc/writer.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kCtrGpxTitle = "Save CTR(s) in .gpx file";

// The document for the selected CTRs. A CTR whose outline cannot be made
// is left out. Names are XML-escaped (bytes that are not UTF-8 are taken as
// Latin-1). When outline is given it receives the last CTR's points.
std::string ctr_gpx_text(const CtrList& list, uint32_t now, std::vector<Waypoint>* outline = nullptr,
                         int program_version = kProgramVersionHundredths);

// Writes the selected CTRs as GPX in one step and shows "<path> written".
// When track_log is given it is replaced by the outline of the last CTR, as
// the window's command does. 0, or -1 after "No CTR(s) selected", "Memory
// allocation error" or "File write error".
int write_ctr_gpx_file(Reporter& r, const std::string& path, const CtrList& list, TrackLog* track_log = nullptr);

}  // namespace orlogix
