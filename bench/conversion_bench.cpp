// The whole IGC-to-KML conversion of every real flight, side by side with
// gpsbabel's plain igc-to-kml conversion of the same file: both programs are
// started as processes, in turns, several times; the table shows the median
// wall times, their ratio and the median CPU times (user + system, all
// threads). A second table splits our conversion into its steps, run in
// process on the same code, to show what dominates.
//
//   conversion_bench [--repetitions N] [--steps] [--orlogix PATH] [--gpsbabel PATH]
//
// Exits non-zero when a conversion fails.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/flight_statistics.hpp"
#include "analysis/optimise.hpp"
#include "core/report.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc/reader.hpp"
#include "flight_loader.hpp"
#include "formats/commands/kml_google_earth.hpp"

extern char** environ;

namespace {

using namespace orlogix;
namespace fs = std::filesystem;

struct Timing {
    double wall_ms = 0;
    double cpu_ms = 0;
    int status = -1;  // exit code, -1 when the program could not run or was killed
};

// Runs the program with standard input and output on /dev/null.
Timing run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    Timing t;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &files, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (rc != 0) return t;
    int status = 0;
    struct rusage use {};
    if (wait4(pid, &status, 0, &use) != pid) return t;
    t.wall_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    t.cpu_ms = (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e3 + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e3;
    t.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string load_text() {
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    char text[80];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

double now_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The conversion's steps in process, the way the command line runs them.
struct Steps {
    double read = 0, parse = 0, statistics = 0, optimise = 0, text = 0, write = 0;
};

bool time_steps(const std::string& igc, const std::string& kml, Steps& s) {
    SilentReporter quiet;
    double t = now_ms();
    auto lap = [&t](double& into) {
        const double n = now_ms();
        into = n - t;
        t = n;
    };
    std::string bytes;
    if (read_file(igc, bytes) != 0) return false;
    lap(s.read);
    IgcParsed parsed;
    IgcParseError err;
    if (parse_igc(bytes, parsed, err) < 0) return false;
    lap(s.parse);
    FlightStatistics done;
    done.positions = parsed.positions;
    compute_statistics(done);
    lap(s.statistics);
    if (optimise_track(done.positions, OptimisationSettings{}, done.results) != 0) return false;
    lap(s.optimise);
    // The analysis has been timed; the document takes its results.
    const TripAnalysis analysed = [&done](FlightStatistics& r) {
        std::vector<TrackPosition> keep = std::move(r.positions);
        r = done;
        r.positions = std::move(keep);
        return 0;
    };
    GoogleEarthOptions o;
    o.baro_present = true;
    std::string document;
    if (build_google_earth_document(quiet, parsed.positions, o, analysed, document) != 0) return false;
    lap(s.text);
    if (write_file_atomic(kml, document) != 0) return false;
    lap(s.write);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = 7;
    bool steps = false;
    std::string orlogix = std::string(ORLOGIX_BINARY_DIR) + "/orlogix";
    std::string gpsbabel = "/usr/bin/gpsbabel";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--repetitions" && i + 1 < argc) repetitions = std::max(1, std::atoi(argv[++i]));
        else if (a == "--steps") steps = true;
        else if (a == "--orlogix" && i + 1 < argc) orlogix = argv[++i];
        else if (a == "--gpsbabel" && i + 1 < argc) gpsbabel = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--repetitions N] [--steps] [--orlogix PATH] [--gpsbabel PATH]\n", argv[0]);
            return 2;
        }
    }
    const fs::path dir = fs::temp_directory_path() / ("orlogix_conversion_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string load_before = load_text();
    const Timing start_only = run({orlogix, "/IGC2KML=" + (dir / "none.igc").string()});  // fails: no such file

    std::printf("| flight | fixes | ours ms | gpsbabel ms | ratio | ours CPU ms | gpsbabel CPU ms |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    bool failed = false;
    double worst_ratio = 0, longest_ms = 0;
    std::size_t longest_fixes = 0;
    struct StepRow {
        std::string flight;
        Steps median;
    };
    std::vector<StepRow> step_rows;
    for (const char* flight : test::kFlights) {
        const fs::path igc = dir / flight;
        fs::copy_file(fs::path(ORLOGIX_TEST_DATA) / "flights" / flight, igc, fs::copy_options::overwrite_existing);
        std::string bytes;
        IgcParsed parsed;
        IgcParseError err;
        const int fixes = read_file(igc.string(), bytes) == 0 ? parse_igc(bytes, parsed, err) : -1;
        const std::vector<std::string> ours{orlogix, "/IGC2KML=" + igc.string(), "/OVERWRITE"};
        const std::vector<std::string> theirs{gpsbabel, "-i", "igc", "-f", igc.string(), "-o", "kml", "-F",
                                              (dir / "gpsbabel.kml").string()};
        // One run each first, so that both find the file and themselves in the page cache.
        bool ok = run(ours).status == 0 && run(theirs).status == 0;
        std::vector<double> our_wall, our_cpu, their_wall, their_cpu;
        for (int r = 0; r < repetitions && ok; ++r) {
            // In turns, and which goes first alternates, so that a change of load hits both alike.
            for (int side = 0; side < 2; ++side) {
                const bool mine = (side == 0) == (r % 2 == 0);
                const Timing t = run(mine ? ours : theirs);
                ok = ok && t.status == 0;
                (mine ? our_wall : their_wall).push_back(t.wall_ms);
                (mine ? our_cpu : their_cpu).push_back(t.cpu_ms);
            }
        }
        if (!ok || fixes < 0) {
            std::printf("| %s | %d | failed | | | | |\n", flight, fixes);
            failed = true;
            continue;
        }
        const double a = median(our_wall), b = median(their_wall);
        std::printf("| %s | %d | %.1f | %.1f | %.3f | %.1f | %.1f |\n", flight, fixes, a, b, a / b, median(our_cpu),
                    median(their_cpu));
        worst_ratio = std::max(worst_ratio, a / b);
        if (static_cast<std::size_t>(fixes) > longest_fixes) {
            longest_fixes = static_cast<std::size_t>(fixes);
            longest_ms = a;
        }
        if (steps) {
            std::vector<Steps> runs(static_cast<std::size_t>(repetitions));
            for (Steps& s : runs) failed = !time_steps(igc.string(), (dir / "steps.kml").string(), s) || failed;
            auto med = [&runs](double Steps::*field) {
                std::vector<double> v;
                for (const Steps& s : runs) v.push_back(s.*field);
                return median(v);
            };
            step_rows.push_back({flight, {med(&Steps::read), med(&Steps::parse), med(&Steps::statistics),
                                          med(&Steps::optimise), med(&Steps::text), med(&Steps::write)}});
        }
    }
    std::printf("\nStart of orlogix alone (a missing file): %.1f ms wall, %.1f ms CPU\n", start_only.wall_ms,
                start_only.cpu_ms);
    std::printf("Worst ratio %.3f (target at most 0.200); longest flight %zu fixes in %.1f ms (target under 200)\n",
                worst_ratio, longest_fixes, longest_ms);
    std::printf("%d repetitions each, medians; load average before %s, after %s (%u cores)\n", repetitions,
                load_before.c_str(), load_text().c_str(), static_cast<unsigned>(sysconf(_SC_NPROCESSORS_ONLN)));
    if (steps) {
        std::printf("\nSteps in process, wall ms (medians):\n\n");
        std::printf("| flight | read | parse | statistics | optimisation | KML text | write |\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
        for (const StepRow& r : step_rows)
            std::printf("| %s | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f |\n", r.flight.c_str(), r.median.read,
                        r.median.parse, r.median.statistics, r.median.optimise, r.median.text, r.median.write);
    }
    fs::remove_all(dir);
    return failed ? 1 : 0;
}
