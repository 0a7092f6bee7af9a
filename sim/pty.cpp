#include "sim/pty.hpp"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace orlogix::sim {

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
