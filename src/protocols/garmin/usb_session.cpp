#include "protocols/garmin/usb_session.hpp"

#include <new>

#include "access/clock.hpp"
#include "access/debug_trace.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/garmin/link_codec.hpp"

namespace orlogix::garmin {

namespace {

constexpr const char* kCaptionProduct = "Read GPS product data";
constexpr const char* kCaptionTrack = "Read track log";
constexpr const char* kCaptionWaypoints = "Read waypoints";
constexpr const char* kCaptionUpload = "Upload waypoints";
// A receiver that keeps sending packet 248 instead of its capabilities.
constexpr int64_t kCapabilityWaitMs = 5000;

void trace_line(std::string_view text) {
    trace_text(text);
    trace_text("\r\n");
}

std::vector<uint8_t> u16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

uint16_t data_u16(std::span<const uint8_t> d) { return static_cast<uint16_t>(d[0] | d[1] << 8); }

}  // namespace

UsbSession::UsbSession(UsbTransport& usb, Reporter& reporter, UsbSessionOptions options)
    : link_(usb), usb_(usb), reporter_(reporter), options_(std::move(options)) {}

int UsbSession::fail(std::string_view caption, std::string_view text) {
    reporter_.job_error(text, caption);
    return -1;
}

int UsbSession::stop_aborted() {
    // A new session start is what makes the receiver drop the transfer.
    link_.send(kUsbProtocolLayer, kUsbStartSession);
    reporter_.status("Transfer aborted");
    return -1;
}

int UsbSession::send_app(uint8_t id, std::span<const uint8_t> data, std::string_view caption,
                         std::string_view error) {
    return link_.send(kUsbApplicationLayer, id, data) == 0 ? 0 : fail(caption, error);
}

int UsbSession::send_command(uint16_t command, std::string_view caption, std::string_view error) {
    const std::vector<uint8_t> d = u16(command);
    return send_app(kPidCommand, d, caption, error);
}

int UsbSession::receive(std::string_view caption, int base) {
    const int r = link_.receive();
    if (r == 0) return 0;
    return fail(caption, strformat("E%d Packet read error", base - r));
}

int UsbSession::identify() {
    std::string error;
    if (link_.start_session(unit_id_, error) != 0) return fail(kCaptionProduct, error);
    trace_text("Unit ID = ");
    trace_line(std::to_string(unit_id_));
    trace_line("Requesting product information");
    reporter_.status("Requesting product information");
    if (send_app(kPidProductRequest, {}, kCaptionProduct, "E104 Bulk OUT error") < 0) return -1;
    if (receive(kCaptionProduct, 104) < 0) return -1;
    if (link_.header().id != kPidProductData || link_.data().size() <= 4 ||
        decode_product_data(link_.data(), product_) != 0)
        return fail(kCaptionProduct, "E114 Bad product data packet");
    reporter_.status("Product data read");
    reporter_.product(product_.description);
    caps_.fill(0);
    caps_[kCapProduct] = product_.product_id;
    caps_[kCapVersionLow] = product_.software_version;

    const int64_t start = usb_.clock().now_ms();
    for (;;) {
        if (receive(kCaptionProduct, 114) < 0) return -1;
        const uint16_t id = link_.header().id;
        if (id == 248) {
            if (usb_.clock().now_ms() - start >= kCapabilityWaitMs)
                return fail(kCaptionProduct, "E124 Bad protocol array data packet");
            continue;
        }
        if (id != kPidProtocolArray) return fail(kCaptionProduct, "E124 Bad protocol array data packet");
        const int parsed = parse_protocol_array(link_.data(), product_.product_id, product_.software_version, caps_);
        if (parsed == kCapBadSize) return fail(kCaptionProduct, "E125 Bad protocol data packet");
        if (parsed == kCapBadTag) return fail(kCaptionProduct, "E126 Bad protocol tag character");
        if (const char* problem = check_capabilities(caps_)) return fail(kCaptionProduct, problem);
        return 0;
    }
}

void UsbSession::fill_header(TrackLogHeader& header) const {
    header.product_name = "Garmin";
    header.instrument_description = product_.description;
    header.device_identity = strformat("Garmin USB: %u", unit_id_).substr(0, kDeviceIdentityMax);
}

int UsbSession::read_track_log(std::vector<TrackPosition>& out) {
    const int protocol = caps_[kCapTrackProtocol];
    const int point_type = caps_[kCapTrackPointType];
    if (protocol == 0) return fail(kCaptionTrack, "E237 No track log protocol defined");
    trace_line("Requesting track log");
    reporter_.status("Requesting track log download");
    if (send_command(kCmdTransferTrack, kCaptionTrack, "E203 Bulk OUT error") < 0) return -1;
    if (receive(kCaptionTrack, 203) < 0) return -1;
    if (link_.header().id != kPidRecords || link_.data().size() < 2)
        return fail(kCaptionTrack, "E213 Bad record count packet");
    const std::size_t n = data_u16(link_.data());
    std::vector<TrackPosition> positions;
    try {
        positions.reserve(n);
    } catch (const std::bad_alloc&) {
        return fail(kCaptionTrack, "E214 Track log memory allocation");
    }
    for (std::size_t i = 1; i <= n; ++i) {
        if (aborted()) return stop_aborted();
        if (receive(kCaptionTrack, 214) < 0) return -1;
        const uint16_t id = link_.header().id;
        if (id == kPidTrackPoint) {
            TrackPosition p;
            if (decode_track_point(link_.data(), point_type, p) < 0)
                return fail(kCaptionTrack, "E224 Packet type/length mismatch");
            if (positions.empty()) p.flags |= kSegmentStart;
            positions.push_back(p);
            reporter_.progress_position(p.time, p.latitude, p.longitude, p.gps_altitude);
        } else if (id == kPidTrackHeader) {
            if (protocol == 300) return fail(kCaptionTrack, "E225 Packet type/protocol mismatch");
        } else {
            return fail(kCaptionTrack, "E226 Bad data packet");
        }
        if (i == 2) reporter_.status("Receiving track positions");
    }
    if (receive(kCaptionTrack, 226) < 0) return -1;
    if (link_.header().id != kPidTransferComplete || link_.data().size() < 2)
        return fail(kCaptionTrack, "E236 Bad transfer complete packet type or format");
    reporter_.status(format_counts("% track positions read", static_cast<long long>(positions.size())));
    if (options_.power_off) send_command(kCmdTurnOff, kCaptionTrack, "E203 Bulk OUT error");
    out = std::move(positions);
    return 0;
}

int UsbSession::read_waypoints(WaypointList* out, const IdentitySink& identity) {
    const int type = caps_[kCapWaypointType];
    if (caps_[kCapWaypointProtocol] == 0) return fail(kCaptionWaypoints, "E336 No waypoint protocol defined");
    trace_line("Requesting waypoints");
    reporter_.status("Requesting waypoint download");
    if (send_command(kCmdTransferWaypoints, kCaptionWaypoints, "E303 Bulk OUT error") < 0) return -1;
    if (receive(kCaptionWaypoints, 303) < 0) return -1;
    if (link_.header().id != kPidRecords || link_.data().size() < 2)
        return fail(kCaptionWaypoints, "E313 Bad record count packet");
    const std::size_t count = data_u16(link_.data());
    const uint32_t now = options_.now ? options_.now() : time_now();
    std::vector<Waypoint> received;
    if (out) {
        try {
            received.reserve(count);
        } catch (const std::bad_alloc&) {
            return fail(kCaptionWaypoints, "E314 Track log memory allocation");
        }
    }
    for (std::size_t i = 1; i <= count; ++i) {
        // Polled here too: a receiver that sends slowly can be stopped.
        if (aborted()) return stop_aborted();
        if (receive(kCaptionWaypoints, 314) < 0) return -1;
        Waypoint w;
        if (link_.header().id != kPidWaypoint) return fail(kCaptionWaypoints, "E324 Bad waypoint data packet");
        const int decoded = decode_waypoint(link_.data(), type, now, w);
        if (decoded == -1) return fail(kCaptionWaypoints, "E324 Bad waypoint data packet");
        if (decoded < 0) return fail(kCaptionWaypoints, "E325 Bad waypoint data packet");
        if (options_.notify) options_.notify(strformat("Waypoint count %d", static_cast<int>(i)));
        if (out) {
            if (received.empty()) reporter_.status("Receiving waypoints");
            received.push_back(std::move(w));
        } else if (identity) {
            identity(w.identifier, semicircles_to_radians(w.latitude, w.longitude));
        }
    }
    if (receive(kCaptionWaypoints, 325) < 0) return -1;
    if (link_.header().id != kPidTransferComplete || link_.data().size() < 2)
        return fail(kCaptionWaypoints, "E335 Bad transfer complete packet type or format");
    if (out) {
        reporter_.status(format_counts("% waypoints read", static_cast<long long>(received.size())));
        out->replace(std::move(received));
    }
    return 0;
}

int UsbSession::upload_waypoints(const std::vector<Waypoint>& waypoints) {
    if (waypoints.empty()) return 0;
    if (caps_[kCapWaypointProtocol] == 0) return fail(kCaptionUpload, "E406 No waypoint protocol defined");
    // The records packet counts in 16 bits: a longer list is refused, not cut.
    if (waypoints.size() > 0xFFFF)
        return fail(kCaptionUpload, format_counts("Too many waypoints for one transfer (%, at most %)",
                                              static_cast<long long>(waypoints.size()), 0xFFFF));
    const std::vector<uint8_t> count = u16(static_cast<uint16_t>(waypoints.size()));
    if (send_app(kPidRecords, count, kCaptionUpload, "E403 Bulk OUT error") < 0) return -1;
    for (const Waypoint& w : waypoints)
        if (send_app(kPidWaypoint, encode_waypoint(w, caps_[kCapWaypointType]), kCaptionUpload, "E404 Bulk OUT error") < 0)
            return -1;
    const std::vector<uint8_t> done = u16(kCmdTransferWaypoints);
    if (send_app(kPidTransferComplete, done, kCaptionUpload, "E405 Bulk OUT error") < 0) return -1;
    reporter_.status("Transfer completed");
    if (options_.power_off) send_command(kCmdTurnOff, kCaptionUpload, "E405 Bulk OUT error");
    return 0;
}

int UsbSession::upload_points_as_track(const std::vector<Waypoint>& points, int ctr_number, const std::string* name) {
    if (points.empty()) return 0;
    const char* caption = ctr_number > 0 ? "Upload CTR" : "Upload track log";
    const int protocol = caps_[kCapTrackProtocol];
    if (protocol == 0) return fail(caption, "E509 No track log protocol defined");
    if (points.size() > 0xFFFE)
        return fail(caption, format_counts("Too many points for one transfer (%, at most %)",
                                           static_cast<long long>(points.size()), 0xFFFE));
    // Only A301 has a header record: the count announces exactly the records sent.
    const bool header = protocol == 301;
    const std::vector<uint8_t> count = u16(static_cast<uint16_t>(points.size() + (header ? 1 : 0)));
    if (send_app(kPidRecords, count, caption, "E503 Bulk OUT error") < 0) return -1;
    if (header) {
        const std::string track_name = name ? name->substr(0, 50) : points.front().identifier;
        std::vector<uint8_t> d{1, 0};
        d.insert(d.end(), track_name.begin(), track_name.end());
        d.push_back(0);
        if (send_app(kPidTrackHeader, d, caption, "E504 Bulk OUT error") < 0) return -1;
    }
    const std::size_t size = protocol == 300 ? 13 : protocol == 301 ? 21 : 25;
    const char* error = protocol == 300 ? "E505 Bulk OUT error" : protocol == 301 ? "E506 Bulk OUT error"
                                                                                   : "E507 Bulk OUT error";
    for (const Waypoint& w : points) {
        std::vector<uint8_t> d(size, 0);
        for (int b = 0; b < 4; ++b) {
            d[static_cast<std::size_t>(b)] = static_cast<uint8_t>(static_cast<uint32_t>(w.latitude) >> (8 * b));
            d[static_cast<std::size_t>(4 + b)] = static_cast<uint8_t>(static_cast<uint32_t>(w.longitude) >> (8 * b));
        }
        if (send_app(kPidTrackPoint, d, caption, error) < 0) return -1;
    }
    const std::vector<uint8_t> done = u16(kCmdTransferTrack);
    if (send_app(kPidTransferComplete, done, caption, "E508 Bulk OUT error") < 0) return -1;
    reporter_.status("Transfer completed");
    if (options_.power_off_after_track_upload) send_command(kCmdTurnOff, caption, "E508 Bulk OUT error");
    return 0;
}

}  // namespace orlogix::garmin
