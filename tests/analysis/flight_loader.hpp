#pragma once
// Test-only reader of the fixes of an IGC file (B records and the HFDTE
// date), so that the analysis tests do not depend on the formats library.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "core/file_read.hpp"
#include "core/records.hpp"

namespace orlogix::test {

inline int32_t degrees_to_semicircles(double degrees) {
    return static_cast<int32_t>(std::llround(degrees * 2147483648.0 / 180.0));
}

// Days from 1989-12-31 to the given date (every fourth year a leap year).
inline uint32_t days_since_epoch(int year, int month, int day) {
    static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int days = 1;  // 1990-01-01 is day 1
    for (int y = 1990; y < year; ++y) days += (y % 4 == 0) ? 366 : 365;
    days += kBefore[month - 1] + day - 1;
    if (month > 2 && year % 4 == 0) days += 1;
    return static_cast<uint32_t>(days);
}

inline std::vector<TrackPosition> parse_igc_fixes(const std::string& text) {
    std::vector<TrackPosition> out;
    std::istringstream in(text);
    std::string line;
    uint32_t day_base = 0;
    uint32_t last = 0;
    uint32_t rollover = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("HFDTE", 0) == 0) {
            std::size_t p = 5;
            while (p < line.size() && !std::isdigit(static_cast<unsigned char>(line[p]))) ++p;
            if (p + 6 <= line.size()) {
                const int dd = std::stoi(line.substr(p, 2)), mm = std::stoi(line.substr(p + 2, 2));
                const int yy = std::stoi(line.substr(p + 4, 2));
                day_base = days_since_epoch(yy < 80 ? 2000 + yy : 1900 + yy, mm, dd) * 86400u;
            }
            continue;
        }
        if (line.size() < 35 || line[0] != 'B') continue;
        const uint32_t secs = static_cast<uint32_t>(std::stoi(line.substr(1, 2)) * 3600 +
                                                    std::stoi(line.substr(3, 2)) * 60 + std::stoi(line.substr(5, 2)));
        double lat = std::stoi(line.substr(7, 2)) + std::stoi(line.substr(9, 5)) / 60000.0;
        if (line[14] == 'S') lat = -lat;
        double lon = std::stoi(line.substr(15, 3)) + std::stoi(line.substr(18, 5)) / 60000.0;
        if (line[23] == 'W') lon = -lon;
        TrackPosition p;
        uint32_t t = day_base + rollover + secs;
        if (!out.empty() && t + 43200 < last) {  // past midnight
            rollover += 86400;
            t += 86400;
        }
        last = t;
        p.time = t;
        p.latitude = degrees_to_semicircles(lat);
        p.longitude = degrees_to_semicircles(lon);
        p.baro_altitude = std::stoi(line.substr(25, 5));
        p.gps_altitude = std::stoi(line.substr(30, 5)) * 10;
        if (out.empty()) p.flags = kSegmentStart;
        out.push_back(p);
    }
    return out;
}

inline std::vector<TrackPosition> load_igc_fixes(const std::string& path) {
    std::string bytes;
    read_file(path, bytes);
    return parse_igc_fixes(bytes);
}

// The real flights of tests/data/flights, in name order.
inline constexpr const char* kFlights[] = {"d3p.igc",
                                           "fai.igc",
                                           "flat-xcontest-106.82.igc",
                                           "flat-xcontest-8.01.igc",
                                           "freeflight-xcontest-465.33.igc",
                                           "line.igc",
                                           "out-and-return-record.igc",
                                           "record_de_france.igc",
                                           "tri.igc",
                                           "trifai-xcontest-189.65.igc"};

inline std::string flight_path(const std::string& name) {
    return std::string(ORLOGIX_TEST_DATA) + "/flights/" + name;
}

}  // namespace orlogix::test
