// The server's two waits, in process with a job routine that ends at once:
// a peer that never closes is dropped after the linger time (shortened here),
// one that closes is freed at once; out of descriptors, accepting pauses
// between tries instead of spinning, and serves again once it can.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "control/server/command_server.hpp"
#include "core/report.hpp"

namespace orlogix {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kDone = std::string("$Orlogix Status done") + '\0';

// The snapshots the server published, each with the time it came.
class Snapshots {
public:
    std::function<void(const ServerSnapshot&)> sink() {
        return [this](const ServerSnapshot& s) {
            std::lock_guard lock(mutex_);
            seen_.push_back({Clock::now(), s});
            changed_.notify_all();
        };
    }
    struct Seen {
        std::size_t index;   // of the snapshot, in the order published
        Clock::time_point at;
    };
    // The first snapshot from number `from` on that pred holds for; waits up to 10 s.
    std::optional<Seen> wait_for(const std::function<bool(const ServerSnapshot&)>& pred, std::size_t from = 0) {
        std::unique_lock lock(mutex_);
        std::optional<Seen> found;
        changed_.wait_for(lock, 10s, [&] {
            for (std::size_t i = from; i < seen_.size(); ++i)
                if (pred(seen_[i].second)) return (found = Seen{i, seen_[i].first}).has_value();
            return false;
        });
        return found;
    }
    int count(const std::function<bool(const ServerSnapshot&)>& pred) {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const auto& [t, s] : seen_) n += pred(s);
        return n;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<Clock::time_point, ServerSnapshot>> seen_;
};

int connected_socket(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    return fd;
}

// Everything until the server's end of file, within 10 s.
std::string read_to_end(int fd) {
    std::string got;
    char buf[4096];
    for (const auto until = Clock::now() + 10s; Clock::now() < until;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

class ServerWaits : public ::testing::Test {
protected:
    void start(std::chrono::milliseconds linger) {
        server_.reset();
        snapshots_ = std::make_unique<Snapshots>();
        routines_.add(AccessType::ReadTrackLog, Routine::Garmin, [](JobContext& ctx) {
            ctx.reporter.status("done");
            return 0;
        });
        ServerOptions options;
        options.routines = &routines_;
        options.snapshot = snapshots_->sink();
        options.linger_time = linger;
        server_ = std::make_unique<CommandServer>(std::move(options));
        std::string error;
        ASSERT_EQ(server_->start("127.0.0.1", "0", error), 0) << error;
    }

    RoutineRegistry routines_;
    std::unique_ptr<Snapshots> snapshots_;   // before the server, which calls it until closed
    std::unique_ptr<CommandServer> server_;
};

TEST_F(ServerWaits, APeerThatNeverClosesIsDroppedAfterTheLingerTimeOneThatClosesAtOnce) {
    struct Case {
        bool peer_closes;
        std::chrono::milliseconds linger;
    };
    for (const Case c : {Case{false, 300ms}, Case{true, 60s}}) {
        start(c.linger);
        const int fd = connected_socket(server_->port());
        const std::string command = std::string("$Orlogix /gps=garmin /com=/dev/null") + '\0';
        ASSERT_EQ(::send(fd, command.data(), command.size(), MSG_NOSIGNAL), static_cast<ssize_t>(command.size()));
        // The last reply, then the server's end of sending.
        EXPECT_EQ(read_to_end(fd), kDone);
        if (c.peer_closes) ::close(fd);
        const auto completed = snapshots_->wait_for([](const ServerSnapshot& s) { return s.rows[0].status == "Completed"; });
        ASSERT_TRUE(completed);
        const auto freed = snapshots_->wait_for([](const ServerSnapshot& s) { return !s.rows[0].used; }, completed->index);
        ASSERT_TRUE(freed) << c.peer_closes;
        // Both times are the server thread's: the linger timer started after
        // the first and cannot have ended before the linger time.
        if (c.peer_closes) EXPECT_LT(freed->at - completed->at, c.linger);
        else EXPECT_GE(freed->at - completed->at, c.linger);
        if (!c.peer_closes) ::close(fd);
        server_->close();
    }
}

// Out of descriptors, as accept() sees it: while this is set, every accept
// in this program fails with EMFILE. (Lowering the process's descriptor limit
// instead would starve the sanitizers' runtime, which opens pipes of its own.)
std::atomic<bool> no_descriptors{false};

struct NoDescriptors {
    NoDescriptors() { no_descriptors = true; }
    ~NoDescriptors() { no_descriptors = false; }
};

}  // namespace
}  // namespace orlogix

extern "C" int accept(int fd, sockaddr* __restrict address, socklen_t* __restrict length) {
    if (orlogix::no_descriptors) {
        errno = EMFILE;
        return -1;
    }
    using Accept = int (*)(int, sockaddr*, socklen_t*);
    static const auto real = reinterpret_cast<Accept>(dlsym(RTLD_NEXT, "accept"));
    return real(fd, address, length);
}

namespace orlogix {
namespace {

TEST_F(ServerWaits, OutOfDescriptorsAcceptingPausesBetweenTriesThenServesAgain) {
    start(kLingerTime);
    auto failed_accept = [](const ServerSnapshot& s) { return s.status == "accept() returned WSAENOBUFS"; };
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(server_->port()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::optional<Snapshots::Seen> first;
    int failures = 0;
    {
        NoDescriptors none;
        // The kernel completes the connection; the server cannot take it.
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        first = snapshots_->wait_for(failed_accept);
        std::this_thread::sleep_for(1s);
        failures = snapshots_->count(failed_accept);
    }
    ASSERT_TRUE(first);
    const auto limited = Clock::now() - first->at;
    // It kept trying, one try per pause at most, not in a loop.
    EXPECT_GE(failures, 2);
    EXPECT_LE(failures, limited / kAcceptPause + 2);
    // With descriptors again, the waiting client is served.
    const std::string hello = std::string("hello") + '\0';
    ASSERT_EQ(::send(fd, hello.data(), hello.size(), MSG_NOSIGNAL), static_cast<ssize_t>(hello.size()));
    ::shutdown(fd, SHUT_WR);
    EXPECT_EQ(read_to_end(fd), std::string("$Orlogix Error Decode network command\n$Orlogix Error Bad command identifier") +
                                   '\0');
    ::close(fd);
}

}  // namespace
}  // namespace orlogix
