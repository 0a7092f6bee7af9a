#include "control/notifier.hpp"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "core/records.hpp"
#include "core/report.hpp"
#include "core/units.hpp"

namespace orlogix {

Notifier::~Notifier() {
    if (fd_ >= 0) ::close(fd_);
}

bool Notifier::open(const std::string& path, bool has_session, uint32_t session) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    // Like a synchronous message: the sender waits for a slow receiver, but
    // never longer than a moment, so a hung caller cannot stop a transfer.
    timeval wait{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    fd_ = fd;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    tag_ = has_session ? session : static_cast<uint32_t>(ms);
    return true;
}

void Notifier::send(std::string_view text) {
    if (fd_ < 0) return;
    std::string datagram = std::to_string(tag_);
    datagram += ' ';
    datagram.append(text);
    // A receiver that went away never stops the transfer.
    (void)::send(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL);
}

void Notifier::waypoint_count(int count, Clock::time_point now) {
    if (fd_ < 0) return;
    if (count_started_ && now < next_count_) return;
    if (!count_started_) {
        next_count_ = now;
        count_started_ = true;
    }
    while (next_count_ <= now) next_count_ += std::chrono::milliseconds(1000);
    send(strformat("Waypoint count %d", count));
}

void Notifier::position(uint32_t time, int32_t latitude, int32_t longitude, int32_t gps_altitude_dm) {
    if (fd_ < 0 || send_log_seconds_ == 0) return;
    if (position_sent_ && time - last_position_time_ < send_log_seconds_) return;
    position_sent_ = true;
    last_position_time_ = time;
    const LatLonDegrees p = semicircles_to_degrees(latitude, longitude);
    send(strformat("Pos=%.6f,%.6f,%d", p.latitude, p.longitude,
                   gps_altitude_metres(gps_altitude_dm)));
}

}  // namespace orlogix
