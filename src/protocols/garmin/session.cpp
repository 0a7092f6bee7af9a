#include "protocols/garmin/session.hpp"

#include <algorithm>
#include <chrono>
#include <new>

#include "access/job_timer.hpp"
#include "core/report.hpp"
#include "core/time.hpp"

namespace orlogix::garmin {

namespace {

constexpr int kProductWaitMs = 2000;
constexpr int kTransferWaitMs = 5000;
constexpr int64_t kEstimateCapSeconds = 5999;

constexpr const char* kCapRequesting = "Requesting GPS product data";
constexpr const char* kCapReadProduct = "Read GPS product data";
constexpr const char* kCapReadTrack = "Read GPS track log";
constexpr const char* kCapReadWaypoints = "Read GPS waypoints";
constexpr const char* kCapUploadWaypoints = "Upload waypoints";

constexpr const char* kAckTimeout = "Timeout while waiting for ack. packet";
constexpr const char* kAckError = "COM port error while waiting for ack. packet";
constexpr const char* kBadAck = "Bad acknowledge packet type or format";

int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string coded(std::string_view code, std::string_view text) {
    std::string s(code);
    s += ' ';
    s += text;
    return s;
}

// Seconds left for the rest of a download, from the pace so far.
int64_t remaining_seconds(std::size_t total, std::size_t done, int64_t elapsed_ms) {
    if (done == 0) return kEstimateCapSeconds;
    const int64_t left = static_cast<int64_t>(total - std::min(total, done)) * (elapsed_ms / 1000) /
                         static_cast<int64_t>(done);
    return std::min(left, kEstimateCapSeconds);
}

}  // namespace

std::string elapsed_seconds_text(int64_t elapsed_ms) {
    // Milliseconds keep their leading zeros: 2005 ms is 2.005, not 2.5.
    return strformat("%lld.%03lld", static_cast<long long>(elapsed_ms / 1000),
                     static_cast<long long>(elapsed_ms % 1000));
}

Session::Session(PacketTransport& transport, Reporter& reporter, SessionOptions options)
    : transport_(transport), reporter_(reporter), options_(std::move(options)) {}

void Session::notify(const std::string& text) const {
    if (options_.notify) options_.notify(text);
}

void Session::status(const std::string& text) const { reporter_.status(text); }

// A failed write shows up as the missing answer that follows it, which is
// reported with its own code, so the result is not checked here.
void Session::send(const Packet& p) { (void)transport_.send_packet(p); }

int Session::fail(std::string_view caption, std::string_view text, bool abort_receiver) {
    if (abort_receiver) send_command(kCmdAbortTransfer);
    reporter_.job_error(text, caption);
    return -1;
}

int Session::fail_aborted() {
    send_command(kCmdAbortTransfer);
    status("Transfer aborted");
    return -1;
}

int Session::expect_ack(uint8_t id, int timeout_ms, std::string_view caption, std::string_view timeout_text,
                        std::string_view error_text, std::string_view bad_text, bool abort_on_bad) {
    const int r = receive(timeout_ms);
    if (r == kReceiveAborted) return fail_aborted();
    if (r == kReceiveTimeout) return fail(caption, timeout_text);
    if (r < 0) return fail(caption, error_text);
    if (!is_ack_of(packet_, id)) return fail(caption, bad_text, abort_on_bad);
    return 0;
}

void Session::fill_header(TrackLogHeader& header) const {
    header.product_name = "Garmin";
    header.instrument_description = product_.description;
    header.device_identity = ("Garmin: " + product_.description).substr(0, kDeviceIdentityMax);
}

// One attempt's wait: product data, possibly after an acknowledgement of the
// request. 1 when product data arrived, 0 for a miss, -1 after reporting.
int Session::wait_product_data() {
    for (int wait = 0; wait < 2; ++wait) {
        const int r = receive(kProductWaitMs);
        if (r == kReceiveAborted) {
            status("Transfer aborted");
            return -1;
        }
        if (r == kReceiveError) {
            reporter_.job_error("COM port read error", kCapRequesting);
            return -1;
        }
        if (r < 0) return 0;
        if (packet_.id == kPidProductData && packet_.size >= 5) return 1;
        if (wait > 0 || !is_ack_of(packet_, kPidProductRequest)) return 0;
    }
    return 0;
}

int Session::identify() {
    product_ = ProductData{};
    caps_.fill(0);
    bool found = false;
    const int attempts = identification_attempts(options_.timeout_seconds);
    for (int left = attempts; left > 0 && !found; --left) {
        if (aborted()) {
            status("Transfer aborted");
            return -1;
        }
        status(format_counts("Requesting product info (%)", left));
        product_ = ProductData{};
        send(make_packet(kPidProductRequest, {}));
        const int got = wait_product_data();
        if (got < 0) return -1;
        found = got > 0;
    }
    if (!found) {
        reporter_.job_error("No valid response from GPS", "Get GPS product data");
        return -1;
    }
    decode_product_data(packet_.bytes(), product_);
    status("Product data read");
    reporter_.product(product_.description);
    return capability_exchange();
}

int Session::capability_exchange() {
    caps_.fill(0);
    uint8_t last = kPidProductData;
    for (;;) {
        send_ack(last);
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) {
            status("Transfer aborted");
            return -1;
        }
        if (r == kReceiveError) {
            reporter_.job_error("COM port error while waiting for protocol capability packet", kCapRequesting);
            return -1;
        }
        if (r == kReceiveTimeout) {
            // Older receivers do not report their capabilities.
            if (!lookup_builtin_product(product_.product_id, product_.software_version, caps_)) {
                reporter_.job_error("GPS product ID not supported", kCapRequesting);
                return -1;
            }
            break;
        }
        if (packet_.id == kPidProtocolArray) {
            const int parsed =
                parse_protocol_array(packet_.bytes(), product_.product_id, product_.software_version, caps_);
            if (parsed == kCapBadSize) {
                reporter_.job_error("Bad protocol data packet", kCapRequesting);
                return -1;
            }
            if (parsed == kCapBadTag) {
                reporter_.job_error("Bad protocol tag character", kCapRequesting);
                return -1;
            }
            send_ack(kPidProtocolArray);
            break;
        }
        last = packet_.id;
    }
    if (const char* problem = check_capabilities(caps_)) {
        reporter_.job_error(problem, kCapReadProduct);
        return -1;
    }
    return 0;
}

