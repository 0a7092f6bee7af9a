// The statistics of the real flights and the whole IGC-to-KML conversion must
// stay the same to the last digit whatever is done to make them faster: both
// are compared with output of the plain-loop code kept in tests/data/analysis
// (see the README there for how it was written).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "analysis/flight_statistics.hpp"
#include "analysis/optimise.hpp"
#include "analysis/track_filters.hpp"
#include "core/report.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "flight_loader.hpp"
#include "support/subprocess.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The two flights whose converted files are kept whole.
const char* const kConverted[] = {"d3p", "flat-xcontest-8.01"};

std::string golden_path(const std::string& name) { return std::string(ORLOGIX_TEST_DATA) + "/analysis/" + name; }

// Set to write the golden files from the code as it is (the test then fails,
// so that a run that writes can never pass for a check).
bool writing_golden() { return std::getenv("ORLOGIX_WRITE_GOLDEN") != nullptr; }

using Fields = std::vector<std::pair<std::string, std::string>>;

class FieldList {
public:
    explicit FieldList(Fields& out) : out_(out) {}
    void put(const std::string& name, double v) { out_.emplace_back(name, strformat("%.17g", v)); }
    void put(const std::string& name, long long v) { out_.emplace_back(name, std::to_string(v)); }
    void put(const std::string& name, uint32_t v) { put(name, static_cast<long long>(v)); }
    void put(const std::string& name, int32_t v) { put(name, static_cast<long long>(v)); }

private:
    Fields& out_;
};

void statistics_fields(FieldList& f, const std::string& prefix, const FlightStatistics& s) {
    f.put(prefix + "positions", static_cast<long long>(s.positions.size()));
    f.put(prefix + "first_time", s.first_time);
    f.put(prefix + "last_time", s.last_time);
    f.put(prefix + "duration", s.duration);
    f.put(prefix + "lowest_altitude", s.lowest_altitude);
    f.put(prefix + "highest_altitude", s.highest_altitude);
    f.put(prefix + "top_speed", s.top_speed);
    f.put(prefix + "best_mean_speed", s.best_mean_speed);
    f.put(prefix + "total_distance", s.total_distance);
    f.put(prefix + "average_speed", s.average_speed);
    f.put(prefix + "lowest_climb", s.lowest_climb);
    f.put(prefix + "highest_climb", s.highest_climb);
}

void result_fields(FieldList& f, const OptimisationResults& r) {
    const std::pair<const char*, const PathResult*> paths[] = {
        {"two", &r.two}, {"three", &r.three}, {"four", &r.four}, {"five", &r.five}};
    for (const auto& [name, p] : paths) {
        const std::string n = name;
        for (std::size_t i = 0; i < p->index.size(); ++i) f.put(n + ".index" + std::to_string(i), p->index[i]);
        for (std::size_t i = 0; i < p->legs.size(); ++i) f.put(n + ".leg" + std::to_string(i), p->legs[i]);
        f.put(n + ".total", p->total);
    }
    const OutAndReturnResult& o = r.out_and_return;
    f.put("oar.start", o.start);
    f.put("oar.turn", o.turn);
    f.put("oar.end", o.end);
    f.put("oar.leg", o.leg);
    f.put("oar.gap", o.gap);
    f.put("oar.score", o.score);
    const std::pair<const char*, const TriangleResult*> triangles[] = {{"flat", &r.flat}, {"fai", &r.fai}};
    for (const auto& [name, t] : triangles) {
        const std::string n = name;
        f.put(n + ".start", t->start);
        f.put(n + ".tp1", t->tp1);
        f.put(n + ".tp2", t->tp2);
        f.put(n + ".tp3", t->tp3);
        f.put(n + ".end", t->end);
        for (std::size_t i = 0; i < t->sides.size(); ++i) f.put(n + ".side" + std::to_string(i), t->sides[i]);
        f.put(n + ".gap", t->gap);
        f.put(n + ".score", t->score);
    }
}

// The conversion's analysis (statistics and optimisation with the default
// gap), then the statistics dialog's: the speed analysis before the statistics.
Fields flight_fields(const std::string& name) {
    Fields out;
    FieldList f(out);
    FlightStatistics s;
    s.positions = test::load_igc_fixes(test::flight_path(name));
    compute_statistics(s);
    statistics_fields(f, "", s);
    EXPECT_EQ(optimise_track(s.positions, OptimisationSettings{}, s.results), 0) << name;
    result_fields(f, s.results);

    FlightStatistics filtered;
    filtered.positions = s.positions;
    f.put("speed_threshold", speed_threshold(filtered.positions));
    f.put("speed_analysis", static_cast<long long>(speed_analysis(filtered.positions)));
    compute_statistics(filtered);
    statistics_fields(f, "filtered.", filtered);
    return out;
}

