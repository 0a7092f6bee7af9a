#include "analysis/contest/contest_report.hpp"

#include <cstdio>

#include "core/time.hpp"
#include "core/units.hpp"

namespace orlogix {
namespace {

std::string clock_text(uint32_t time) {
    const CalendarTime c = calendar_from_time(time);
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", c.hour, c.minute, c.second);
    return text;
}

std::string gap_text(const ContestResult& r) {
    if (r.optimal) return "optimal";
    char text[64];
    const double gap = r.bound > 0 ? 100.0 * static_cast<double>(r.bound - r.score) / static_cast<double>(r.bound) : 0.0;
    std::snprintf(text, sizeof text, "within %.2f %% (bound %s)", gap, hundredths_text(r.bound).c_str());
    return text;
}

std::string coordinates(const TrackPosition& p) {
    const LatLonDegrees d = semicircles_to_degrees(p.latitude, p.longitude);
    char text[64];
    std::snprintf(text, sizeof text, "[%.6f,%.6f]", d.longitude, d.latitude);
    return text;
}

std::string point_feature(const TrackPosition& p, const std::string& id, uint32_t index) {
    return "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":" + coordinates(p) +
           "},\"properties\":{\"id\":\"" + id + "\",\"r\":" + std::to_string(index) +
           ",\"timestamp\":" + std::to_string((static_cast<int64_t>(p.time) + kUnixToEpochSeconds) * 1000) + "}}";
}

std::string line_feature(const TrackPosition& a, const TrackPosition& b, const std::string& id) {
    return "{\"type\":\"Feature\",\"geometry\":{\"type\":\"LineString\",\"coordinates\":[" + coordinates(a) + "," +
           coordinates(b) + "]},\"properties\":{\"id\":\"" + id + "\"}}";
}

}  // namespace

std::string contest_progress(const ContestRules& rules, int types_done) {
    return "Contest score (" + std::string(rules.name) + "): " + std::to_string(types_done) + " of " +
           std::to_string(rules.types.size()) + " types scored";
}

std::vector<uint32_t> contest_flight_points(const ContestResult& r) {
    std::vector<uint32_t> p{r.start, r.turnpoints[0], r.turnpoints[1]};
    if (r.type->shape != ContestShape::OutAndReturn) p.push_back(r.turnpoints[2]);
    p.push_back(r.finish);
    return p;
}

std::vector<uint32_t> contest_leg_path(const ContestResult& r) {
    const std::vector<uint32_t> p = contest_flight_points(r);
    if (r.type->shape == ContestShape::FreeDistance) return p;
    std::vector<uint32_t> path(p.begin() + 1, p.end() - 1);
    path.push_back(path.front());
    return path;
}

std::vector<std::string> contest_lines(const ContestScore& score, const std::vector<TrackPosition>& positions) {
    std::vector<std::string> lines;
    for (const ContestResult& r : score.types) {
        std::string line(r.type->name);
        if (!r.found) {
            lines.push_back(line + ": none, " + gap_text(r));
            continue;
        }
        char head[96];
        std::snprintf(head, sizeof head, ": %s km x %d.%02d = %s points, turnpoints", hundredths_text(r.distance).c_str(),
                      r.type->multiplier_percent / 100, r.type->multiplier_percent % 100, hundredths_text(r.score).c_str());
        line += head;
        const int count = r.type->shape == ContestShape::OutAndReturn ? 2 : 3;
        for (int k = 0; k < count; ++k) line += " " + clock_text(positions[r.turnpoints[k]].time);
        if (r.type->shape != ContestShape::FreeDistance) line += ", closing " + hundredths_text(r.closing) + " km";
        lines.push_back(line + ", " + gap_text(r));
    }
    if (score.best < 0) {
        lines.push_back("Best: none");
    } else {
        const ContestResult& b = score.types[score.best];
        lines.push_back("Best: " + std::string(b.type->name) + ", " + hundredths_text(b.score) + " points");
    }
    return lines;
}

std::string contest_summary(const ContestScore& score) {
    const std::string rules(score.rules ? score.rules->name : "");
    if (score.halted) return "halted (" + rules + ")";
    if (score.best < 0) return "none (" + rules + ")";
    const ContestResult& b = score.types[score.best];
    std::string gap = gap_text(b);
    if (!b.optimal) gap = gap.substr(0, gap.find(" (bound"));
    return std::string(b.type->name) + ", " + hundredths_text(b.score) + " points (" + rules + ", " + gap + ")";
}

std::string contest_geojson(const ContestScore& score, const std::vector<TrackPosition>& positions) {
    std::string features;
    std::string properties = "\"rules\":\"" + std::string(score.rules ? score.rules->name : "") + "\"";
    if (score.best >= 0) {
        const ContestResult& r = score.types[score.best];
        const bool closed = r.type->shape != ContestShape::FreeDistance;
        const std::vector<uint32_t> p = contest_flight_points(r);
        std::vector<std::string> parts;
        parts.push_back(point_feature(positions[p.front()], closed ? "cp_in" : "start", p.front()));
        for (std::size_t k = 1; k + 1 < p.size(); ++k) {
            parts.push_back(point_feature(positions[p[k]], "tp" + std::to_string(k - 1), p[k]));
        }
        parts.push_back(point_feature(positions[p.back()], closed ? "cp_out" : "finish", p.back()));
        const std::vector<uint32_t> path = contest_leg_path(r);
        for (std::size_t k = 0; k + 1 < path.size(); ++k) {
            parts.push_back(line_feature(positions[path[k]], positions[path[k + 1]], "seg" + std::to_string(k)));
        }
        if (closed) parts.push_back(line_feature(positions[p.front()], positions[p.back()], "closing"));
        for (std::size_t k = 0; k < parts.size(); ++k) features += (k ? "," : "") + parts[k];
        properties += ",\"type\":\"" + std::string(r.type->name) + "\",\"code\":\"" + std::string(r.type->code) +
                      "\",\"distance\":" + hundredths_text(r.distance) + ",\"score\":" + hundredths_text(r.score) +
                      ",\"optimal\":" + (r.optimal ? "true" : "false") + ",\"bound\":" + hundredths_text(r.bound);
    }
    return "{\"type\":\"FeatureCollection\",\"properties\":{" + properties + "},\"features\":[" + features + "]}\n";
}

}  // namespace orlogix
