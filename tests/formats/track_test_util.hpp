#pragma once
// Helpers of the track file tests: real flights as positions, point-by-point
// comparison within a format's precision, and gpsbabel as an independent
// reader (its output read back through our GPX reader).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/file_read.hpp"
#include "core/records.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/igc/reader.hpp"
#include "kml_test_util.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix::test {

inline std::vector<TrackPosition> igc_flight(const std::string& name) {
    IgcParsed parsed;
    IgcParseError err;
    EXPECT_GT(parse_igc(data_file("flights/" + name), parsed, err), 0) << err.text;
    return parsed.positions;
}

// One semicircle step of a format: 1e-6 degree is about 12 semicircles.
inline constexpr int32_t kMicroDegree = 12;
// 1/1000 minute (IGC, Magellan) is about 199 semicircles.
inline constexpr int32_t kMilliMinute = 199;

struct Tolerance {
    int32_t angle = kMicroDegree;   // semicircles
    int32_t altitude = 0;           // decimetres; negative: not compared
    int64_t time = 0;               // seconds; negative: not compared
};

inline void expect_same_points(const std::vector<TrackPosition>& want, const std::vector<TrackPosition>& got,
                               const Tolerance& tol) {
    ASSERT_EQ(want.size(), got.size());
    int reported = 0;
    for (std::size_t i = 0; i < want.size() && reported < 5; ++i) {
        const TrackPosition& a = want[i];
        const TrackPosition& b = got[i];
        const bool ok = std::abs(int64_t{a.latitude} - b.latitude) <= tol.angle &&
                        std::abs(int64_t{a.longitude} - b.longitude) <= tol.angle &&
                        (tol.altitude < 0 || std::abs(int64_t{a.gps_altitude} - b.gps_altitude) <= tol.altitude) &&
                        (tol.time < 0 || std::abs(int64_t{a.time} - int64_t{b.time}) <= tol.time);
        if (!ok) {
            ++reported;
            ADD_FAILURE() << "point " << i << ": want " << a.time << " " << a.latitude << " " << a.longitude << " "
                          << a.gps_altitude << ", got " << b.time << " " << b.latitude << " " << b.longitude << " "
                          << b.gps_altitude;
        }
    }
}

// gpsbabel reads `input` in its format `format` (with `filters`, e.g. a
// transform) and writes GPX, which our GPX reader takes back. The count of
// points, or -1.
inline int gpsbabel_points(const std::string& format, const std::string& input, const std::string& filters,
                           const std::string& gpx_path, std::vector<TrackPosition>& out) {
    std::string ignored;
    const std::string command = "gpsbabel -t -i " + format + " -f '" + input + "' " + filters + " -o gpx -F '" +
                                gpx_path + "' 2>&1";
    if (run_command(command, ignored) != 0) {
        ADD_FAILURE() << command << ": " << ignored;
        return -1;
    }
    std::string gpx;
    if (read_file(gpx_path, gpx) != 0) return -1;
    RecordingReporter r;
    const int n = read_gpx_track(r, gpx, out);
    if (n <= 0) ADD_FAILURE() << "GPX of gpsbabel not read: " << r.last_error().text;
    return n;
}

}  // namespace orlogix::test
