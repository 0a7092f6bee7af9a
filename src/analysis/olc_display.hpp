#pragma once
// The text lines the OLC dialog lists for each result: per point the
// position number, time and coordinates, then the legs and the total.
#include <string>
#include <vector>

#include "analysis/olc_search.hpp"

namespace orlogix {

enum class OlcKind { MaxDistance, FreeDistance, OutAndReturn, FreeTriangle, FaiTriangle };

std::string olc_heading(OlcKind kind);
// Empty when the result was not found.
std::vector<std::string> olc_score_lines(const std::vector<TrackPosition>& positions, const OlcScore& score,
                                         OlcKind kind);

}  // namespace orlogix