// "flight<TAB>field<TAB>value" lines.
std::vector<std::vector<std::string>> golden_lines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::vector<std::string> cols;
        std::size_t c = at;
        while (true) {
            const std::size_t tab = text.find('\t', c);
            if (tab == std::string::npos || tab > end) {
                cols.push_back(text.substr(c, end - c));
                break;
            }
            cols.push_back(text.substr(c, tab - c));
            c = tab + 1;
        }
        if (!(cols.size() == 1 && cols[0].empty())) lines.push_back(std::move(cols));
        at = end + 1;
    }
    return lines;
}

TEST(ConversionGolden, StatisticsOfEveryFlightAreUnchanged) {
    const std::string path = golden_path("flight_statistics.tsv");
    if (writing_golden()) {
        std::string text;
        for (const char* flight : test::kFlights)
            for (const auto& [field, value] : flight_fields(flight)) text += std::string(flight) + "\t" + field + "\t" + value + "\n";
        ASSERT_EQ(write_file_atomic(path, text), 0);
        FAIL() << "golden statistics written to " << path;
    }
    std::string text;
    ASSERT_EQ(read_file(path, text), 0) << path;
    const auto lines = golden_lines(text);
    std::size_t next = 0;
    for (const char* flight : test::kFlights) {
        for (const auto& [field, value] : flight_fields(flight)) {
            ASSERT_LT(next, lines.size()) << flight << " " << field << " is missing from the golden file";
            const auto& g = lines[next++];
            ASSERT_EQ(g.size(), 3u) << "golden line " << next;
            ASSERT_EQ(g[0], flight) << "golden line " << next;
            ASSERT_EQ(g[1], field) << flight;
            EXPECT_EQ(value, g[2]) << flight << " " << field;
        }
    }
    EXPECT_EQ(next, lines.size()) << "the golden file has more fields than the record";
}

// The real program converts a copy of the flight, as a user would.
std::string converted(const fs::path& dir, const std::string& flight, std::string& error) {
    const fs::path igc = dir / (flight + ".igc");
    fs::copy_file(test::flight_path(flight + ".igc"), igc, fs::copy_options::overwrite_existing);
    test::Subprocess p;
    EXPECT_EQ(p.start(test::built_program("ORLOGIX_BIN", "orlogix"), {"/IGC2KML=" + igc.string(), "/OVERWRITE"}), 0);
    std::string line;
    while (p.read_line(line, 60s)) {
    }
    EXPECT_EQ(p.wait(60s), 0) << p.error_output();
    error = p.error_output();
    std::string kml;
    EXPECT_EQ(read_file((dir / (flight + ".kml")).string(), kml), 0) << flight;
    return kml;
}

// The program's version in the metadata tags is left out of the comparison,
// so that a new version does not call for new golden files.
std::string without_version(std::string text) {
    const std::string tag = "src=\"Orlogix\" v=\"";
    for (std::size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + tag.size())) {
        const std::size_t end = text.find('"', at + tag.size());
        if (end == std::string::npos) break;
        text.erase(at + tag.size(), end - at - tag.size());
    }
    return text;
}

// Where two texts first differ, for the failure message.
std::size_t first_difference(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i;
}

TEST(ConversionGolden, IgcToKmlFilesAreUnchanged) {
    const fs::path dir = fs::temp_directory_path() / ("orlogix_golden_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* flight : kConverted) {
        std::string error;
        const std::string kml = without_version(converted(dir, flight, error));
        EXPECT_EQ(error, "") << flight;
        const std::string path = golden_path(std::string(flight) + ".kml");
        if (writing_golden()) {
            ASSERT_EQ(write_file_atomic(path, kml), 0);
            continue;
        }
        std::string golden;
        ASSERT_EQ(read_file(path, golden), 0) << path;
        ASSERT_GT(golden.size(), 10000u);
        EXPECT_TRUE(kml == golden) << flight << ".kml differs from " << path << " first at byte "
                                   << first_difference(kml, golden);
    }
    fs::remove_all(dir);
    if (writing_golden()) FAIL() << "golden KML files written";
}

}  // namespace
}  // namespace orlogix
