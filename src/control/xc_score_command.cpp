#include "control/xc_score_command.hpp"

#include <cerrno>

#include "analysis/contest/contest_report.hpp"
#include "control/output_file.hpp"
#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc/reader.hpp"

namespace orlogix {

const ContestRules& contest_rules_named(std::string_view name) {
    const ContestRules* rules = find_contest_rules(name);
    return rules != nullptr ? *rules : contest_rule_sets()[0];
}

FlightNote contest_flight_note(const ContestRules& rules, double time_limit_seconds) {
    return [&rules, time_limit_seconds](const std::vector<TrackPosition>& positions) {
        ContestOptions options;
        options.time_limit_seconds = time_limit_seconds;
        return contest_summary(score_contest(positions, rules, options));
    };
}

int report_xc_score(Reporter& r, const CommandLine& c, const std::vector<TrackPosition>& positions, std::FILE* out) {
    const ContestRules& rules = contest_rules_named(c.xc_rules);
    ContestOptions options;
    options.time_limit_seconds = c.timeout;
    const ContestScore score = score_contest(positions, rules, options);
    std::fprintf(out, "Rules: %s\n", std::string(rules.name).c_str());
    for (const std::string& line : contest_lines(score, positions)) std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
    if (c.xc_out.empty()) return 0;
    switch (decide_output_file(r, c.xc_out, c.overwrite, c.window_mode == WindowMode::Hidden)) {
        case OutputDecision::Declined: return 0;
        case OutputDecision::Fail: return -1;
        case OutputDecision::Write: break;
    }
    if (write_file_atomic(c.xc_out, contest_geojson(score, positions)) != 0) {
        path_error_box(r, "Error opening file", "Cannot write the file", c.xc_out, errno);
        return -1;
    }
    return 0;
}

int run_xc_score(Reporter& r, const CommandLine& c, std::FILE* out) {
    std::string bytes;
    if (read_file(c.file_name, bytes) != 0) {
        path_error_box(r, kIgcReadTitle, "Cannot open the file", c.file_name, errno);
        return -1;
    }
    std::vector<TrackPosition> positions;
    RawIgcLog raw;
    if (read_igc_track(r, bytes, positions, raw) < 0) return -1;
    return report_xc_score(r, c, positions, out);
}

}  // namespace orlogix
