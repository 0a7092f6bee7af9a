#pragma once
// The program's side of a simulated port in these tests: a plain fd on the
// pty slave in raw mode, with reads bounded by a time-out.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace orlogix::sim::test {

class SerialFd {
public:
    explicit SerialFd(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        if (tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~SerialFd() { close(); }
    SerialFd(const SerialFd&) = delete;
    SerialFd& operator=(const SerialFd&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    bool send(std::string_view bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until n bytes came or the time-out passed; returns what came.
    std::string read_n(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < n) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p = {fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[512];
            const ssize_t r = ::read(fd_, buffer, std::min(sizeof buffer, n - got.size()));
            if (r <= 0) break;
            got.append(buffer, static_cast<std::size_t>(r));
        }
        return got;
    }

    // Everything that arrives within `window` (for checking that nothing, or no more, comes).
    std::string read_for(std::chrono::milliseconds window) { return read_n(1 << 20, window); }

private:
    int fd_ = -1;
};

}  // namespace orlogix::sim::test
