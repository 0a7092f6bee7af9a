#pragma once
// The texts of a contest score: one line per flight type and the best, and
// the best flight as a GeoJSON FeatureCollection (turn points, closing or
// start and finish points and legs as features; the result's rules, type,
// code, distance, score, optimal and bound as top-level properties).
#include <string>
#include <vector>

#include "analysis/contest/contest_solver.hpp"
#include "core/records.hpp"

namespace orlogix {

// "FAI triangle: 121.93 km x 1.40 = 166.21 points, turnpoints 10:02:11 11:40:05
// 13:01:59, closing 3.21 km, optimal" (or "within 0.52 % (bound 167.08)"),
// "Free flight: none" where no flight of the type exists, and last
// "Best: FAI triangle, 166.21 points" (or "Best: none").
std::vector<std::string> contest_lines(const ContestScore& score, const std::vector<TrackPosition>& positions);

// The best flight in one line: "Closed FAI triangle, 189.95 points (XContest,
// optimal)", "(XContest, within 0.52 %)", "none (XContest)", or "halted (XContest)".
std::string contest_summary(const ContestScore& score);

// How far a scoring has got: "Contest score (XContest): 2 of 5 types scored".
std::string contest_progress(const ContestRules& rules, int types_done);

// The fixes of a result in flight order: the start (or the closing pair's
// first fix), the turn points, the finish (or the closing pair's second).
std::vector<uint32_t> contest_flight_points(const ContestResult& r);
// The legs that count, as a path of fixes: from the start over the turn points
// to the finish, or round the turn points and back to the first.
std::vector<uint32_t> contest_leg_path(const ContestResult& r);

// The best flight of the score ("{...}" with an empty feature list when none).
std::string contest_geojson(const ContestScore& score, const std::vector<TrackPosition>& positions);

}  // namespace orlogix
