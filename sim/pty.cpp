#include "sim/pty.hpp"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace orlogix::sim {

int line_rate(int master_fd) {
    termios t{};
    if (tcgetattr(master_fd, &t) != 0) return -1;
    struct Rate {
        speed_t speed;
        int baud;
    };
    static constexpr Rate kRates[] = {{B0, 0},         {B1200, 1200},   {B2400, 2400},   {B4800, 4800},
                                      {B9600, 9600},   {B19200, 19200}, {B38400, 38400}, {B57600, 57600},
                                      {B115200, 115200}, {B230400, 230400}};
    const speed_t speed = cfgetospeed(&t);
    for (const Rate& r : kRates)
        if (r.speed == speed) return r.baud;
    return -1;
}

PtyPair::~PtyPair() { close(); }

int PtyPair::open() {
    close();
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) return -1;
    // The instrument side never blocks the simulator's loop.
    int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        int e = errno;
        close();
        errno = e;
        return -1;
    }
    path_ = name;
    return 0;
}

void PtyPair::close() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
    path_.clear();
}

}  // namespace orlogix::sim
