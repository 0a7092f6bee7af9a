#pragma once
// Airspaces ("CTR"s) as read from OpenAir text: a name, floor and ceiling
// remarks and an outline of points, arcs and circles. Coordinates stay in
// degrees as the files give them, not in semicircles.
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

// Marks exactly the given view rows selected. 0, or -1 after "Program error"
// (title "CTR list action") for a row that has no CTR.
class Reporter;
int select_ctrs(Reporter& r, CtrList& list, const std::vector<std::size_t>& rows);
std::size_t selected_count(const CtrList& list);
// Removes the selected CTRs; the number removed.
std::size_t delete_selected_ctrs(CtrList& list);
// Puts the new CTRs in front of the old ones (the "keep current list" answer).
void prepend_ctrs(CtrList& list, CtrList&& fresh);

// The metres of a floor or ceiling remark: "4500ft MSL" -> 1371.6, "450m" ->
// 450, "FL 95" -> 0 (no leading digit).
double ctr_height_metres(const std::string& text);

}  // namespace orlogix
