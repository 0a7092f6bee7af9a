#pragma once
// Every file format the program reads or writes, one row each: what the
// dialogs offer, which reader and writer run, how a file is recognised by
// its content and what it can carry. The dialogs, the command line, the
// simulator's data loader and the fuzz target all read this table, so a new
// format is one row here and its codec files.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "core/ctr_records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kReadTrackTitle = "Read track log";
inline constexpr const char* kSaveTrackTitle = "Save track log";

enum class FormatKind { Track, Waypoint, Airspace };

// What every file of a format holds (a bit set). Formats that may hold
// barometric heights only sometimes (CSV, KML) say so per file instead.
enum FormatCarries : unsigned {
    kCarriesTimes = 1u << 0,
    kCarriesUtcTimes = 1u << 1,     // times known to be UTC whatever the header says
    kCarriesAltitudes = 1u << 2,
    kCarriesBaroHeights = 1u << 3,
    kCarriesSignature = 1u << 4,    // a security record or signature the reader checks
    kCarriesRawLog = 1u << 5,       // the instrument's own log, written back unchanged
};

// What a track reader delivers. Only the KML reader can set signature_valid
// and times_in_utc; IGC files always carry barometric altitudes.
struct TrackFileRead {
    std::vector<TrackPosition> positions;
    bool signature_valid = false;
    bool times_in_utc = false;
    bool baro_present = false;
    bool has_raw_igc = false;  // an IGC file: its bytes are kept as the raw IGC log
    RawIgcLog raw_igc;
};

// What a track writer is given: the positions, and the raw log for the
// formats that write the instrument's own bytes.
struct TrackWriteSource {
    const std::vector<TrackPosition>& positions;
    const RawTopNavLog& topnav;
};

// Readers answer the count read (0: a well-formed file without any), or -1
// after reporting. Writers answer 0, or -1 after reporting.
using TrackReader = int (*)(Reporter& r, std::string_view bytes, bool silent, TrackFileRead& out);
using TrackWriter = int (*)(Reporter& r, const TrackWriteSource& in, uint32_t now, std::string& out);
using WaypointReader = int (*)(Reporter& r, std::string_view bytes, bool interactive, uint32_t now,
                               std::vector<Waypoint>& out);
using WaypointWriter = std::string (*)(const std::vector<Waypoint>& waypoints, uint32_t now);
using AirspaceReader = int (*)(Reporter& r, std::string_view bytes, CtrList& out);
using AirspaceWriter = std::string (*)(const CtrList& list, uint32_t now);
// Whether bytes are of this format; only formats told apart by content
// (waypoint files) need one.
using ContentTest = bool (*)(std::string_view bytes);

struct FileFormat {
    FormatKind kind = FormatKind::Track;
    const char* id = "";         // short and stable: the simulator, the fuzz target and the usage name it
    const char* extension = "";  // lower case, with its dot
    // The name in the open and the save dialog's filters ("%s files (*%s)");
    // null where the dialog does not offer the format.
    const char* read_label = nullptr;
    const char* save_label = nullptr;
    int read_position = 0;       // 1-based place among the open dialog's filters; 0: not there
    int save_position = 0;       // the same for the save dialog
    unsigned carries = 0;        // FormatCarries
    ContentTest recognise = nullptr;
    TrackReader read_track = nullptr;
    TrackWriter write_track = nullptr;
    WaypointReader read_waypoints = nullptr;
    WaypointWriter write_waypoints = nullptr;
    AirspaceReader read_airspace = nullptr;
    AirspaceWriter write_airspace = nullptr;
    // Text read as a C string would be: up to the first NUL byte.
    bool ends_at_nul = false;

    bool readable() const { return read_track || read_waypoints || read_airspace; }
    bool writable() const { return write_track || write_waypoints || write_airspace; }
};

std::span<const FileFormat> file_formats();

// The row of a kind with this id; an unknown id is a programming error
// (std::out_of_range).
const FileFormat& file_format(FormatKind kind, std::string_view id);

// The formats a dialog offers, in the dialog's order.
std::vector<const FileFormat*> dialog_formats(FormatKind kind, bool save);

// The format a 1-based filter stands for, where the filter list is the
// dialog's formats followed by the same again with "*.*": filter n and
// n + count name format n; anything out of range counts as the first.
const FileFormat& format_for_filter(FormatKind kind, bool save, int filter);

// Appends the extension of a format's filter (not of the "*.*" ones) to a
// name without one; beyond 256 characters "Too long file name" titled "Error
// opening file". 0 or -1.
int complete_for_filter(Reporter& r, std::string& path, FormatKind kind, bool save, int filter);

// "<label> files (*<extension>)": the format's filter in the open or the save dialog.
std::string format_filter(const FileFormat& format, bool save);

// format_filter for each of the dialog's formats, then,
// with per_format_any, "<label> files (*.*)" for each.
std::vector<std::string> dialog_filters(FormatKind kind, bool save, bool per_format_any);

// The format a path's extension names among the dialog's formats (any
// case): the preferred one when its extension matches (several waypoint
// formats share ".wpt"), else the first that does; null for none. With
// save false the whole kind counts, not only what the dialog shows.
const FileFormat* format_named_by_extension(FormatKind kind, bool save, std::string_view path,
                                            const FileFormat* preferred = nullptr);

// The first waypoint format (in table order) whose content test accepts the
// bytes: the last row, WinPilot's free text, takes any text but XML of a
// kind no row reads. Null when none does.
const FileFormat* recognise_waypoint_format(std::string_view bytes);

// The part of the bytes a reader of the format gets.
std::string_view reader_input(const FileFormat& format, std::string_view bytes);

// One line per readable or writable format for the usage text and the
// README: "  igc      .igc  track     read, write  IGC".
std::string format_list_text();

}  // namespace orlogix
