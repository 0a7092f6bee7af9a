// Waypoint transfers: download (normal and identity-check mode) and upload.
#include "protocols/garmin/session.hpp"

#include <algorithm>
#include <new>

#include "access/job_timer.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/garmin/session_texts.hpp"

namespace orlogix::garmin {

using namespace texts;

int Session::read_waypoints(WaypointList* out, const IdentitySink& identity) {
    const int type = caps_[kCapWaypointType];
    if (caps_[kCapWaypointProtocol] == 0)
        return fail(kCapReadWaypoints, "E310 No waypoint log protocol defined", false);

    status("Requesting waypoint download");
    send_command(kCmdTransferWaypoints);
    if (expect_ack(kPidCommand, kCapReadWaypoints, coded("E300", kAckTimeout),
                   coded("E300", kAckError), coded("E301", kBadAck)) < 0)
        return -1;
    if (await_packet(kCapReadWaypoints, "E302 Timeout while waiting for record count packet",
                     "E302 COM port error while waiting for count packet") < 0)
        return -1;
    if (packet_.id != kPidRecords || packet_.size < 2)
        return fail(kCapReadWaypoints, "E303 Bad record count packet");
    const std::size_t count = static_cast<std::size_t>(packet_u16(packet_));
    send_ack(kPidRecords);
    const int64_t start = now_ms();
    const uint32_t default_time = options_.now ? options_.now() : time_now();

    std::vector<Waypoint> received;
    if (out) {
        try {
            received.reserve(count);
        } catch (const std::bad_alloc&) {
            return fail(kCapReadWaypoints, "E304 Waypoint memory allocation");
        }
    }
    int64_t last_notice = -1000;
    for (std::size_t i = 1; i <= count; ++i) {
        if (await_packet(kCapReadWaypoints, "E305 Timeout while waiting for wpt. data packet",
                         "E305 COM port error while waiting for wpt. data packet") < 0)
            return -1;
        if (aborted()) return fail_aborted();
        Waypoint w;
        const int decoded =
            packet_.id == kPidWaypoint ? decode_waypoint(packet_.bytes(), type, default_time, w) : kWptShort;
        if (decoded == kWptShort) return fail(kCapReadWaypoints, "E306 Bad waypoint data packet");
        if (decoded == kWptBadType) return fail(kCapReadWaypoints, "E309 Bad waypoint data packet");
        if (!out && identity) identity(w.identifier, semicircles_to_radians(w.latitude, w.longitude));
        send_ack(kPidWaypoint);
        if (const int64_t t = now_ms(); t - last_notice >= 1000) {
            last_notice = t;
            notify(strformat("Waypoint count %zu", i));
        }
        if (i % 5 == 0)
            status(format_counts("Waypoint % of % received", static_cast<long long>(i), static_cast<long long>(count)));
        if (out) received.push_back(std::move(w));
    }
    if (await_packet(kCapReadWaypoints, "E308 Timeout while waiting for transfer complete packet",
                     "E308 COM port error while waiting for transfer complete packet") < 0)
        return -1;
    if (packet_.id != kPidTransferComplete || packet_.size < 2)
        return fail(kCapReadWaypoints, "E307 Bad transfer complete packet type or format");
    send_ack(kPidTransferComplete);
    if (out) {
        status(format_counts("% of % waypoints read (", static_cast<long long>(received.size()),
                             static_cast<long long>(count)) +
               elapsed_seconds_text(now_ms() - start) + " secs)");
        out->replace(std::move(received));
    }
    return 0;
}

int Session::upload_waypoints(const std::vector<Waypoint>& waypoints) {
    if (waypoints.empty()) return 0;
    const int type = caps_[kCapWaypointType];
    if (caps_[kCapWaypointProtocol] == 0)
        return fail(kCapUploadWaypoints, "E406 No waypoint log protocol defined", false);
    // The records packet counts in 16 bits: a longer list is refused, not cut.
    if (waypoints.size() > 0xFFFF)
        return fail(kCapUploadWaypoints,
                    format_counts("Too many waypoints for one transfer (%, at most %)",
                                  static_cast<long long>(waypoints.size()), 0xFFFF),
                    false);
    const long long count = static_cast<long long>(waypoints.size());

    send(make_u16_packet(kPidRecords, static_cast<uint16_t>(count)));
    if (expect_ack(kPidRecords, kCapUploadWaypoints, coded("E400", kAckTimeout),
                   coded("E400", kAckError), coded("E401", kBadAck)) < 0)
        return -1;
    for (long long i = 1; i <= count; ++i) {
        if (aborted()) return fail_aborted();
        if (i % 5 == 0) status(format_counts("Sending waypoint % of %", i, count));
        send(make_packet(kPidWaypoint, encode_waypoint(waypoints[static_cast<std::size_t>(i - 1)], type)));
        notify(format_counts("Sent wpt %/%", i, count));
        if (expect_ack(kPidWaypoint, kCapUploadWaypoints, coded("E402", kAckTimeout),
                       coded("E402", kAckError), coded("E403", kBadAck)) < 0)
            return -1;
    }
    status(format_counts("Waypoint % of % sent", count, count));
    send(make_u16_packet(kPidTransferComplete, kCmdTransferWaypoints));
    if (expect_ack(kPidTransferComplete, kCapUploadWaypoints, coded("E404", kAckTimeout),
                   coded("E404", kAckError), coded("E405", kBadAck), false) < 0)
        return -1;
    if (options_.power_off) send_command(kCmdTurnOff);
    return 0;
}

}  // namespace orlogix::garmin