int Session::read_track_log(std::vector<TrackPosition>& out) {
    const int protocol = caps_[kCapTrackProtocol];
    const int point_type = caps_[kCapTrackPointType];
    if (protocol == 0) return fail(kCapReadTrack, "E212 No track log protocol defined", false);

    status("Requesting track log download");
    send_command(kCmdTransferTrack);
    {
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) return fail_aborted();
        if (r == kReceiveTimeout) return fail(kCapReadTrack, "E200 Timeout while waiting for data packet");
        if (r < 0) return fail(kCapReadTrack, "E200 COM port error while waiting for data packet");
        if (!is_ack_of(packet_, kPidCommand)) return fail(kCapReadTrack, coded("E201", kBadAck));
    }
    {
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) return fail_aborted();
        if (r == kReceiveTimeout) return fail(kCapReadTrack, "E202 Timeout while waiting for record count packet");
        if (r < 0) return fail(kCapReadTrack, "E202 COM port error while waiting for count packet");
        if (packet_.id != kPidRecords || packet_.size < 2) return fail(kCapReadTrack, "E203 Bad record count packet");
    }
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
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) return fail_aborted();
        if (r == kReceiveTimeout) return fail(kCapReadTrack, "E205 Timeout while waiting for log data packet");
        if (r < 0) return fail(kCapReadTrack, "E205 COM port error while waiting for log data packet");
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
    {
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) return fail_aborted();
        if (r == kReceiveTimeout)
            return fail(kCapReadTrack, "E211 Timeout while waiting for transfer complete packet");
        if (r < 0) return fail(kCapReadTrack, "E211 COM port error while waiting for transfer complete packet");
        if (packet_.id != kPidTransferComplete || packet_.size < 2)
            return fail(kCapReadTrack, "E210 Bad transfer complete packet type or format");
    }
    send_ack(kPidTransferComplete);
    status(format_counts("% track positions read (", static_cast<long long>(positions.size())) +
           elapsed_seconds_text(now_ms() - start) + " secs)");
    if (options_.power_off) send_command(kCmdTurnOff);
    out = std::move(positions);
    return 0;
}

