#pragma once
// The window-free steps of the CTR menu and of the command line's CTR
// upload: reading a file into the current list, the Edit/New CTR dialog's
// OK, showing a CTR as waypoints. Dialogs and the list view stay with the
// user interface; these take what the user entered and report through the
// Reporter.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/records.hpp"
#include "core/ctr_records.hpp"
#include "formats/airspace/openair_reader.hpp"

namespace orlogix {

class Reporter;

// "Read CTR(s) from file" after the file dialog: reads and parses path;
// with at least one CTR shows "%d CTRs read", asks "Keep current CTR list ?"
// (title "Read CTR file") when the current list is not empty (Yes puts the
// new CTRs in front, No replaces the list), then runs the equal-name check.
// The number read, or -1 (current untouched).
int read_ctr_file_into_list(Reporter& r, const std::string& path, CtrList& current, const CtrNotice& notice = {});

// The command line's WR_CTR: the whole file, every CTR marked selected for
// the upload job. The count (0 for a file without airspaces), or -1.
int read_ctr_file_for_upload(Reporter& r, const std::string& path, CtrList& out);

// "Edit CTR" on opening: the index of the first selected CTR, or -1 after
// "No CTR in list" / "No CTR selected" (title "Edit CTR").
int ctr_to_edit(Reporter& r, const CtrList& list);

// The Edit/New CTR dialog's OK. index: the CTR being edited, or nullopt for
// "New CTR" (the result goes to the front). Checks "Missing warning
// distance input", "Bad warning distance format", "Missing text" (title
// "Edit CTR"), then parses the text (reader errors; the dialog stays open).
// The first airspace of the text takes the CTR's place with the entered
// warning distance. 0, or -1 with the list unchanged.
int apply_ctr_edit(Reporter& r, CtrList& list, std::optional<std::size_t> index, std::string_view warning_distance,
                   std::string_view text);

// "Show CTR as waypoints": the first selected CTR's outline replaces the
// waypoint list and, as the window's command always did, the track log.
// The number of points, or -1 after "No CTR selected" (title "Show CTR").
int show_ctr_as_waypoints(Reporter& r, const CtrList& list, WaypointList& waypoints, TrackLog& track_log,
                          uint32_t now);

}  // namespace orlogix
