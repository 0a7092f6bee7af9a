#pragma once
// The KML trip folder: flight statistics in the description, one placemark per
// distance optimisation result and the track with its FsInfo block (fix times,
// pressure altitudes and the signature). Callers wrap the folder into a
// logbook or Google Earth document (kml_logbook.hpp).
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/flight_records.hpp"
#include "core/records.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc/writer.hpp"

namespace orlogix {

// The statistics the folder prints, as the flight statistics record holds
// them, with the distance optimisation results.
struct TripStatistics {
    bool times_in_utc = false;
    bool baro_present = false;      // write the PressureAltitude list
    uint32_t start_time = 0;
    uint32_t end_time = 0;
    uint32_t duration = 0;          // seconds
    int32_t max_height = 0;         // whole metres
    int32_t min_height = 0;
    double max_mean_speed = 0.0;    // km/h
    double top_speed = 0.0;         // km/h
    double max_climb = 0.0;         // m/s over 60 s
    double min_climb = 0.0;
    double total_distance = 0.0;    // metres
    int64_t download_time = -1;     // time stamp, -1 for none
    bool download_flag = false;     // downloaded in this run: the track is signed
    bool pilot_ids = false;
    int32_t comp_pilot_id = -1;     // negative: none
    int32_t civl_pilot_id = -1;
    OptimisationResults results;
};

struct TripTexts {
    std::string_view description;               // log description (UTF-8), may be empty
    std::optional<std::string_view> instrument;  // absent: "unknown"
    int program_version = kProgramVersionHundredths;
    uint32_t max_gap = 800;                      // the loop searches' allowable gap, metres
};

inline constexpr int kTripNoMemory = -1;
inline constexpr int kTripBadDescription = -2;  // the description is not valid UTF-8
inline constexpr int kTripNoPositions = -3;

// Appends the folder to out. When any fix has no valid time, every time in
// positions is replaced by its index x 5 and stats.times_in_utc is cleared.
// Results whose indices fall outside positions are left out. 0, or one of the
// negative codes above (after kTripNoMemory the buffer is released).
int write_trip_folder(TextBuffer& out, std::vector<TrackPosition>& positions, TripStatistics& stats,
                      const TripTexts& texts);

// The writer's view of the analysis's statistics record: the download-time
// flag signs the track and dates it, pilot IDs that are not whole numbers
// count as absent.
TripStatistics trip_statistics(const FlightStatistics& record);
// The folder for the record's own positions (renumbered in place, and the
// record's times_in_utc cleared, when a fix has no valid time).
int write_trip_folder(TextBuffer& out, FlightStatistics& record, const TripTexts& texts);

// "%.6f,%.6f,%d": longitude and latitude in degrees, GPS altitude in metres
// ((decimetres + 5) / 10, truncated toward zero).
std::string kml_coordinate(const TrackPosition& p);

// The instrument text as the FsInfo block carries it: cut to 79 bytes (on a
// character boundary), whitespace runs made one blank, XML-escaped.
std::string kml_instrument_attribute(std::optional<std::string_view> instrument);

}  // namespace orlogix
