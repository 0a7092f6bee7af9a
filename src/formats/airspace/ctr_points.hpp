#pragma once
// An airspace outline as a sequence of points: arcs and circles expanded
// in steps of at most 10 degrees along true ground distances from their
// centres, points closer than 100 m to the previous one dropped, the outline
// closed.
#include <cstdint>
#include <vector>

#include "core/records.hpp"
#include "core/ctr_records.hpp"

namespace orlogix {

// The outline as waypoints named "C" + two letters for ctr_index + three
// letters for the point's index, time stamp now, height 0, no comment.
// The number of points, or -1 when the CTR has no segments or a position
// outside the globe. Pure: the caller decides whether the outline also
// becomes the track log (track_log_from_waypoints), and only the main
// thread may do that.
int ctr_to_points(const Ctr& ctr, int ctr_index, uint32_t now, std::vector<Waypoint>& out);

// The same outline in degrees, before the conversion to waypoints.
int ctr_outline(const Ctr& ctr, std::vector<LatLonDegrees>& out);
// One segment's points as drawn, before close points are dropped: a point
// itself, a circle's 37 points, an arc's steps from its start to its end.
void ctr_segment_points(const CtrSegment& segment, std::vector<LatLonDegrees>& out);

}  // namespace orlogix
