// Files from our IGC writer read by an independent reader (gpsbabel), when it
// is installed: the same fixes, times and date must come out.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/igc/reader.hpp"
#include "formats/igc/writer.hpp"
#include "support/file_bytes.hpp"
#include "support/peer_programs.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

struct Row {
    double lat = 0, lon = 0, alt = 0;
    std::string date, time;
};

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) {
        if (!field.empty() && field.back() == '\r') field.pop_back();
        out.push_back(field);
    }
    return out;
}

// Runs gpsbabel over the IGC text; the rows of all tracks in order.
std::vector<Row> babel_rows(const std::string& igc_text) {
    const fs::path dir = fs::temp_directory_path() / ("orlogix_babel_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string in = (dir / "in.igc").string();
    const std::string out = (dir / "out.csv").string();
    std::ofstream(in, std::ios::binary) << igc_text;
    const std::string cmd = "gpsbabel -t -i igc -f '" + in + "' -o unicsv,utc=0 -F '" + out + "' 2>/dev/null";
    std::vector<Row> rows;
    if (std::system(cmd.c_str()) == 0) {
        std::istringstream csv(test::file_bytes(out));
        std::string line;
        std::getline(csv, line);
        const std::vector<std::string> head = split(line);
        auto col = [&](const std::string& name) {
            for (std::size_t i = 0; i < head.size(); ++i)
                if (head[i] == name) return static_cast<int>(i);
            return -1;
        };
        const int lat = col("Latitude"), lon = col("Longitude"), alt = col("Altitude"), date = col("Date"),
                  time = col("Time");
        EXPECT_TRUE(lat >= 0 && lon >= 0 && alt >= 0 && date >= 0 && time >= 0) << line;
        while (lat >= 0 && lon >= 0 && alt >= 0 && date >= 0 && time >= 0 && std::getline(csv, line)) {
            const std::vector<std::string> f = split(line);
            if (f.size() < head.size()) continue;
            rows.push_back({std::atof(f[static_cast<std::size_t>(lat)].c_str()),
                            std::atof(f[static_cast<std::size_t>(lon)].c_str()),
                            std::atof(f[static_cast<std::size_t>(alt)].c_str()), f[static_cast<std::size_t>(date)],
                            f[static_cast<std::size_t>(time)]});
        }
    }
    fs::remove_all(dir);
    return rows;
}

// The degrees the B-record holds for a semicircle value.
double igc_degrees(int32_t semicircles) {
    return semicircles_to_milliminutes(semicircles, 0).latitude / 60000.0;
}

void expect_same_fixes(const std::vector<TrackPosition>& track, const std::string& text) {
    const std::vector<Row> rows = babel_rows(text);
    // One track with the pressure altitudes, one with the GNSS altitudes.
    ASSERT_EQ(rows.size(), 2 * track.size());
    for (std::size_t pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < track.size(); ++i) {
            const Row& row = rows[pass * track.size() + i];
            const TrackPosition& p = track[i];
            ASSERT_NEAR(row.lat, igc_degrees(p.latitude), 1e-6) << i;
            ASSERT_NEAR(row.lon, igc_degrees(p.longitude), 1e-6) << i;
            const CalendarTime c = calendar_from_time(p.time);
            char date[32], time[32];
            std::snprintf(date, sizeof date, "%04d/%02d/%02d", c.year, c.month, c.day);
            std::snprintf(time, sizeof time, "%02d:%02d:%02d", c.hour, c.minute, c.second);
            ASSERT_EQ(row.date, date) << i;
            ASSERT_EQ(row.time, time) << i;
        }
    }
    // Which of the two tracks comes first is the reader's choice.
    const double first_alt = rows.front().alt;
    const bool baro_first = std::fabs(first_alt - track.front().baro_altitude) < 0.5;
    for (std::size_t i = 0; i < track.size(); ++i) {
        const double baro = rows[(baro_first ? 0 : track.size()) + i].alt;
        const double gnss = rows[(baro_first ? track.size() : 0) + i].alt;
        ASSERT_NEAR(baro, track[i].baro_altitude, 0.01) << i;
        ASSERT_NEAR(gnss, (track[i].gps_altitude + 5) / 10, 0.01) << i;
    }
}

std::string encode(const std::vector<TrackPosition>& track) {
    IgcEncodeOptions options;
    options.source = 1;
    options.fr_serial = "T01";
    options.instrument_description = "test";
    options.download_time = CalendarTime{2024, 3, 1, 8, 0, 0, 0};
    std::string text;
    bool g_possible = false;
    EXPECT_GT(encode_igc(track, {}, options, text, g_possible), 0);
    return text;
}

TEST(IgcGpsbabel, SouthWestFixesAcrossMidnight) {
    if (!test::peer_available("gpsbabel")) return;
    std::vector<TrackPosition> track;
    const uint32_t start = time_from_calendar(2024, 2, 29, 23, 58, 0);
    for (int i = 0; i < 60; ++i) {
        TrackPosition p;
        p.time = start + static_cast<uint32_t>(i) * 7;
        p.latitude = -400000000 + i * 12345;    // about 33.5 degrees south
        p.longitude = -850000000 - i * 23456;   // about 71 degrees west
        p.gps_altitude = 10000 + i * 37;
        p.baro_altitude = 990 + i * 3;
        track.push_back(p);
    }
    expect_same_fixes(track, encode(track));
}

TEST(IgcGpsbabel, RealFlightWrittenAgain) {
    if (!test::peer_available("gpsbabel")) return;
    IgcParsed parsed;
    IgcParseError err;
    ASSERT_GT(parse_igc(test::data_bytes("flights/tri.igc"), parsed, err), 0) << err.text;
    expect_same_fixes(parsed.positions, encode(parsed.positions));
}

}  // namespace
}  // namespace orlogix
