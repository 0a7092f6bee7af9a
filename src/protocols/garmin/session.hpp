#pragma once
// The Garmin application layer: identification, track log and waypoint
// transfers. Written once against PacketTransport, so the serial link and
// the USB link only differ in the transport they hand in.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/identity_sink.hpp"
#include "core/records.hpp"
#include "core/units.hpp"
#include "protocols/garmin/link_codec.hpp"
#include "protocols/garmin/records.hpp"
#include "protocols/identity_sink.hpp"

namespace orlogix {
class Reporter;
}

namespace orlogix::garmin {

// Results of PacketTransport::receive_packet.
inline constexpr int kReceiveTimeout = -1;
inline constexpr int kReceiveError = -2;
inline constexpr int kReceiveAborted = -3;   // the job's abort flag was seen while waiting

class PacketTransport {
public:
    virtual ~PacketTransport() = default;
    // Frames and writes one packet. 0, or -1 on a write failure.
    virtual int send_packet(const Packet& packet) = 0;
    // 0 with the next complete packet in out; kReceiveTimeout when timeout_ms
    // passed without one, kReceiveError on a read failure, kReceiveAborted.
    virtual int receive_packet(int timeout_ms, Packet& out) = 0;
    // Milliseconds on the clock the waits run on (the steady clock unless
    // the link brings its own).
    virtual int64_t now_ms() const;
};

struct SessionOptions {
    int timeout_seconds = 0;          // identification budget; 0: the default 30 s
    bool power_off = false;           // after a track log read and a waypoint upload
    bool power_off_after_track_upload = false;   // only the command line's PWROFF asks for it
    std::function<bool()> aborted;    // the job's abort flag; empty: never
    // Progress texts ("Progress %/%", "Sent wpt %/%", "Waypoint count %d") and
    // each downloaded position, for the caller of a command line.
    std::function<void(std::string_view)> notify;
    std::function<void(const TrackPosition&)> on_position;
    std::function<uint32_t()> now;    // UTC time stamp for waypoints without one; empty: time_now()
    // The port the link opened ("/dev/ttyUSB0", "COM1 (/dev/ttyUSB0)"),
    // named in the no-answer and port-error texts.
    std::string device;
};

class Session {
public:
    Session(PacketTransport& transport, Reporter& reporter, SessionOptions options = {});

    // Product data and capability table. 0 or -1 (reported).
    int identify();

    // Each 0 or -1; a failure is reported once, an abort only as status.
    // Outputs are written only on success.
    int read_track_log(std::vector<TrackPosition>& out);
    // Normal mode when out is given; identity-check mode (nothing stored,
    // each record handed to identity) when identity is given instead.
    int read_waypoints(WaypointList* out, const IdentitySink& identity = {});
    int upload_waypoints(const std::vector<Waypoint>& waypoints);
    // Points as one track log: a waypoint list (ctr_number 0, named after its
    // first waypoint) or one airspace outline (ctr_number from 1 and its name).
    int upload_points_as_track(const std::vector<Waypoint>& points, int ctr_number = 0,
                               const std::string* name = nullptr);

    // Drops what the receiver still sends after a failed transfer (the
    // acknowledgement of the abort command), so that the next transfer
    // starts in step. Returns once nothing came for quiet_ms.
    void discard_input(int quiet_ms);

    const ProductData& product() const { return product_; }
    const CapabilityTable& capabilities() const { return caps_; }
    // Product name, description and device identity of a downloaded log.
    void fill_header(TrackLogHeader& header) const;

private:
    bool aborted() const { return options_.aborted && options_.aborted(); }
    // Elapsed times and estimates on the transport's clock (simulated on the
    // in-memory link), never the steady clock.
    int64_t now_ms() const { return transport_.now_ms(); }
    void notify(const std::string& text) const;
    void status(const std::string& text) const;
    void send(const Packet& p);
    void send_ack(uint8_t id) { send(make_ack(id)); }
    void send_command(uint16_t command) { send(make_u16_packet(kPidCommand, command)); }
    int receive(int timeout_ms) { return transport_.receive_packet(timeout_ms, packet_); }
    // text + " on " + the device, when there is one.
    std::string on_device(std::string_view text) const;
    // Reports text under caption, sends the abort command when asked, -1.
    int fail(std::string_view caption, std::string_view text, bool abort_receiver = true);
    // The user's abort during a transfer: abort command, status only, -1.
    int fail_aborted();
    // Waits for the next packet of a transfer: 0, or -1 after the abort, the
    // time-out text or the read-error text.
    int await_packet(std::string_view caption, std::string_view timeout_text, std::string_view error_text);
    // Receives an acknowledgement of id: 0, or -1 after reporting the coded error.
    int expect_ack(uint8_t id, std::string_view caption, std::string_view timeout_text,
                   std::string_view error_text, std::string_view bad_text, bool abort_on_bad = true);
    int capability_exchange();
    int wait_product_data();

    PacketTransport& transport_;
    Reporter& reporter_;
    SessionOptions options_;
    Packet packet_;
    ProductData product_;
    CapabilityTable caps_{};
};

// The "%.%" elapsed-time part of the closing status texts: seconds and
// three-digit milliseconds.
std::string elapsed_seconds_text(int64_t elapsed_ms);

}  // namespace orlogix::garmin
