#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "control/notifier.hpp"
#include "core/units.hpp"

namespace orlogix {
namespace {

// The calling program's side: a bound datagram socket.
class Receiver {
public:
    Receiver() {
        path_ = (std::filesystem::temp_directory_path() / ("orlogix-notify-" + std::to_string(::getpid()))).string();
        ::unlink(path_.c_str());
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, path_.c_str());
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    ~Receiver() {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    // The next datagram, or "" when none arrives within 200 ms.
    std::string next() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 200) != 1) return "";
        char buf[512];
        ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : "";
    }

private:
    std::string path_;
    int fd_ = -1;
};

TEST(Notifier, SessionNumberIsTheTagOfEveryDatagram) {
    Receiver rx;
    Notifier n;
    ASSERT_TRUE(n.open(rx.path(), true, 17));
    n.send("Transfer started");
    n.send("Progress 200/?");
    EXPECT_EQ(rx.next(), "17 Transfer started");
    EXPECT_EQ(rx.next(), "17 Progress 200/?");
    EXPECT_EQ(rx.next(), "");
}

TEST(Notifier, MissingReceiverDropsNotificationsQuietly) {
    Notifier n;
    EXPECT_FALSE(n.open("/nonexistent/orlogix.sock", false, 0));
    EXPECT_FALSE(n.active());
    n.send("Transfer completed");  // must not crash or block
}

TEST(Notifier, WaypointCountsAtMostOncePerSecond) {
    Receiver rx;
    Notifier n;
    ASSERT_TRUE(n.open(rx.path(), true, 1));
    auto t0 = Notifier::Clock::now();
    using std::chrono::milliseconds;
    n.waypoint_count(1, t0);
    n.waypoint_count(2, t0 + milliseconds(300));
    n.waypoint_count(3, t0 + milliseconds(999));
    n.waypoint_count(4, t0 + milliseconds(1000));
    n.waypoint_count(5, t0 + milliseconds(1500));
    n.waypoint_count(6, t0 + milliseconds(3700));
    n.waypoint_count(7, t0 + milliseconds(3999));
    EXPECT_EQ(rx.next(), "1 Waypoint count 1");
    EXPECT_EQ(rx.next(), "1 Waypoint count 4");
    EXPECT_EQ(rx.next(), "1 Waypoint count 6");
    EXPECT_EQ(rx.next(), "");
}

TEST(Notifier, PositionsFollowTheSendLogInterval) {
    Receiver rx;
    Notifier n;
    ASSERT_TRUE(n.open(rx.path(), true, 2));
    int32_t lat = 0, lon = 0;
    SemicirclePair sp;
    ASSERT_EQ(radians_to_semicircles(GeoPosition{46.5 / kRadiansToDegrees, -7.25 / kRadiansToDegrees}, sp), 0);
    lat = sp.latitude;
    lon = sp.longitude;
    n.position(1000, lat, lon, 12345);  // SENDLOG off: nothing
    EXPECT_EQ(rx.next(), "");
    n.set_send_log_seconds(10);
    n.position(1000, lat, lon, 12345);
    n.position(1009, lat, lon, 12345);
    n.position(1010, lat, lon, -15);
    EXPECT_EQ(rx.next(), "2 Pos=46.500000,-7.250000,1235");
    EXPECT_EQ(rx.next(), "2 Pos=46.500000,-7.250000,-2");
    EXPECT_EQ(rx.next(), "");
}

}  // namespace
}  // namespace orlogix
