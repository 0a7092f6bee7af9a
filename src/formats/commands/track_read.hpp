#pragma once
// "Read track log file": one reader per track type, chosen by the type, over
// the file's bytes; and the file itself read with the command's messages.
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "formats/format_table.hpp"

namespace orlogix {

class Reporter;

// Runs the format's reader. The count of positions (0 for a well-formed file
// without any), or -1 after the reader reported (out then empty). KML files
// with several tracks let the user pick one unless silent.
int read_track_bytes(Reporter& r, const FileFormat& format, std::string_view bytes, TrackFileRead& out,
                     bool silent = false);

// The whole file, then read_track_bytes. Read failures show the system text
// titled "Error opening file", "Error opening track log file" (its size) or
// "Track log file read error"; an empty file "File is empty" titled
// "Read track log". The count, or -1 after reporting.
int read_track_file(Reporter& r, const std::string& path, const FileFormat& format, TrackFileRead& out);

// The same with the format chosen by the path's extension (LOGFILE of the
// command line): a path without one gives "Missing track log file
// extension", another extension "Unsupported track log file extension",
// both titled "Parsing command line".
int read_track_file(Reporter& r, const std::string& path, TrackFileRead& out);

}  // namespace orlogix
