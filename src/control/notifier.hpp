#pragma once
// Notifications to the program that started a command line: one datagram per
// notification on a Unix datagram socket, "<tag> <text>". The tag is the
// SESSION number when one was given, else the millisecond tick of NOTIFY.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix {

class Notifier {
public:
    using Clock = std::chrono::steady_clock;

    Notifier() = default;
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    // Looks the receiver up at once. False when no socket answers at path:
    // notifications are then dropped, as with no NOTIFY at all.
    bool open(const std::string& path, bool has_session, uint32_t session);
    bool active() const { return fd_ >= 0; }
    uint32_t tag() const { return tag_; }

    void send(std::string_view text);

    // Throttled forms: waypoint counts at most once a second (the send time
    // advancing in whole seconds); positions when at least send_log_seconds
    // of track time passed since the last one sent (0 = never).
    void waypoint_count(int count, Clock::time_point now = Clock::now());
    void position(uint32_t time, int32_t latitude, int32_t longitude, int32_t gps_altitude_dm);
    void set_send_log_seconds(uint32_t s) { send_log_seconds_ = s; }

private:
    int fd_ = -1;
    uint32_t tag_ = 0;
    Clock::time_point next_count_{};
    bool count_started_ = false;
    uint32_t send_log_seconds_ = 0;
    bool position_sent_ = false;
    uint32_t last_position_time_ = 0;
};

}  // namespace orlogix
