// Track log transfers: the download and points sent as a track log.
#include "protocols/garmin/session.hpp"

#include <algorithm>
#include <new>

#include "access/job_timer.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/garmin/session_texts.hpp"

namespace orlogix::garmin {

using namespace texts;

namespace {

constexpr int64_t kEstimateCapSeconds = 5999;

// Seconds left for the rest of a download, from the pace so far.
int64_t remaining_seconds(std::size_t total, std::size_t done, int64_t elapsed_ms) {
    if (done == 0) return kEstimateCapSeconds;
    const int64_t left = static_cast<int64_t>(total - std::min(total, done)) * (elapsed_ms / 1000) /
                         static_cast<int64_t>(done);
    return std::min(left, kEstimateCapSeconds);
}

}  // namespace

int Session::read_track_log(std::vector<TrackPosition>& out) {
    const int protocol = caps_[kCapTrackProtocol];
    const int point_type = caps_[kCapTrackPointType];
    if (protocol == 0) return fail(kCapReadTrack, "E212 No track log protocol defined", false);

    status("Requesting track log download");
    send_command(kCmdTransferTrack);
    if (await_packet(kCapReadTrack, "E200 Timeout while waiting for data packet",
                     "E200 COM port error while waiting for data packet") < 0)
        return -1;
    if (!is_ack_of(packet_, kPidCommand)) return fail(kCapReadTrack, coded("E201", kBadAck));
    if (await_packet(kCapReadTrack, "E202 Timeout while waiting for record count packet",
                     "E202 COM port error while waiting for count packet") < 0)
        return -1;
    if (packet_.id != kPidRecords || packet_.size < 2) return fail(kCapReadTrack, "E203 Bad record count packet");
    const std::size_t n = static_cast<std::size_t>(packet_u16(packet_));
    send_ack(kPidRecords);
    const int64_t start = now_ms();

    std::vector<TrackPosition> positions;
    try {
        positions.reserve(n);
    } catch (const std::bad_alloc&) {
        return fail(kCapReadTrack, "E204 Track log memory allocation");
    }
    for (std::size_t i = 1; i <= n; ++i) {
        if (await_packet(kCapReadTrack, "E205 Timeout while waiting for log data packet",
                         "E205 COM port error while waiting for log data packet") < 0)
            return -1;
        if (aborted()) return fail_aborted();
        if (packet_.id == kPidTrackPoint) {
            TrackPosition p;
            if (decode_track_point(packet_.bytes(), point_type, p) < 0)
                return fail(kCapReadTrack, "E206 Packet type/length mismatch");
            if (positions.empty()) p.flags |= kSegmentStart;
            positions.push_back(p);
            if (options_.on_position) options_.on_position(p);
            send_ack(kPidTrackPoint);
        } else if (packet_.id == kPidTrackHeader) {
            if (protocol == 300) return fail(kCapReadTrack, "E208 Packet type/protocol mismatch");
            send_ack(kPidTrackHeader);
        } else {
            return fail(kCapReadTrack, "E209 Bad data packet");
        }
        if (i % 5 == 0) {
            const int64_t left = remaining_seconds(n, positions.size(), now_ms() - start);
            status(format_counts("Track position % of % (%m %s)", static_cast<long long>(i),
                                 static_cast<long long>(n), left / 60, left % 60));
            notify(format_counts("Progress %/%", static_cast<long long>(i), static_cast<long long>(n)));
        }
    }
    if (await_packet(kCapReadTrack, "E211 Timeout while waiting for transfer complete packet",
                     "E211 COM port error while waiting for transfer complete packet") < 0)
        return -1;
    if (packet_.id != kPidTransferComplete || packet_.size < 2)
        return fail(kCapReadTrack, "E210 Bad transfer complete packet type or format");
    send_ack(kPidTransferComplete);
    status(format_counts("% track positions read (", static_cast<long long>(positions.size())) +
           elapsed_seconds_text(now_ms() - start) + " secs)");
    if (options_.power_off) send_command(kCmdTurnOff);
    out = std::move(positions);
    return 0;
}

int Session::upload_points_as_track(const std::vector<Waypoint>& points, int ctr_number, const std::string* name) {
    if (points.empty()) return 0;
    const char* caption = ctr_number > 0 ? "Upload CTR" : "Upload track log";
    const int protocol = caps_[kCapTrackProtocol];
    if (protocol == 0) return fail(caption, "E508 No track log protocol defined", false);
    // The records packet counts in 16 bits, the header included: a longer
    // list is refused, not cut.
    if (points.size() > 0xFFFE)
        return fail(caption,
                    format_counts("Too many points for one transfer (%, at most %)",
                                  static_cast<long long>(points.size()), 0xFFFE),
                    false);
    const long long count = static_cast<long long>(points.size());

    // Only A301 has a header record here; the count announces exactly the
    // records that follow, so A302 receivers are not left waiting for one more.
    const bool header = protocol == 301;
    send(make_u16_packet(kPidRecords, static_cast<uint16_t>(count + (header ? 1 : 0))));
    if (expect_ack(kPidRecords, caption, coded("E500", kAckTimeout), coded("E500", kAckError),
                   coded("E501", kBadAck)) < 0)
        return -1;
    if (header) {
        std::string track_name = name ? name->substr(0, 50) : points.front().identifier;
        std::vector<uint8_t> d{1, 0};
        d.insert(d.end(), track_name.begin(), track_name.end());
        d.push_back(0);
        send(make_packet(kPidTrackHeader, d));
        if (expect_ack(kPidTrackHeader, caption, coded("E502", kAckTimeout),
                       coded("E502", kAckError), coded("E503", kBadAck)) < 0)
            return -1;
    }
    const std::size_t size = protocol == 300 ? 13 : protocol == 301 ? 21 : 25;
    for (long long i = 1; i <= count; ++i) {
        if (aborted()) return fail_aborted();
        if (i % 5 == 0) {
            status(ctr_number > 0 ? format_counts("CTR %: Sending point % of %", ctr_number, i, count)
                                  : format_counts("Sending point % of %", i, count));
        }
        const Waypoint& w = points[static_cast<std::size_t>(i - 1)];
        std::vector<uint8_t> d(size, 0);
        for (int b = 0; b < 4; ++b) {
            d[b] = static_cast<uint8_t>(static_cast<uint32_t>(w.latitude) >> (8 * b));
            d[4 + b] = static_cast<uint8_t>(static_cast<uint32_t>(w.longitude) >> (8 * b));
        }
        send(make_packet(kPidTrackPoint, d));
        if (expect_ack(kPidTrackPoint, caption, coded("E504", kAckTimeout),
                       coded("E504", kAckError), coded("E505", kBadAck)) < 0)
            return -1;
    }
    status(ctr_number > 0 ? format_counts("CTR %: Point % of % sent", ctr_number, count, count)
                          : format_counts("Point % of % sent", count, count));
    send(make_u16_packet(kPidTransferComplete, kCmdTransferTrack));
    if (expect_ack(kPidTransferComplete, caption, coded("E506", kAckTimeout),
                   coded("E506", kAckError), coded("E507", kBadAck), false) < 0)
        return -1;
    if (options_.power_off_after_track_upload) send_command(kCmdTurnOff);
    return 0;
}

}  // namespace orlogix::garmin
