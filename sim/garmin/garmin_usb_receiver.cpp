#include "sim/garmin/garmin_usb_receiver.hpp"

#include <algorithm>

#include "core/report.hpp"
#include "protocols/garmin/link_codec.hpp"
#include "protocols/garmin/records.hpp"
#include "protocols/garmin/usb_packet.hpp"

namespace orlogix::sim {

using namespace orlogix::garmin;

namespace {

std::vector<uint8_t> u16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

int32_t le32(std::span<const uint8_t> d, std::size_t at) {
    return static_cast<int32_t>(d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<uint32_t>(d[at + 3]) << 24);
}

}  // namespace

GarminUsbReceiver::GarminUsbReceiver(GarminUsbConfig config) : config_(std::move(config)) {
    if (config_.receiver.report_capabilities && config_.receiver.protocols.empty())
        config_.receiver.protocols = default_protocols(config_.receiver);
}

int GarminUsbReceiver::find_devices(std::vector<std::string>& paths, std::string&) {
    paths = {"usb:001:002"};
    return 0;
}

int GarminUsbReceiver::open(const std::string& path, std::string& why) {
    if (path != "usb:001:002") {
        why = "No such device";
        return -1;
    }
    open_ = true;
    return 0;
}

void GarminUsbReceiver::queue(std::deque<Chunk>& pipe, const std::vector<uint8_t>& packet, std::size_t chunk) {
    for (std::size_t at = 0; at < packet.size(); at += chunk) {
        const std::size_t end = std::min(packet.size(), at + chunk);
        pipe.push_back({false, std::vector<uint8_t>(packet.begin() + static_cast<long>(at),
                                                    packet.begin() + static_cast<long>(end))});
    }
    if (config_.zero_length && packet.size() % chunk == 0) pipe.push_back({true, {}});
}

void GarminUsbReceiver::reply_usb_layer(uint16_t id, std::span<const uint8_t> data) {
    queue(interrupt_, encode_usb_packet(kUsbProtocolLayer, id, data), 64);
}

void GarminUsbReceiver::reply(uint16_t id, std::span<const uint8_t> data) {
    const std::vector<uint8_t> packet = encode_usb_packet(kUsbApplicationLayer, id, data);
    if (config_.bulk) {
        if (interrupt_.empty() && bulk_.empty()) reply_usb_layer(kUsbDataAvailable, {});
        queue(bulk_, packet, 4096);
    } else {
        queue(interrupt_, packet, 64);
    }
}

UsbTransfer GarminUsbReceiver::bulk_write(const uint8_t* data, std::size_t count, int) {
    if (!open_) return {UsbStatus::NoDevice, 0};
    const std::span<const uint8_t> bytes(data, count);
    UsbHeader h;
    if (complete_usb_packet(bytes) && decode_usb_header(bytes, h))
        handle(h.type, h.id, bytes.subspan(kUsbHeaderSize));
    else
        reports.push_back("bad packet");
    return {UsbStatus::Done, count};
}

void GarminUsbReceiver::handle(uint8_t type, uint16_t id, std::span<const uint8_t> d) {
    const GarminConfig& c = config_.receiver;
    if (type == kUsbProtocolLayer) {
        if (id == kUsbStartSession) {
            interrupt_.clear();
            bulk_.clear();
            const uint32_t u = config_.unit_id;
            const std::vector<uint8_t> unit{static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                                            static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
            // In bulk mode the receiver announces the answer and sends it on the bulk pipe.
            session_started_ = false;
            if (config_.bulk) {
                reply_usb_layer(kUsbDataAvailable, {});
                queue(bulk_, encode_usb_packet(kUsbProtocolLayer, kUsbSessionStarted, unit), 4096);
            } else {
                reply_usb_layer(kUsbSessionStarted, unit);
            }
        }
        return;
    }
    switch (id) {
        case kPidProductRequest:
            reply(kPidProductData, encode_product_data(c.product));
            if (config_.endless_248) {
                reply(248, {});
            } else if (c.report_capabilities) {
                std::vector<uint8_t> caps = encode_protocol_array(c.protocols);
                if (config_.odd_capabilities) caps.push_back(0);
                reply(kPidProtocolArray, caps);
            }
            return;
        case kPidCommand: {
            const uint16_t command = d.size() >= 2 ? static_cast<uint16_t>(d[0] | d[1] << 8) : 0xFFFF;
            if (command == kCmdTurnOff) reports.push_back("power off");
            if (command == kCmdTransferTrack) {
                const bool header = c.track_protocol == 301 || c.track_protocol == 302;
                reply(kPidRecords, u16(static_cast<uint16_t>(c.track.size() + (header ? 1 : 0))));
                if (header) reply(kPidTrackHeader, encode_track_header(c.track_header_type, c.track_name, 0));
                for (const TrackPosition& p : c.track) reply(kPidTrackPoint, encode_track_point(p, c.track_point_type));
                reply(kPidTransferComplete, u16(kCmdTransferTrack));
            } else if (command == kCmdTransferWaypoints) {
                reply(kPidRecords, u16(static_cast<uint16_t>(c.waypoints.size())));
                for (const Waypoint& w : c.waypoints) reply(kPidWaypoint, encode_waypoint(w, c.waypoint_type));
                reply(kPidTransferComplete, u16(kCmdTransferWaypoints));
            }
            return;
        }
        case kPidRecords: reports.push_back(strformat("records %d", d.size() >= 2 ? d[0] | d[1] << 8 : -1)); return;
        case kPidWaypoint: {
            Waypoint w;
            if (decode_waypoint(d, c.waypoint_type, 0, w) != 0) {
                reports.push_back("bad waypoint");
                return;
            }
            reports.push_back(strformat("waypoint %s %d %d", w.identifier.c_str(), w.latitude, w.longitude));
            return;
        }
        case kPidTrackHeader: reports.push_back("track header"); return;
        case kPidTrackPoint:
            if (d.size() < 8) return;
            reports.push_back(strformat("track point %d %d size %zu", le32(d, 0), le32(d, 4), d.size()));
            return;
        case kPidTransferComplete:
            reports.push_back(strformat("transfer complete %d", d.size() >= 2 ? d[0] | d[1] << 8 : -1));
            return;
        default: reports.push_back(strformat("packet %d", id)); return;
    }
}

UsbTransfer GarminUsbReceiver::take(std::deque<Chunk>& pipe, uint8_t* buffer, std::size_t max, int timeout_ms) {
    if (!open_) return {UsbStatus::NoDevice, 0};
    if (pipe.empty()) {
        clock_.advance(timeout_ms);
        return {UsbStatus::TimedOut, 0};
    }
    if (&pipe == &bulk_ && config_.bulk_reads_fail && session_started_) return {UsbStatus::Failed, 0};
    Chunk c = std::move(pipe.front());
    pipe.pop_front();
    clock_.advance(1);  // a transfer takes its time
    if (config_.endless_248 && pipe.empty() && c.bytes.size() > 4 && c.bytes[4] == 248) queue(pipe, c.bytes, 64);
    if (c.zero_length) return {UsbStatus::ZeroLength, 0};
    if (c.bytes.size() > 4 && c.bytes[0] == kUsbProtocolLayer && c.bytes[4] == kUsbSessionStarted) session_started_ = true;
    if (c.bytes.size() > max) return {UsbStatus::Overflow, 0};
    std::copy(c.bytes.begin(), c.bytes.end(), buffer);
    return {UsbStatus::Done, c.bytes.size()};
}

UsbTransfer GarminUsbReceiver::bulk_read(uint8_t* buffer, std::size_t max, int timeout_ms) {
    return take(bulk_, buffer, max, timeout_ms);
}

UsbTransfer GarminUsbReceiver::interrupt_read(uint8_t* buffer, std::size_t max, int timeout_ms) {
    return take(interrupt_, buffer, max, timeout_ms);
}

}  // namespace orlogix::sim