int Session::read_waypoints(WaypointList* out, const IdentitySink& identity) {
    const int type = caps_[kCapWaypointType];
    if (caps_[kCapWaypointProtocol] == 0)
        return fail(kCapReadWaypoints, "E310 No waypoint log protocol defined", false);

    status("Requesting waypoint download");
    send_command(kCmdTransferWaypoints);
    if (expect_ack(kPidCommand, kTransferWaitMs, kCapReadWaypoints, coded("E300", kAckTimeout),
                   coded("E300", kAckError), coded("E301", kBadAck)) < 0)
        return -1;
    {
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) return fail_aborted();
        if (r == kReceiveTimeout)
            return fail(kCapReadWaypoints, "E302 Timeout while waiting for record count packet");
        if (r < 0) return fail(kCapReadWaypoints, "E302 COM port error while waiting for count packet");
        if (packet_.id != kPidRecords || packet_.size < 2)
            return fail(kCapReadWaypoints, "E303 Bad record count packet");
    }
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
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) return fail_aborted();
        if (r == kReceiveTimeout)
            return fail(kCapReadWaypoints, "E305 Timeout while waiting for wpt. data packet");
        if (r < 0) return fail(kCapReadWaypoints, "E305 COM port error while waiting for wpt. data packet");
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
    {
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) return fail_aborted();
        if (r == kReceiveTimeout)
            return fail(kCapReadWaypoints, "E308 Timeout while waiting for transfer complete packet");
        if (r < 0) return fail(kCapReadWaypoints, "E308 COM port error while waiting for transfer complete packet");
        if (packet_.id != kPidTransferComplete || packet_.size < 2)
            return fail(kCapReadWaypoints, "E307 Bad transfer complete packet type or format");
    }
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
    const long long count = static_cast<long long>(std::min<std::size_t>(waypoints.size(), 0xFFFF));

    send(make_u16_packet(kPidRecords, static_cast<uint16_t>(count)));
    if (expect_ack(kPidRecords, kTransferWaitMs, kCapUploadWaypoints, coded("E400", kAckTimeout),
                   coded("E400", kAckError), coded("E401", kBadAck)) < 0)
        return -1;
    for (long long i = 1; i <= count; ++i) {
        if (aborted()) return fail_aborted();
        if (i % 5 == 0) status(format_counts("Sending waypoint % of %", i, count));
        send(make_packet(kPidWaypoint, encode_waypoint(waypoints[static_cast<std::size_t>(i - 1)], type)));
        notify(format_counts("Sent wpt %/%", i, count));
        if (expect_ack(kPidWaypoint, kTransferWaitMs, kCapUploadWaypoints, coded("E402", kAckTimeout),
                       coded("E402", kAckError), coded("E403", kBadAck)) < 0)
            return -1;
    }
    status(format_counts("Waypoint % of % sent", count, count));
    send(make_u16_packet(kPidTransferComplete, kCmdTransferWaypoints));
    if (expect_ack(kPidTransferComplete, kTransferWaitMs, kCapUploadWaypoints, coded("E404", kAckTimeout),
                   coded("E404", kAckError), coded("E405", kBadAck), false) < 0)
        return -1;
    if (options_.power_off) send_command(kCmdTurnOff);
    return 0;
}

int Session::upload_points_as_track(const std::vector<Waypoint>& points, int ctr_number, const std::string* name) {
    if (points.empty()) return 0;
    const char* caption = ctr_number > 0 ? "Upload CTR" : "Upload track log";
    const int protocol = caps_[kCapTrackProtocol];
    if (protocol == 0) return fail(caption, "E508 No track log protocol defined", false);
    const long long count = static_cast<long long>(std::min<std::size_t>(points.size(), 0xFFFE));

    // Only A301 has a header record here; the count announces exactly the
    // records that follow, so A302 receivers are not left waiting for one more.
    const bool header = protocol == 301;
    send(make_u16_packet(kPidRecords, static_cast<uint16_t>(count + (header ? 1 : 0))));
    if (expect_ack(kPidRecords, kTransferWaitMs, caption, coded("E500", kAckTimeout), coded("E500", kAckError),
                   coded("E501", kBadAck)) < 0)
        return -1;
    if (header) {
        std::string track_name = name ? name->substr(0, 50) : points.front().identifier;
        std::vector<uint8_t> d{1, 0};
        d.insert(d.end(), track_name.begin(), track_name.end());
        d.push_back(0);
        send(make_packet(kPidTrackHeader, d));
        if (expect_ack(kPidTrackHeader, kTransferWaitMs, caption, coded("E502", kAckTimeout),
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
        if (expect_ack(kPidTrackPoint, kTransferWaitMs, caption, coded("E504", kAckTimeout),
                       coded("E504", kAckError), coded("E505", kBadAck)) < 0)
            return -1;
    }
    status(ctr_number > 0 ? format_counts("CTR %: Point % of % sent", ctr_number, count, count)
                          : format_counts("Point % of % sent", count, count));
    send(make_u16_packet(kPidTransferComplete, kCmdTransferTrack));
    if (expect_ack(kPidTransferComplete, kTransferWaitMs, caption, coded("E506", kAckTimeout),
                   coded("E506", kAckError), coded("E507", kBadAck), false) < 0)
        return -1;
    if (options_.power_off_after_track_upload) send_command(kCmdTurnOff);
    return 0;
}

}  // namespace orlogix::garmin
