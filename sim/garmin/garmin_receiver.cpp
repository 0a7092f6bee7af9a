#include "sim/garmin/garmin_receiver.hpp"

#include <algorithm>
#include <charconv>

#include "core/report.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

using namespace orlogix::garmin;

std::vector<ProtocolEntry> default_protocols(const GarminConfig& c) {
    std::vector<ProtocolEntry> e{{'P', 0}, {'L', 1}, {'A', 10}, {'A', 100},
                                 {'D', static_cast<uint16_t>(c.waypoint_type)}};
    if (c.track_protocol != 0) {
        e.push_back({'A', static_cast<uint16_t>(c.track_protocol)});
        if (c.track_protocol != 300) e.push_back({'D', static_cast<uint16_t>(c.track_header_type)});
        e.push_back({'D', static_cast<uint16_t>(c.track_point_type)});
    }
    return e;
}

namespace {

bool track_has_header(const GarminConfig& c) { return c.track_protocol == 301 || c.track_protocol == 302; }
std::size_t track_records(const GarminConfig& c) { return c.track.size() + (track_has_header(c) ? 1 : 0); }

}  // namespace

std::string transfer_problem(const GarminConfig& c) {
    if (track_records(c) > kMaxTransferRecords)
        return strformat("Track log too long: %zu records, a Garmin transfer counts at most %zu", track_records(c),
                         kMaxTransferRecords);
    if (c.waypoints.size() > kMaxTransferRecords)
        return strformat("Too many waypoints: %zu, a Garmin transfer counts at most %zu", c.waypoints.size(),
                         kMaxTransferRecords);
    return {};
}

std::vector<TrackPosition> generated_track(std::size_t count) {
    std::vector<TrackPosition> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        TrackPosition& p = out[i];
        p.flags = i == 0 ? kSegmentStart : 0;
        p.time = 1000000000u + static_cast<uint32_t>(5 * i);
        p.latitude = 545000000 + static_cast<int32_t>(i * 1000);
        p.longitude = 73000000 - static_cast<int32_t>(i * 700);
        p.gps_altitude = 5000 + static_cast<int32_t>(i % 2000) * 10;
    }
    return out;
}

std::vector<Waypoint> generated_waypoints(std::size_t count) {
    std::vector<Waypoint> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        Waypoint& w = out[i];
        w.identifier = "WP" + std::to_string(i % 10000);
        w.comment = "GENERATED " + std::to_string(i);
        w.latitude = 550000000 + static_cast<int32_t>(i * 50000);
        w.longitude = 70000000 + static_cast<int32_t>((i % 7) * 40000);
        w.height = 300 + static_cast<int32_t>(i * 10 % 2500);
        w.airfield = i % 3 == 0 ? 1 : 0;
    }
    return out;
}

GarminReceiver::GarminReceiver(GarminConfig config) : config_(std::move(config)) {
    if (config_.report_capabilities && config_.protocols.empty()) config_.protocols = default_protocols(config_);
}

void GarminReceiver::on_bytes(std::string_view bytes) {
    for (char c : bytes)
        if (frames_.feed(static_cast<uint8_t>(c)) == FeedResult::Complete) handle(frames_.packet());
}

void GarminReceiver::send_now(const Packet& p) { reply(encode_frame(p)); }

void GarminReceiver::send_next() {
    awaiting_ack_ = !outgoing_.empty();
    if (awaiting_ack_) send_now(outgoing_.front());
}

void GarminReceiver::handle(const Packet& p) {
    if (p.id == kPidAck) {
        if (awaiting_ack_ && is_ack_of(p, outgoing_.front().id)) {
            outgoing_.pop_front();
            send_next();
        }
        return;
    }
    if (p.id != kPidProductRequest || config_.ack_product_request) send_now(make_ack(p.id));
    switch (p.id) {
    case kPidProductRequest:
        outgoing_.clear();
        outgoing_.push_back(make_packet(kPidProductData, encode_product_data(config_.product)));
        if (config_.report_capabilities)
            outgoing_.push_back(make_packet(kPidProtocolArray, encode_protocol_array(config_.protocols)));
        send_next();
        break;
    case kPidCommand:
        if (packet_u16(p) >= 0) handle_command(static_cast<uint16_t>(packet_u16(p)));
        break;
    default:
        handle_upload(p);
        break;
    }
}

void GarminReceiver::handle_command(uint16_t command) {
    switch (command) {
    case kCmdAbortTransfer:
        outgoing_.clear();
        awaiting_ack_ = false;
        report("abort transfer");
        return;
    case kCmdTurnOff:
        report("power off");
        return;
    case kCmdTransferTrack: {
        outgoing_.clear();
        const bool header = track_has_header(config_);
        const std::size_t count = track_records(config_);
        // A count cut to 16 bits would announce fewer records than follow.
        if (count > kMaxTransferRecords) {
            report("track log too long");
            return;
        }
        outgoing_.push_back(make_u16_packet(kPidRecords, static_cast<uint16_t>(count)));
        if (header)
            outgoing_.push_back(make_packet(kPidTrackHeader,
                                            encode_track_header(config_.track_header_type, config_.track_name, 0)));
        for (const TrackPosition& pos : config_.track)
            outgoing_.push_back(make_packet(kPidTrackPoint, encode_track_point(pos, config_.track_point_type)));
        outgoing_.push_back(make_u16_packet(kPidTransferComplete, kCmdTransferTrack));
        send_next();
        return;
    }
    case kCmdTransferWaypoints:
        outgoing_.clear();
        if (config_.waypoints.size() > kMaxTransferRecords) {
            report("too many waypoints");
            return;
        }
        outgoing_.push_back(make_u16_packet(kPidRecords, static_cast<uint16_t>(config_.waypoints.size())));
        for (const Waypoint& w : config_.waypoints)
            outgoing_.push_back(make_packet(kPidWaypoint, encode_waypoint(w, config_.waypoint_type)));
        outgoing_.push_back(make_u16_packet(kPidTransferComplete, kCmdTransferWaypoints));
        send_next();
        return;
    default:
        report("unknown command " + std::to_string(command));
        return;
    }
}

