// Ten scoring clients downloading at once from ten simulated Garmin
// receivers on pseudo-terminals, against one client alone: each session's
// time from its command to the server's end of the connection. The table
// gives the median of the slowest session per round and its ratio to one
// session alone (the goal: at most 1.5).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
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

// One session: connect, send the command, read to the end. Seconds, or -1 on failure.
double session(int port, const std::string& device) {
    const auto start = WallClock::now();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
    const std::string command = "$Orlogix /gps=garmin /com=" + device + std::string(1, '\0');
    if (::send(fd, command.data(), command.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(command.size())) return -1;
    std::string got;
    char buf[65536];
    for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) got.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    if (got.find("track positions read") == std::string::npos) return -1;
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

// The slowest of `count` sessions run at once.
double round_of(int port, const std::vector<std::string>& devices, int count) {
    std::vector<double> times(static_cast<std::size_t>(count));
    std::vector<std::thread> clients;
    for (int i = 0; i < count; ++i) clients.emplace_back([&, i] { times[i] = session(port, devices[i]); });
    for (auto& c : clients) c.join();
    if (*std::min_element(times.begin(), times.end()) < 0) return -1;
    return *std::max_element(times.begin(), times.end());
}

// CPU seconds of the whole process so far (server, jobs and receivers alike).
double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    register_protocol_families();
    register_all_families();
    std::string bytes;
    if (read_file(std::string(ORLOGIX_TEST_DATA) + "/flights/tri.igc", bytes) != 0) return 2;
    IgcParsed flight;
    IgcParseError err;
    if (parse_igc(bytes, flight, err) <= 0) return 2;

    std::vector<std::unique_ptr<sim::Harness>> receivers;
    std::vector<std::string> devices;
    for (int i = 0; i < kServerSlots; ++i) {
        sim::GarminConfig config;
        config.track = flight.positions;
        receivers.push_back(std::make_unique<sim::Harness>(std::make_unique<sim::GarminReceiver>(config)));
        if (receivers.back()->start() != 0) return 2;
        devices.push_back(receivers.back()->device_path());
    }
    CommandServer server;
    std::string error;
    if (server.start("127.0.0.1", "0", error) != 0) {
        std::fprintf(stderr, "Start server: %s\n", error.c_str());
        return 2;
    }
    round_of(server.port(), devices, 1);   // warm-up
    std::vector<double> alone, ten, alone_cpu, ten_cpu;
    for (int r = 0; r < rounds; ++r) {
        double before = cpu_seconds();
        alone.push_back(round_of(server.port(), devices, 1));
        alone_cpu.push_back(cpu_seconds() - before);
        before = cpu_seconds();
        ten.push_back(round_of(server.port(), devices, kServerSlots));
        ten_cpu.push_back(cpu_seconds() - before);
        if (alone.back() < 0 || ten.back() < 0) {
            std::fprintf(stderr, "a session failed\n");
            return 1;
        }
    }
    server.close();
    double load[3] = {};
    if (getloadavg(load, 3) < 0) load[0] = -1;
    const double one = median(alone), all = median(ten);
    std::printf("%zu fixes per download, %d rounds, load average %.2f\n", flight.positions.size(), rounds, load[0]);
    // The receivers are simulated in this process, so the CPU column counts
    // them too: on fewer cores than sessions the wall time follows it.
    std::printf("%u cores\n", std::thread::hardware_concurrency());
    std::printf("%-18s %12s %8s %14s\n", "sessions at once", "slowest (s)", "ratio", "CPU/round (s)");
    std::printf("%-18d %12.3f %8.2f %14.3f\n", 1, one, 1.0, median(alone_cpu));
    std::printf("%-18d %12.3f %8.2f %14.3f\n", kServerSlots, all, all / one, median(ten_cpu));
    return 0;
}
