#pragma once
// Airspaces ("CTR"s): a name, floor and ceiling remarks and an outline of
// points, arcs and circles. Coordinates stay in degrees as the OpenAir files
// give them, not in semicircles. Plain records: the current data hold one
// CTR list, jobs carry one to and from an instrument, the airspace formats
// read and write them.
#include <cstdint>
#include <string>
#include <vector>

#include "core/units.hpp"

namespace orlogix {

inline constexpr std::size_t kCtrTextMax = 50;   // name, floor and ceiling
inline constexpr int kDefaultWarningDistance = 200;   // metres

enum class CtrSegmentKind : int {
    Point = 0,        // DP
    ArcByEnds = 1,    // DB
    ArcByAngles = 2,  // DA
    Circle = 3,       // DC
};

struct CtrSegment {
    CtrSegmentKind kind = CtrSegmentKind::Point;
    LatLonDegrees centre;           // the point itself for Point
    LatLonDegrees first, second;    // ArcByEnds
    uint32_t radius = 0;            // metres: ArcByAngles, Circle
    double start_bearing = 0.0;     // degrees clockwise from north: ArcByAngles
    double end_bearing = 0.0;
    char direction = '+';           // '+' clockwise, '-' counter-clockwise
};

struct Ctr {
    std::string name;      // at most 50 characters
    std::string ceiling;   // free text, at most 50 characters ("FL 95")
    std::string floor;     // free text, at most 50 characters
    int line = 0;          // line of the AN record in the text it came from
    bool selected = false;
    int warning_distance = kDefaultWarningDistance;
    std::vector<CtrSegment> segments;
};

// In display order: row i of the CTR view is element i.
using CtrList = std::vector<Ctr>;

}  // namespace orlogix
