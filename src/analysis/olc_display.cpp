#include "analysis/olc_display.hpp"

#include "core/coord_text.hpp"
#include "core/report.hpp"
#include "core/units.hpp"

namespace orlogix {

std::string olc_heading(OlcKind kind) {
    switch (kind) {
    case OlcKind::MaxDistance: return "MAX. DISTANCE (Start point A, end point B)  (Not an OLC parameter)";
    case OlcKind::FreeDistance: return "FREE DISTANCE (Start point A, turn points B, C, D, end point E)";
    case OlcKind::OutAndReturn: return "OUT-AND-RETURN (Start point A, end point C)  (Not an OLC parameter)";
    case OlcKind::FreeTriangle: return "FREE TRIANGLE (Start point A, turn points B, C, D, end point E)";
    case OlcKind::FaiTriangle: return "FAI TRIANGLE (Start point A, turn points B, C, D, end point E)";
    }
    return {};
}

std::vector<std::string> olc_score_lines(const std::vector<TrackPosition>& positions, const OlcScore& score,
                                         OlcKind kind) {
    std::vector<std::string> lines;
    if (!score.found) return lines;
    const std::size_t count = kind == OlcKind::MaxDistance ? 2 : kind == OlcKind::OutAndReturn ? 3 : 5;
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t at = score.index[i];
        if (at >= positions.size()) return {};
        const TrackPosition& p = positions[at];
        const uint32_t s = p.time % 86400;
        const SemicirclePair c = semicircles_to_centi_arcsec(p.latitude, p.longitude);
        lines.push_back(strformat("%c  %u  %02u:%02u:%02u  %s  %s", static_cast<char>('A' + i), at + 1, s / 3600,
                                  s / 60 % 60, s % 60, format_dms(c.latitude, Axis::Latitude).c_str(),
                                  format_dms(c.longitude, Axis::Longitude).c_str()));
    }
    const bool triangle = kind == OlcKind::FreeTriangle || kind == OlcKind::FaiTriangle;
    if (triangle) {
        lines.push_back(strformat("BC %.2f  CD %.2f  DB %.2f", score.legs[0] * 0.001, score.legs[1] * 0.001,
                                  score.legs[2] * 0.001));
        const double sides = score.legs[0] + score.legs[1] + score.legs[2];
        lines.push_back(strformat("DE= %.2f  %.2f %%", score.legs[3] * 0.001, sides > 0 ? score.legs[3] / sides * 100 : 0.0));
    } else if (kind == OlcKind::OutAndReturn) {
        lines.push_back(strformat("AB %.2f  BC %.2f", score.legs[0] * 0.001, score.legs[1] * 0.001));
    } else {
        std::string legs;
        for (std::size_t i = 0; i + 1 < count; ++i)
            legs += strformat("%s%c%c %.2f", i ? "  " : "", static_cast<char>('A' + i), static_cast<char>('B' + i),
                              score.legs[i] * 0.001);
        lines.push_back(legs);
    }
    lines.push_back(strformat("%.2f km", score.total * 0.001));
    if (kind == OlcKind::FreeDistance || triangle) lines.push_back(strformat("%.2f points", score.points));
    return lines;
}

}  // namespace orlogix
