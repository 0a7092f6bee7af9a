// Waypoint files exchanged with an independent program (gpsbabel), when it is
// installed: its reading of our OziExplorer, SeeYou and WinPilot files, and
// our reading of its files, must give the same points. The Geographical, UTM
// and MapSource waypoint forms have no independent reader here.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "formats/commands/waypoint_file.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "support/peer_programs.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;
using test::RecordingReporter;

constexpr uint32_t kNow = 700000000;

double degrees(int32_t semicircles) { return semicircles * 180.0 / 2147483648.0; }

struct BabelPoint {
    double lat = 0, lon = 0, alt = 0;
    std::string name, description;
};

class BabelDir {
public:
    BabelDir() : path_(fs::temp_directory_path() / ("orlogix_wpt_babel_" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~BabelDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::vector<std::string> csv_fields(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> out(1);
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// gpsbabel's reading of a file, through its neutral CSV output.
std::vector<BabelPoint> babel_read(const BabelDir& dir, const std::string& format, const std::string& path) {
    const std::string csv = dir.file("out.csv");
    const std::string cmd = "gpsbabel -i " + format + " -f '" + path + "' -o unicsv,utc=0 -F '" + csv + "' 2>/dev/null";
    std::vector<BabelPoint> points;
    if (std::system(cmd.c_str()) != 0) return points;
    std::string text;
    read_file(csv, text);
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    std::map<std::string, std::size_t> column;
    const std::vector<std::string> head = csv_fields(line);
    for (std::size_t i = 0; i < head.size(); ++i) column[head[i]] = i;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = csv_fields(line);
        auto get = [&](const char* name) {
            const auto it = column.find(name);
            return it != column.end() && it->second < f.size() ? f[it->second] : std::string();
        };
        BabelPoint p;
        p.lat = std::atof(get("Latitude").c_str());
        p.lon = std::atof(get("Longitude").c_str());
        p.alt = std::atof(get("Altitude").c_str());
        p.name = get("Name");
        p.description = get("Description");
        points.push_back(p);
    }
    return points;
}

std::vector<Waypoint> sample() {
    std::vector<Waypoint> out;
    const struct {
        const char* id;
        const char* comment;
        double lat, lon;
        int height;
    } rows[] = {{"TAKEOF", "Take off North", 45.0, -11.25, 1234},
                {"LZ-2", "Landing field", -33.527617, 134.11045, 7},
                {"W3", "", 0.5, 179.5, 0},
                {"HIGH", "Summit", -0.25, -0.125, 4810}};
    for (const auto& row : rows) {
        Waypoint w;
        w.identifier = row.id;
        w.comment = row.comment;
        w.latitude = static_cast<int32_t>(std::lround(row.lat / 180.0 * 2147483648.0));
        w.longitude = static_cast<int32_t>(std::lround(row.lon / 180.0 * 2147483648.0));
        w.height = row.height;
        w.time = 668149567;
        out.push_back(w);
    }
    return out;
}

struct Format {
    const char* babel;
    const char* extension;
    const FileFormat* type;
    double degrees;  // precision of the format
    double metres;
};

const Format kFormats[] = {{"ozi", ".wpt", &file_format(FormatKind::Waypoint, "ozi"), 1e-6, 0.5},
                           {"cup", ".cup", &file_format(FormatKind::Waypoint, "seeyou"), 1e-5, 0.5},
                           {"cambridge", ".dat", &file_format(FormatKind::Waypoint, "winpilot"), 1e-5, 0.5}};

TEST(WaypointGpsbabel, ReadsOurFiles) {
    if (!test::peer_available("gpsbabel")) return;
    BabelDir dir;
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.babel);
        const std::string path = dir.file(std::string("ours") + f.extension);
        RecordingReporter r;
        ASSERT_EQ(write_waypoint_file(r, path, *f.type, sample()), 0);
        const std::vector<BabelPoint> got = babel_read(dir, f.babel, path);
        ASSERT_EQ(got.size(), sample().size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(got[i].lat, degrees(sample()[i].latitude), f.degrees);
            EXPECT_NEAR(got[i].lon, degrees(sample()[i].longitude), f.degrees);
            EXPECT_NEAR(got[i].alt, sample()[i].height, f.metres);
            EXPECT_EQ(got[i].name, sample()[i].identifier);
        }
    }
}

TEST(WaypointGpsbabel, WeReadItsFiles) {
    if (!test::peer_available("gpsbabel")) return;
    BabelDir dir;
    // The source points as gpsbabel's own neutral CSV input.
    std::string csv = "Latitude,Longitude,Name,Altitude,Description\n";
    for (const Waypoint& w : sample())
        csv += strformat("%.7f,%.7f,%s,%d,%s\n", degrees(w.latitude), degrees(w.longitude), w.identifier.c_str(),
                         w.height, w.comment.empty() ? w.identifier.c_str() : w.comment.c_str());
    ASSERT_EQ(write_file_atomic(dir.file("in.csv"), csv), 0);
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.babel);
        const std::string path = dir.file(std::string("theirs") + f.extension);
        const std::string cmd = "gpsbabel -i unicsv -f '" + dir.file("in.csv") + "' -o " + f.babel + " -F '" + path +
                                "' 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        RecordingReporter r;
        std::vector<Waypoint> got;
        ASSERT_EQ(read_waypoint_file(r, path, false, got), static_cast<int>(sample().size())) << r.last_error().text;
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(degrees(got[i].latitude), degrees(sample()[i].latitude), f.degrees);
            EXPECT_NEAR(degrees(got[i].longitude), degrees(sample()[i].longitude), f.degrees);
            EXPECT_NEAR(got[i].height, sample()[i].height, 1);
            // WinPilot lines are numbered; the name travels as the comment there.
            if (f.type == &file_format(FormatKind::Waypoint, "winpilot")) {
                EXPECT_EQ(got[i].comment, sample()[i].identifier);
            } else {
                EXPECT_EQ(got[i].identifier, sample()[i].identifier);
            }
        }
    }
}

}  // namespace
}  // namespace orlogix
