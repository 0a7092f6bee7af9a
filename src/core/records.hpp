#pragma once
// The records every protocol, reader and writer exchanges: track positions,
// the track log with its header, waypoints and the waypoint list, and the
// raw logs that outlive a track log replacement.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/time.hpp"

namespace orlogix {

class Reporter;

inline constexpr uint32_t kSegmentStart = 1;  // bit 0 of TrackPosition::flags

// One fix. The seven 32-bit fields keep the layout of every download and file.
struct TrackPosition {
    uint32_t flags = 0;          // bit 0: segment start
    uint32_t time = 0;           // time stamp
    int32_t latitude = 0;        // semicircles
    int32_t longitude = 0;       // semicircles
    int32_t gps_altitude = 0;    // decimetres above sea level
    int32_t baro_altitude = 0;   // whole metres (pressure altitude)
    uint32_t depth = 0;          // raw IEEE float bits (Garmin D301/D302), ENL source for IGC
};
static_assert(sizeof(TrackPosition) == 28);

// GPS altitude in decimetres to whole metres: (h+5)/10, or -((5-h)/10) below zero.
int32_t gps_altitude_metres(int32_t decimetres);
// How a source rounds float metres to the stored decimetres. Each source
// keeps its own rule so that its files read as they always did.
enum class DecimetreRounding {
    HalfAwayFromZero,   // 0.25 m -> 3, -0.25 m -> -3
    HalfUp,             // floor(x + 0.5): -0.25 m -> -2, -0.375 m -> -4
    AddHalfTruncated,   // x + 0.5 toward zero: -0.375 m -> -3
    Truncated,          // toward zero
    // Toward zero after 1e-6 dm away from it, so that a text value a hair
    // below a decimetre (0.29999999) does not lose it.
    TruncatedTolerant,
};
// Metres to decimetres by the rule. False, and out untouched, when the value
// is not a number or its decimetres do not fit the 32-bit field.
bool metres_to_decimetres(double metres, DecimetreRounding rule, int32_t& out);

enum class InstrumentFamily : int32_t {
    File = 0, Garmin = 1, Mlr = 2, TopNavigator = 3, LogIt = 4, FlytecIq = 5, Graviter = 6,
    Magellan = 7, Flymaster = 8, Dsx = 9, Mtk = 10, IqBasic = 11,
};

inline constexpr std::size_t kProductNameMax = 16;
inline constexpr std::size_t kDescriptionMax = 80;
inline constexpr std::size_t kDeviceIdentityMax = 50;

struct TrackLogHeader {
    InstrumentFamily instrument_family = InstrumentFamily::File;
    // The five values below are cleared together for waypoint-made logs.
    uint32_t track_log_source = 0;   // 1: downloaded by a job (own G-record allowed)
    uint32_t times_in_utc = 0;
    uint32_t saved = 0;
    uint32_t baro_present = 0;
    int32_t source_protocol_type = 0;
    std::string product_name;            // at most 16 characters
    std::string instrument_description;  // at most 80 characters
    std::string device_identity;         // at most 50 characters
    CalendarTime download_time;          // UTC

    void clear_flags() { track_log_source = times_in_utc = saved = baro_present = 0; source_protocol_type = 0; }
};

struct TrackLog {
    TrackLogHeader header;
    std::vector<TrackPosition> positions;
};

// The last IGC file an instrument delivered, kept for saving as it came.
struct RawIgcLog {
    std::string bytes;
    uint32_t first_fix_time = 0;
    std::string serial = "000";   // three characters used in IGC file names
    std::string maker = "";       // manufacturer code of the file, where known
    void clear() { bytes.clear(); first_fix_time = 0; }
    bool empty() const { return bytes.empty(); }
};

struct RawTopNavLog {
    std::string bytes;
    void clear() { bytes.clear(); }
    bool empty() const { return bytes.empty(); }
};

inline constexpr std::size_t kIdentifierMax = 6;
inline constexpr std::size_t kCommentMax = 40;

struct Waypoint {
    int32_t latitude = 0;    // semicircles
    int32_t longitude = 0;   // semicircles
    int32_t height = 0;      // whole metres
    std::string identifier;  // at most 6 characters: A-Z, 0-9, "-"
    std::string comment;     // at most 40 characters
    uint32_t time = 0;       // time stamp
    int32_t airfield = 0;    // 0 "Point", 1 "Airfield"
};

// The waypoint array with the program's growth rule: room for 50 on the
// first insertion, doubling whenever the count reaches the capacity.
class WaypointList {
public:
    std::size_t size() const { return items_.size(); }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return items_.empty(); }
    Waypoint& operator[](std::size_t i) { return items_[i]; }
    const Waypoint& operator[](std::size_t i) const { return items_[i]; }
    const std::vector<Waypoint>& items() const { return items_; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    void append(const Waypoint& w);
    // A loader that replaces the whole list: count and capacity = its size.
    void replace(std::vector<Waypoint> all);
    void clear() { items_.clear(); capacity_ = 0; }
    void erase(std::size_t index) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index)); }

private:
    std::vector<Waypoint> items_;
    std::size_t capacity_ = 0;
};

// Appends, or overwrites a waypoint with the same identifier after asking
// "Waypoint %s already exists, overwrite ?". 0 or -1.
int insert_waypoint(Reporter& r, WaypointList& list, const Waypoint& w);

// One position per waypoint at start, start+5, ...; segment start on the
// first; the five header flag values cleared.
void track_log_from_waypoints(TrackLog& log, const std::vector<Waypoint>& waypoints, uint32_t start_time);

// Naming modes for uploads: 0 plain, 1 "(Only Name)", 2 "(ID+Name)", 3 "(Only ID)".
enum class UploadNaming { Plain = 0, OnlyName = 1, IdAndName = 2, OnlyId = 3 };
std::vector<Waypoint> copy_selected_waypoints(const WaypointList& list, const std::vector<std::size_t>& rows,
                                              UploadNaming mode);

// The split-log choice: may reduce the copy; returns false when the user cancelled.
using SplitChoice = std::function<bool(std::vector<TrackPosition>& positions)>;
// A private copy of the whole log, passed through the split choice. Empty: cancelled.
std::vector<TrackPosition> copy_all_positions(const TrackLog& log, const SplitChoice& split);
// The selected rows in list order, passed through the split choice. Empty: cancelled.
std::vector<TrackPosition> copy_selected_positions(const TrackLog& log, const std::vector<std::size_t>& rows,
                                                   const SplitChoice& split);

// 1-based index of the first position whose time is below the largest seen
// before it, or 0 when none goes backwards.
std::size_t first_backwards_time(const std::vector<TrackPosition>& positions);

}  // namespace orlogix
