#include "access/serial_link.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "access/job_timer.hpp"

namespace orlogix {

namespace {
constexpr int kMinimumWriteBudgetMs = 100;
constexpr cc_t kXon = 17;
constexpr cc_t kXoff = 19;
}  // namespace

bool termios_speed(int baud, unsigned& speed) {
    switch (baud) {
    case 1200: speed = B1200; return true;
    case 2400: speed = B2400; return true;
    case 4800: speed = B4800; return true;
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    case 230400: speed = B230400; return true;
    default: return false;
    }
}

int SerialLink::write_budget_ms(int baud, std::size_t count) {
    long long per_byte = baud == 4800 ? 3 : 2;
    long long ms = per_byte * static_cast<long long>(count);
    if (ms < kMinimumWriteBudgetMs) ms = kMinimumWriteBudgetMs;
    return ms > 600000 ? 600000 : static_cast<int>(ms);
}

int SerialLink::open(const std::string& device) {
    close();
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    // Another program holding the port counts as a failed open, so the
    // connect loop keeps trying until it is free.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    // Not effective for root, hence the lock above; fails harmlessly on non-ttys.
    (void)ioctl(fd, TIOCEXCL);
    fd_ = fd;
    return 0;
}

int SerialLink::configure(int baud, bool xon_xoff) {
    int fd = fd_.load();
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    unsigned speed = 0;
    if (!termios_speed(baud, speed)) {
        errno = EINVAL;
        return -1;
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0) return -1;
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    if (xon_xoff) t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = kXon;
    t.c_cc[VSTOP] = kXoff;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return -1;
    if (tcsetattr(fd, TCSANOW, &t) != 0) return -1;
    int lines = TIOCM_DTR | TIOCM_RTS;
    // Pseudo-terminals and some adapters have no modem lines.
    if (ioctl(fd, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL) return -1;
    baud_ = baud;
    xon_xoff_ = xon_xoff;
    return 0;
}

int SerialLink::purge() {
    int fd = fd_.load();
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    return tcflush(fd, TCIOFLUSH) == 0 ? 0 : -1;
}

int SerialLink::read(uint8_t* buffer, std::size_t max, int timeout_ms) {
    int fd = fd_.load();
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    if (max == 0) return 0;
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, timeout_ms);
    if (r < 0) return errno == EINTR ? 0 : -1;
    if (r == 0) return 0;
    ssize_t n = ::read(fd, buffer, max);
    if (n < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    if (n == 0 && (p.revents & (POLLHUP | POLLERR))) {
        errno = EIO;
        return -1;
    }
    return static_cast<int>(n);
}

int SerialLink::write(const uint8_t* data, std::size_t count) {
    int fd = fd_.load();
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    Deadline deadline(write_budget_ms(baud_.load(), count));
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return -1;
        // The driver's queue is full (slow line, or output stopped by XOFF):
        // wait for room, but never beyond the budget.
        int left = static_cast<int>(deadline.remaining_ms());
        if (left <= 0) {
            errno = ETIMEDOUT;
            return -1;
        }
        pollfd p{fd, POLLOUT, 0};
        int r = poll(&p, 1, left);
        if (r < 0 && errno != EINTR) return -1;
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            errno = EIO;
            return -1;
        }
    }
    return 0;
}

void SerialLink::close() {
    int fd = fd_.exchange(-1);
    if (fd < 0) return;
    // Exclusive mode stays on the device after close; lift it for the next user.
    (void)ioctl(fd, TIOCNXCL);
    ::close(fd);
    baud_ = 0;
}

}  // namespace orlogix
