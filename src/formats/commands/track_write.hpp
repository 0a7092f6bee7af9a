#pragma once
// "Save log &As...": the positions in one of the save types, written whole
// and renamed into place.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "formats/format_table.hpp"

namespace orlogix {

class Reporter;

// The whole file in a format: the positions in its layout, or for the
// formats of a raw log (TopNavigator) that log unchanged ("No TopNav log downloaded" when there
// is none). now is the time written into files that carry one. 0, or -1
// after reporting.
int track_file_bytes(Reporter& r, const FileFormat& format, const std::vector<TrackPosition>& positions,
                     const RawTopNavLog& topnav, uint32_t now, std::string& out);

// track_file_bytes, then one atomic write (the system's text titled "File
// write error" when it fails). The number of positions written (for a raw
// log its byte count), or -1 after reporting.
int write_track_file(Reporter& r, const std::string& path, const FileFormat& format,
                     const std::vector<TrackPosition>& positions, const RawTopNavLog& topnav = {});

// The steps after the save dialog: the extension for a type filter, "File
// already exists, overwrite ?" (title "File creation") unless overwrite is
// set, the write, the status line "<name>: %d positions written", the notice
// "File written" (not under remote control) and the saved flag. The count
// written, 0 when the user declined, -1 after reporting. path gets the
// completed name.
int save_track_log(Reporter& r, std::string& path, int filter, const std::vector<TrackPosition>& positions,
                   TrackLogHeader& header, const RawTopNavLog& topnav, bool remote_control, bool overwrite = false);

}  // namespace orlogix
