// Ten scoring clients downloading at once from ten simulated Garmin
// receivers on pseudo-terminals, against one client alone: each session's
// time from its command to the server's end of the connection. The receivers
// are paced at their line's rate, so each download is bound by its serial
// line as with real receivers, and the table judges the server: the median of
// the slowest session per round, its ratio to one session alone (the goal: at
// most 1.5), the time one download's bytes need on the line, and the CPU of
// the server and of the receivers apart.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control/server/command_server.hpp"
#include "core/file_read.hpp"
#include "formats/igc/reader.hpp"
#include "protocols/families.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"

using namespace orlogix;
using WallClock = std::chrono::steady_clock;

namespace {

constexpr int kDefaultRounds = 3;
constexpr std::size_t kDefaultFixes = 500;

// One session: connect, send the command, read to the end. Seconds, or -1 on failure.
double session(int port, const std::string& device) {
    const auto start = WallClock::now();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    const std::string command = "$Orlogix /gps=garmin /com=" + device + std::string(1, '\0');
    std::string got;
    if (::send(fd, command.data(), command.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(command.size())) {
        char buf[65536];
        for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) got.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (got.find("track positions read") == std::string::npos) return -1;
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

// CPU seconds of the whole process so far: the server, its jobs, the
// clients and the receivers' threads.
double process_cpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Receivers {
    std::vector<std::unique_ptr<sim::Harness>> harness;

    double cpu() {
        double s = 0;
        for (auto& h : harness) s += std::chrono::duration<double>(h->runner().cpu_time()).count();
        return s;
    }
    // Seconds all bytes so far took on receiver i's line, both ways, ten bits a byte.
    double line_time(std::size_t i) const {
        double s = 0;
        for (const auto& e : harness[i]->runner().transcript())
            if (e.rate > 0) s += static_cast<double>(e.bytes.size()) * 10.0 / e.rate;
        return s;
    }
};

struct Round {
    double slowest = -1;
    double server_cpu = 0;
    double receivers_cpu = 0;
};

// `count` sessions at once on the first receivers.
Round round_of(int port, Receivers& receivers, int count) {
    std::vector<double> times(static_cast<std::size_t>(count));
    const double cpu_before = process_cpu(), receivers_before = receivers.cpu();
    std::vector<std::thread> clients;
    for (int i = 0; i < count; ++i)
        clients.emplace_back([&, i] { times[i] = session(port, receivers.harness[i]->device_path()); });
    for (auto& c : clients) c.join();
    Round r;
    r.receivers_cpu = receivers.cpu() - receivers_before;
    r.server_cpu = process_cpu() - cpu_before - r.receivers_cpu;
    if (*std::min_element(times.begin(), times.end()) >= 0) r.slowest = *std::max_element(times.begin(), times.end());
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;
    const std::size_t fixes = argc > 2 ? static_cast<std::size_t>(std::max(1, std::atoi(argv[2]))) : kDefaultFixes;
    register_protocol_families();
    register_all_families();
    std::string bytes;
    if (read_file(std::string(ORLOGIX_TEST_DATA) + "/flights/tri.igc", bytes) != 0) return 2;
    IgcParsed flight;
    IgcParseError err;
    if (parse_igc(bytes, flight, err) <= 0) return 2;
    if (flight.positions.size() > fixes) flight.positions.resize(fixes);

    Receivers receivers;
    for (int i = 0; i < kServerSlots; ++i) {
        sim::GarminConfig config;
        config.track = flight.positions;
        receivers.harness.push_back(
            std::make_unique<sim::Harness>(std::make_unique<sim::GarminReceiver>(config), sim::Pacing::LineRate));
        if (receivers.harness.back()->start() != 0) return 2;
    }
    CommandServer server;
    std::string error;
    if (server.start("127.0.0.1", "0", error) != 0) {
        std::fprintf(stderr, "Start server: %s\n", error.c_str());
        return 2;
    }
    std::vector<Round> alone, ten;
    std::vector<double> line;
    for (int r = 0; r < rounds; ++r) {
        const double line_before = receivers.line_time(0);
        alone.push_back(round_of(server.port(), receivers, 1));
        line.push_back(receivers.line_time(0) - line_before);
        ten.push_back(round_of(server.port(), receivers, kServerSlots));
        if (alone.back().slowest < 0 || ten.back().slowest < 0) {
            std::fprintf(stderr, "a session failed\n");
            return 1;
        }
    }
    server.close();
    double load[3] = {};
    if (getloadavg(load, 3) < 0) load[0] = -1;
    auto column = [](const std::vector<Round>& v, double Round::*field) {
        std::vector<double> values;
        for (const Round& r : v) values.push_back(r.*field);
        return median(values);
    };
    const double one = column(alone, &Round::slowest), all = column(ten, &Round::slowest);
    std::printf("%zu fixes per download, receivers paced at the line rate the program sets, %d rounds\n",
                flight.positions.size(), rounds);
    std::printf("%u cores, load average %.2f\n", std::thread::hardware_concurrency(), load[0]);
    // The line time is what one download's bytes take on the wire, both
    // ways: no session can be faster. Server CPU is the process less the
    // receivers' threads (the clients' reading is in it too).
    std::printf("%-17s %12s %7s %14s %16s %19s\n", "sessions at once", "slowest (s)", "ratio", "line time (s)",
                "server CPU (s)", "receivers CPU (s)");
    std::printf("%-17d %12.3f %7.2f %14.3f %16.3f %19.3f\n", 1, one, 1.0, median(line),
                column(alone, &Round::server_cpu), column(alone, &Round::receivers_cpu));
    std::printf("%-17d %12.3f %7.2f %14.3f %16.3f %19.3f\n", kServerSlots, all, all / one, median(line),
                column(ten, &Round::server_cpu), column(ten, &Round::receivers_cpu));
    std::printf("goal: ten at once each in at most 1.50 times one alone: %s\n", all / one <= 1.5 ? "met" : "missed");
    return 0;
}
