#pragma once
// Plain records of a flight's analysis: the optimisation results (position
// indices into the analysed array, ellipsoidal lengths in metres; zeros mean
// "not found / not run") and the flight statistics record that carries them.
// Analysis fills them; writers such as the KML trip folder only read them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "core/time.hpp"

namespace orlogix {

// Free distance over 2..5 points (the count is the slot it is stored in).
struct PathResult {
    std::array<uint32_t, 5> index{};
    std::array<double, 4> legs{};
    double total = 0.0;
};

struct OutAndReturnResult {
    uint32_t start = 0, turn = 0, end = 0;
    double leg = 0.0;    // start - turn
    double gap = 0.0;    // start - end
    double score = 0.0;  // 2 x leg - gap
};

struct TriangleResult {
    uint32_t start = 0, tp1 = 0, tp2 = 0, tp3 = 0, end = 0;
    std::array<double, 3> sides{};  // TP1-TP2, TP2-TP3, TP3-TP1
    double gap = 0.0;               // start - end
    double score = 0.0;             // sides - gap
};

struct OptimisationResults {
    PathResult two, three, four, five;
    OutAndReturnResult out_and_return;
    TriangleResult flat, fai;
};

struct FlightStatistics {
    std::vector<TrackPosition> positions;  // the selection copy, after the filters
    uint32_t first_time = 0;
    uint32_t last_time = 0;
    uint32_t duration = 0;          // seconds
    int32_t has_download_time = 0;  // 1 when the log came from an instrument
    CalendarTime download_time;     // present time then
    int32_t has_pilot_ids = 0;      // filled only by competition mode
    std::string competition_id;
    std::string civl_id;
    uint32_t times_in_utc = 0;
    uint32_t baro_present = 0;
    int32_t lowest_altitude = 0;    // GPS, whole metres
    int32_t highest_altitude = 0;
    double top_speed = 0.0;         // km/h, 10 s mean
    double best_mean_speed = 0.0;   // km/h, 60 s mean
    double total_distance = 0.0;    // metres
    double average_speed = 0.0;     // km/h
    double lowest_climb = 0.0;      // m/s, 60 s mean
    double highest_climb = 0.0;
    OptimisationResults results;
};

}  // namespace orlogix
