// Contest scoring side by side with the peer igc-xc-score (Vincenty distances,
// hp=true): every flight of tests/data/flights and the generated hard cases,
// every XContest type; prints both scores, times and optimal flags, the ratio
// and the sums. The peer is installed with npm into the build folder.
//   contest_bench [--peer-seconds S] [--generated-only] [--real-only] [--no-peer] [--only NAME]
// --no-peer scores with ours alone (the peer's columns stay empty); --only
// keeps the flights whose name contains NAME.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/contest/contest_solver.hpp"
#include "core/file_read.hpp"
#include "core/geodesic_direct.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "flight_loader.hpp"

namespace {

using namespace orlogix;
namespace fs = std::filesystem;

struct Peer {
    std::string type;
    double score = 0;
    bool optimal = false;
    double ms = 0;
};

// The peer's lines for one file: {"type":...,"score":...,"optimal":...,"ms":...}.
std::vector<Peer> run_peer(const std::string& modules, const std::string& file, int seconds) {
    const std::string command = "node '" ORLOGIX_SOURCE_DIR "/bench/contest/igc_xc_score_runner.cjs' '" + modules +
                                "' XContest " + std::to_string(seconds) + " '" + file + "'";
    std::vector<Peer> out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char line[4096];
    auto field = [](const std::string& s, const char* key) {
        const std::size_t at = s.find(std::string("\"") + key + "\":");
        return at == std::string::npos ? std::string() : s.substr(at + std::strlen(key) + 3);
    };
    while (std::fgets(line, sizeof line, p)) {
        const std::string s(line);
        Peer r;
        const std::string t = field(s, "type");
        r.type = t.substr(1, t.find('"', 1) - 1);
        r.score = std::atof(field(s, "score").c_str());
        r.optimal = field(s, "optimal").rfind("true", 0) == 0;
        r.ms = std::atof(field(s, "ms").c_str());
        out.push_back(r);
    }
    pclose(p);
    return out;
}

// Positions as IGC B records (one fix per second, two to a second past 40 000 fixes).
std::string igc_text(const std::vector<LatLonDegrees>& fixes) {
    std::string text = "AXXX001 generated\r\nHFDTE091226\r\n";
    char b[64];
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        const unsigned t = 3600 + static_cast<unsigned>(fixes.size() > 40000 ? i / 2 : i);
        const double lat = std::fabs(fixes[i].latitude), lon = std::fabs(fixes[i].longitude);
        const long lat_m = std::lround((lat - std::floor(lat)) * 60000), lon_m = std::lround((lon - std::floor(lon)) * 60000);
        std::snprintf(b, sizeof b, "B%02u%02u%02u%02d%05ld%c%03d%05ld%cA0100001000\r\n", t / 3600, t / 60 % 60, t % 60,
                      static_cast<int>(lat), lat_m, fixes[i].latitude < 0 ? 'S' : 'N', static_cast<int>(lon), lon_m,
                      fixes[i].longitude < 0 ? 'W' : 'E');
        text += b;
    }
    return text;
}

LatLonDegrees offset(double lat, double lon, double east_m, double north_m) {
    return {lat + north_m / 111320.0, lon + east_m / (111320.0 * std::cos(lat * M_PI / 180.0))};
}

