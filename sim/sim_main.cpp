// orlogix-sim: a simulated instrument on a pseudo-terminal. Prints the device
// path first, then serves the family's protocol until SIGINT or SIGTERM;
// uploads the family reports are printed as lines on standard output.
#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/report.hpp"
#include "sim/data_files.hpp"
#include "sim/family_registry.hpp"
#include "sim/pty.hpp"
#include "sim/runner.hpp"

namespace {

using namespace orlogix;
using namespace orlogix::sim;

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

// No one to ask here: texts go to standard error, questions get the refusing answer.
class StderrReporter : public Reporter {
public:
    void error_box(std::string_view title, std::string_view text) override { print(title, text); }
    void notice_box(std::string_view title, std::string_view text) override { print(title, text); }
    void warning_box(std::string_view title, std::string_view text) override { print(title, text); }
    int question_box(std::string_view title, std::string_view text) override {
        print(title, text);
        return kBoxCancel;
    }
    int yes_no_box(std::string_view title, std::string_view text) override {
        print(title, text);
        return kBoxNo;
    }
    void status(std::string_view) override {}
    void product(std::string_view) override {}

private:
    static void print(std::string_view title, std::string_view text) {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
    }
};

struct Arguments {
    std::string family;
    FamilyOptions options;
    FaultSettings faults;
    Pacing pacing = Pacing::Off;
    std::vector<std::string> command;   // after "--", for a family that hosts a program
};

void usage(const FamilyRegistry& registry, std::FILE* to = stderr) {
    std::fprintf(to,
                 "usage: orlogix-sim --family NAME [--track FILE]... [--waypoints FILE] [--set key=value]...\n"
                 "                   [--silent] [--corrupt N] [--drop N] [--cut-after N] [--pace] [-- COMMAND...]\n"
                 "       orlogix-sim --help\nfamilies:\n%s",
                 family_list(registry).c_str());
}

bool parse_count(std::string_view text, std::size_t& out, bool allow_zero) {
    std::size_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    if (!allow_zero && value == 0) return false;
    out = value;
    return true;
}

// 0, or -1 after printing what is wrong.
int parse_arguments(int argc, char** argv, Arguments& a) {
    auto fail = [](const std::string& text) {
        std::fprintf(stderr, "orlogix-sim: %s\n", text.c_str());
        return -1;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        auto value = [&]() -> std::string_view { return argv[++i]; };
        if (arg == "--") {
            a.command.assign(argv + i + 1, argv + argc);
            break;
        }
        if (arg == "--silent") {
            a.faults.silent = true;
            continue;
        }
        if (arg == "--pace") {
            a.pacing = Pacing::LineRate;
            continue;
        }
        const bool takes_value = arg == "--family" || arg == "--track" || arg == "--waypoints" || arg == "--set" ||
                                 arg == "--corrupt" || arg == "--drop" || arg == "--cut-after";
        if (!takes_value) return fail("unknown argument " + std::string(arg));
        if (!has_value) return fail(std::string(arg) + " needs a value");
        const std::string_view v = value();
        if (arg == "--family") {
            a.family = v;
        } else if (arg == "--track") {
            if (a.options.track_file.empty()) a.options.track_file = v;
            a.options.track_files.emplace_back(v);
        } else if (arg == "--waypoints") {
            a.options.waypoint_file = v;
        } else if (arg == "--set") {
            const auto eq = v.find('=');
            if (eq == std::string_view::npos || eq == 0) return fail("--set takes key=value, not " + std::string(v));
            a.options.settings[std::string(v.substr(0, eq))] = std::string(v.substr(eq + 1));
        } else {
            std::size_t n = 0;
            if (!parse_count(v, n, arg == "--cut-after"))
                return fail(std::string(arg) + " takes a " + (arg == "--cut-after" ? "count" : "reply number from 1") +
                            ", not " + std::string(v));
            if (arg == "--corrupt") a.faults.corrupt_reply = n;
            else if (arg == "--drop") a.faults.drop_reply = n;
            else a.faults.cut_after = n;
        }
    }
    if (a.family.empty()) return fail("--family is required");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Blocked from the start: a stop signal that comes early still ends in a
    // clean exit, and only sigwait below sees them (the runner thread inherits the mask).
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    FamilyRegistry registry;
    register_all_families(registry);

    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            usage(registry, stdout);
            return 0;
        }
    Arguments args;
    if (parse_arguments(argc, argv, args) < 0) {
        usage(registry);
        return kExitUsage;
    }
    const FamilyEntry* family = registry.find(args.family);
    if (!family) {
        std::fprintf(stderr, "orlogix-sim: unknown family %s\n", args.family.c_str());
        usage(registry);
        return kExitUsage;
    }

    StderrReporter reporter;
    if (!args.options.track_file.empty() && load_track_file(reporter, args.options.track_file, args.options.track) < 0)
        return kExitFailure;
    if (!args.options.waypoint_file.empty() &&
        load_waypoint_file(reporter, args.options.waypoint_file, args.options.waypoints) < 0)
        return kExitFailure;

    if (family->host) {
        if (args.command.empty()) {
            std::fprintf(stderr, "orlogix-sim: family %s runs a program: -- COMMAND\n", args.family.c_str());
            return kExitUsage;
        }
        // The program gets the stop signals as usual.
        pthread_sigmask(SIG_UNBLOCK, &stop_signals, nullptr);
        const int status = family->host(args.options, args.command, reporter, [](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        });
        return status < 0 ? kExitFailure : status;
    }
    if (!args.command.empty()) {
        std::fprintf(stderr, "orlogix-sim: family %s serves a pseudo-terminal and runs no program\n",
                     args.family.c_str());
        return kExitUsage;
    }
    std::unique_ptr<Instrument> instrument = family->make(args.options, reporter);
    if (!instrument) return kExitUsage;
    instrument->set_faults(args.faults);

    // Standard output is shared by the device path line and the upload
    // reports from the runner's thread; a reader that went away must not kill us.
    std::mutex out_mutex;
    instrument->set_report_sink([&out_mutex](std::string_view line) {
        std::lock_guard lock(out_mutex);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    signal(SIGPIPE, SIG_IGN);

    PtyPair pty;
    if (pty.open() < 0) {
        reporter.error_box("orlogix-sim", "Cannot open a pseudo-terminal: " + system_error_text(errno));
        return kExitFailure;
    }
    {
        std::lock_guard lock(out_mutex);
        std::printf("%s\n", pty.device_path().c_str());
        std::fflush(stdout);
    }

    Runner runner(*instrument, pty.master_fd(), args.pacing);
    if (runner.start() < 0) {
        reporter.error_box("orlogix-sim", "Cannot start the instrument: " + system_error_text(errno));
        return kExitFailure;
    }
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    runner.stop();
    return 0;
}
