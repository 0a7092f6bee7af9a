#pragma once
// The computation of the flight statistics record (core/flight_records.hpp):
// times, heights, speeds, distance and climb rates; also the text forms the
// statistics dialog and clipboard show.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/optimisation_results.hpp"
#include "core/flight_records.hpp"
#include "core/records.hpp"
#include "core/units.hpp"

namespace orlogix {

class Reporter;

struct SpeedClimb {
    double speed = 0.0;  // km/h
    double climb = 0.0;  // m/s
};

// Mean speed and climb over the 60 s that end at position n (always divided by 60 s).
SpeedClimb mean_speed_climb_60s(const std::vector<TrackPosition>& positions, std::size_t n);
// Mean speed over the 10 s that end at position n.
double top_speed_10s(const std::vector<TrackPosition>& positions, std::size_t n);

// The same walks over stored distances: each leg a walk can take (from the
// last earlier position with another time to a position) is measured once, so
// a whole track costs one distance per position instead of one per leg walked.
// The results equal the functions above to the last bit. Keeps a reference to
// positions, which must outlive it unchanged.
class TrackLegs {
public:
    explicit TrackLegs(const std::vector<TrackPosition>& positions);
    SpeedClimb mean_speed_climb_60s(std::size_t n) const;
    double top_speed_10s(std::size_t n) const;
    // The distance from position j - 1 to position j (j >= 1).
    double step(std::size_t j) const { return step_[j]; }

    // What a walk back over a window of seconds gathers.
    struct Walk {
        double distance = 0.0;
        double start_height = 0.0;  // decimetres
    };

private:
    Walk walk(std::size_t n, double window) const;

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    const std::vector<TrackPosition>& positions_;
    std::vector<double> length_;   // [j]: the leg that ends at j
    std::vector<double> step_;
    std::vector<double> seconds_;  // [j]: the leg's time, as the walk counts it
    std::vector<std::size_t> start_;
    std::vector<uint8_t> blocked_;  // [j]: a segment start lies strictly between start_[j] and j
};

// Times, flags and download time from the log header, then the statistics.
void fill_statistics(FlightStatistics& s, const TrackLogHeader& header, const CalendarTime& now);
// Times, heights, speeds, distance and climbs over s.positions.
void compute_statistics(FlightStatistics& s);

// The dialog's field texts.
struct StatisticsTexts {
    std::string date, start, finish, duration, highest, lowest, best_mean_speed, top_speed, total_distance;
};
StatisticsTexts statistics_texts(const FlightStatistics& s);

// The seven result lines of the optimisation, "%.2f" km each: 2, 3, 4, 5 points,
// out-and-return, triangle, FAI triangle.
std::vector<std::string> result_texts(const OptimisationResults& r);

// One line per position: date, time, latitude, longitude, GPS height, 60 s speed; CR LF ends.
std::string clipboard_text(const std::vector<TrackPosition>& positions);

// Moves every position onto the base line from start to end (start to 0/0,
// end on the equator). 0, or -1 when a result cannot be stored (positions unchanged).
int rotate_positions(std::vector<TrackPosition>& positions, const GeoPosition& start, const GeoPosition& end);
// Installs rotated positions in the track log: protocol type 0, no description.
void install_rotated(TrackLog& log, std::vector<TrackPosition> rotated);
// The "Rotate Track" command after its dialog: checks the log and the
// selection copy (asking on a single position), rotates and installs it.
// 0 when the log was changed, -1 otherwise (reported, caption "Rotate track log").
int rotate_track(Reporter& r, TrackLog& log, std::vector<TrackPosition> selection, const GeoPosition& start,
                 const GeoPosition& end);

}  // namespace orlogix