// The hard cases: names and fixes.
std::vector<std::pair<std::string, std::vector<LatLonDegrees>>> generated_flights() {
    std::vector<std::pair<std::string, std::vector<LatLonDegrees>>> out;
    const double lat0 = 45.5, lon0 = 6.5;
    std::mt19937 rng(5);
    std::normal_distribution<double> jitter(0.0, 15.0);
    std::vector<LatLonDegrees> f;
    for (int i = 0; i < 6000; ++i) f.push_back(offset(lat0, lon0, 10.0 * i + jitter(rng), 300.0 * std::sin(i / 200.0)));
    out.push_back({"never-closes", f});
    // Corners 25 km apart on the ellipsoid: the third where both geodesics of 25 km meet.
    f.clear();
    const GeoPosition a{lat0 * M_PI / 180, lon0 * M_PI / 180};
    const GeoPosition b = geodesic_destination(a, M_PI / 2, 25000.0);
    const GeoPosition c = geodesic_destination(a, M_PI / 2 - M_PI / 3, 25000.0);
    const GeoPosition corners[] = {a, b, c, a};
    for (int leg = 0; leg < 3; ++leg) {
        for (int i = 0; i < 1500; ++i) {
            const double s = i / 1500.0;
            f.push_back({(corners[leg].latitude + s * (corners[leg + 1].latitude - corners[leg].latitude)) * 180 / M_PI,
                         (corners[leg].longitude + s * (corners[leg + 1].longitude - corners[leg].longitude)) * 180 / M_PI});
        }
    }
    out.push_back({"equilateral", f});
    f.clear();
    for (int i = 0; i < 8000; ++i) {
        const double t = 2 * M_PI * i / 8000.0;
        f.push_back(offset(lat0, lon0, 15000.0 * std::sin(t), 8000.0 * std::sin(2 * t)));
    }
    out.push_back({"figure-of-eight", f});
    f.clear();
    for (int i = 0; i < 8000; ++i) f.push_back(offset(lat0, lon0, 8.0 * i, 2.0 * i));
    out.push_back({"straight-line", f});
    f.clear();
    std::uniform_real_distribution<double> spot(-25.0, 25.0);
    for (int i = 0; i < 5000; ++i) f.push_back(offset(lat0, lon0, spot(rng), spot(rng)));
    out.push_back({"hover-50m", f});
    // 100 000 fixes: glides between thermals, circling in each.
    f.clear();
    double x = 0, y = 0, heading = 0;
    for (int i = 0; i < 100000; ++i) {
        if ((i / 600) % 2 == 0) {
            heading += 2 * M_PI / 30;
        } else if (i % 600 == 0) {
            heading = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
        }
        x += 5.0 * std::cos(heading);
        y += 5.0 * std::sin(heading);
        f.push_back(offset(lat0, lon0, x, y));
    }
    out.push_back({"100k-fixes", f});
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int peer_seconds = 60;
    bool real = true, generated = true, peer_runs = true;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--peer-seconds") && i + 1 < argc) peer_seconds = std::atoi(argv[++i]);
        if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
        if (!std::strcmp(argv[i], "--no-peer")) peer_runs = false;
        if (!std::strcmp(argv[i], "--generated-only")) real = false;
        if (!std::strcmp(argv[i], "--real-only")) generated = false;
    }
    const std::string build = ORLOGIX_BINARY_DIR;
    const std::string install = std::string(ORLOGIX_SOURCE_DIR) + "/bench/contest/install-igc-xc-score '" + build + "'";
    if (peer_runs && std::system((install + " >/dev/null").c_str()) != 0) {
        std::fprintf(stderr, "igc-xc-score could not be installed with npm\n");
        return 1;
    }
    const std::string modules = build + "/igc-xc-score/node_modules";
    std::vector<std::pair<std::string, std::string>> files;  // name, path
    if (real) {
        for (const char* name : test::kFlights) files.push_back({name, test::flight_path(name)});
    }
    if (generated) {
        fs::create_directories(build + "/contest-generated");
        for (const auto& [name, fixes] : generated_flights()) {
            const std::string path = build + "/contest-generated/" + name + ".igc";
            write_file_atomic(path, igc_text(fixes));
            files.push_back({name + ".igc", path});
        }
    }
    const ContestRules& rules = *find_contest_rules("XContest");
    std::printf("%-28s %-21s %9s %9s %9s %9s %4s %4s %7s\n", "flight", "type", "peer", "ours", "peer ms", "ours ms",
                "p.op", "o.op", "ratio");
    double peer_total = 0, ours_total = 0, worst_flight = 0;
    int differ = 0;
    for (const auto& [name, path] : files) {
        if (name.find(only) == std::string::npos) continue;
        const std::vector<TrackPosition> fixes = test::load_igc_fixes(path);
        const auto start = std::chrono::steady_clock::now();
        ContestOptions limit;
        limit.time_limit_seconds = peer_seconds;  // the same limit per type as the peer's
        const ContestScore mine = score_contest(fixes, rules, limit);
        const double flight_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        worst_flight = std::max(worst_flight, flight_ms);
        const std::vector<Peer> peer = peer_runs ? run_peer(modules, path, peer_seconds) : std::vector<Peer>{};
        double peer_flight = 0;
        for (std::size_t k = 0; k < mine.types.size(); ++k) {
            const ContestResult& r = mine.types[k];
            const Peer p = k < peer.size() ? peer[k] : Peer{};
            const double ours = r.score / 100.0;
            const bool same = std::fabs(ours - p.score) < 0.0101;
            if (p.optimal && !same) ++differ;
            peer_flight += p.ms;
            std::printf("%-28s %-21s %9.2f %9.2f %9.0f %9.1f %4s %4s %7.1f%s\n", name.c_str(),
                        std::string(r.type->name).c_str(), p.score, ours, p.ms, r.seconds * 1000, p.optimal ? "yes" : "no",
                        r.optimal ? "yes" : "no", p.ms / std::max(0.1, r.seconds * 1000),
                        p.optimal && !same ? "  DIFFERS" : "");
        }
        std::printf("%-28s %-21s %9s %9s %9.0f %9.1f %4s %4s %7.1f\n", name.c_str(), "(all types, wall)", "", "",
                    peer_flight, flight_ms, "", "", peer_flight / std::max(0.1, flight_ms));
        peer_total += peer_flight;
        ours_total += flight_ms;
        std::fflush(stdout);
    }
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("\nsum: peer %.1f s, ours %.2f s, ratio %.1f; slowest flight of ours %.0f ms; differing where the peer "
                "proves its optimum: %d\n",
                peer_total / 1000, ours_total / 1000, peer_total / std::max(1.0, ours_total), worst_flight, differ);
    std::printf("peak memory: ours %.1f MB, peer %.1f MB; load average %.2f %.2f %.2f; peer limit %d s per type\n",
                self.ru_maxrss / 1024.0, children.ru_maxrss / 1024.0, load[0], load[1], load[2], peer_seconds);
    return differ == 0 ? 0 : 1;
}