void GarminReceiver::handle_upload(const Packet& p) {
    switch (p.id) {
    case kPidRecords:
        upload_records_ = static_cast<std::size_t>(std::max(0, packet_u16(p)));
        report("records " + std::to_string(upload_records_));
        return;
    case kPidWaypoint: {
        Waypoint w;
        if (decode_waypoint(p.bytes(), config_.waypoint_type, 0, w) != kWptDecoded) {
            report("bad waypoint record");
            return;
        }
        report(strformat("waypoint %s %d %d %d %d %s", w.identifier.c_str(), w.latitude, w.longitude, w.height,
                         w.airfield, w.comment.c_str()));
        // Kept like a receiver's memory: a waypoint of the same name is replaced.
        const auto same = std::find_if(config_.waypoints.begin(), config_.waypoints.end(),
                                       [&w](const Waypoint& k) { return k.identifier == w.identifier; });
        if (same != config_.waypoints.end()) *same = std::move(w);
        else if (config_.waypoints.size() < kMaxTransferRecords) config_.waypoints.push_back(std::move(w));
        return;
    }
    case kPidTrackHeader: {
        std::string name;
        decode_track_header(p.bytes(), 310, name);
        report("track header " + name);
        return;
    }
    case kPidTrackPoint: {
        TrackPosition pos;
        const int type = config_.track_protocol == 302 ? 302 : config_.track_protocol == 301 ? 301 : 300;
        if (decode_track_point(p.bytes(), type, pos) < 0) {
            report("bad track point record");
            return;
        }
        report(strformat("track point %d %d", pos.latitude, pos.longitude));
        return;
    }
    case kPidTransferComplete:
        report("transfer complete " + std::to_string(packet_u16(p)));
        return;
    default:
        report("unexpected packet " + std::to_string(p.id));
        return;
    }
}

namespace {

bool parse_number(const std::string& text, int& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "L1,A10,A100,D108": tag letters with their numbers.
bool parse_protocols(const std::string& text, std::vector<ProtocolEntry>& out) {
    out.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(at, comma - at);
        int n = 0;
        if (item.size() < 2 || !parse_number(item.substr(1), n) || n < 0 || n > 0xFFFF) return false;
        out.push_back({item[0], static_cast<uint16_t>(n)});
        at = comma + 1;
    }
    return !out.empty();
}

}  // namespace

int garmin_config(const FamilyOptions& options, Reporter& r, GarminConfig& c) {
    c.track = options.track.positions;
    c.waypoints = options.waypoints;
    auto bad = [&r](const std::string& key, const std::string& value) {
        r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
        return -1;
    };
    for (const auto& [key, value] : options.settings) {
        int n = 0;
        const bool number = parse_number(value, n);
        if (key == "description") {
            c.product.description = value;
        } else if (key == "track_name") {
            c.track_name = value;
        } else if (key == "capabilities") {
            if (value == "none") c.report_capabilities = false;
            else if (!parse_protocols(value, c.protocols)) return bad(key, value);
        } else if (key == "ack_request") {
            if (value != "on" && value != "off") return bad(key, value);
            c.ack_product_request = value == "on";
        } else if (!number || n < 0 || n > 0xFFFF) {
            return bad(key, value);
        } else if (key == "product") {
            c.product.product_id = static_cast<uint16_t>(n);
        } else if (key == "version") {
            c.product.software_version = static_cast<uint16_t>(n);
        } else if (key == "track_protocol") {
            if (n != 0 && (n < 300 || n > 302)) return bad(key, value);
            c.track_protocol = n;
        } else if (key == "track_header") {
            if (n < 310 || n > 312) return bad(key, value);
            c.track_header_type = n;
        } else if (key == "track_point") {
            if (!is_track_point_type(n)) return bad(key, value);
            c.track_point_type = n;
        } else if (key == "waypoint_type") {
            if (!is_waypoint_type(n)) return bad(key, value);
            c.waypoint_type = n;
        } else if (key == "points") {
            if (c.track.empty()) c.track = generated_track(static_cast<std::size_t>(n));
        } else if (key == "wpts") {
            if (c.waypoints.empty()) c.waypoints = generated_waypoints(static_cast<std::size_t>(n));
        }
    }
    // Refused here rather than at the first transfer: no receiver holds that much.
    if (const std::string problem = transfer_problem(c); !problem.empty()) {
        r.error_box("orlogix-sim", problem);
        return -1;
    }
    return 0;
}

namespace {

std::unique_ptr<Instrument> make_garmin(const FamilyOptions& options, Reporter& r) {
    std::vector<std::string_view> keys(kGarminSettingKeys.begin(), kGarminSettingKeys.end());
    GarminConfig c;
    if (check_setting_keys(r, "garmin", options.settings, keys) < 0 || garmin_config(options, r, c) < 0) return nullptr;
    return std::make_unique<GarminReceiver>(std::move(c));
}

}  // namespace

void register_garmin_family(FamilyRegistry& registry) {
    registry.add("garmin",
                 "Garmin serial receiver; product, version, description, capabilities=none|L1,A10,..., "
                 "track_protocol, track_header, track_point, waypoint_type, ack_request=on|off, points=N, wpts=N, "
                 "track_name",
                 make_garmin);
}

}  // namespace orlogix::sim
