#include "sim/topnav/topnav_instrument.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/units.hpp"
#include "protocols/topnav/fields.hpp"
#include "protocols/topnav/waypoints.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

constexpr uint32_t kDay = 86400;
constexpr int kBlockSeconds = 30;

std::string hex(uint32_t v, int digits) {
    return strformat("%0*X", digits, static_cast<unsigned>(v & ((digits >= 8 ? 0 : 1u << (4 * digits)) - 1)));
}

std::string coordinate(int32_t semicircles) {
    return hex(static_cast<uint32_t>(topnav::semicircles_to_sixthousandths(semicircles)), 6);
}

std::string height(int32_t metres) { return hex(static_cast<uint32_t>(std::clamp(metres, -32768, 32767)), 4); }

// Latitude, longitude and the heights of the variant.
std::string fix_fields(const TrackPosition& p, int variant) {
    const int32_t gps = gps_altitude_metres(p.gps_altitude);
    std::string out = coordinate(p.latitude) + coordinate(p.longitude);
    if (variant == 0) out += height(p.baro_altitude);
    else if (variant == 1) out += height(gps);
    else out += height(p.baro_altitude) + height(gps);
    return out;
}

std::vector<TrackPosition> in_time_order(std::vector<TrackPosition> p) {
    std::stable_sort(p.begin(), p.end(), [](const auto& a, const auto& b) { return a.time < b.time; });
    return p;
}

}  // namespace

std::vector<std::string> block_log_lines(const TopNavConfig& c) {
    std::vector<std::string> lines;
    const std::vector<TrackPosition> fixes = in_time_order(c.positions);
    const uint32_t first = fixes.empty() ? 0 : fixes.front().time;
    const CalendarTime day = calendar_from_time(first);
    std::string start = "@TN0";
    start += static_cast<char>('0' + c.variant);
    start += hex(c.serial, 4) + "000000" + strformat("%02d%02d%02d", day.year % 100, day.month, day.day);
    start += strformat("%02d%02d%02d00", day.hour, day.minute, day.second) + "00";
    start.resize(78, '0');
    lines.push_back(start + "\r\n");

    const std::size_t entry_length = c.variant == 2 ? 34 : 30;
    const std::string bad(entry_length, '-');
    const std::string tail = std::string(entry_length - 3 - (c.variant == 2 ? 20 : 16), '0') + "000";
    std::size_t i = 0;
    while (i < fixes.size()) {
        const uint32_t s = fixes[i].time;
        std::map<int, const TrackPosition*> at;
        std::size_t next = i;
        for (; next < fixes.size() && fixes[next].time < s + kBlockSeconds; ++next)
            at.emplace(static_cast<int>(fixes[next].time - s), &fixes[next]);
        const bool closing = next == fixes.size();
        int lead = 0;
        while (lead < kBlockSeconds && at.count(lead)) ++lead;
        int trail = kBlockSeconds;
        while (!closing && trail > lead && at.count(trail - 1)) --trail;

        const CalendarTime t = calendar_from_time(s);
        lines.push_back(strformat("%02d%02d%02d", t.hour, t.minute, t.second) + "00000" + "0AC\r\n");
        const int entries = closing ? lead : kBlockSeconds;
        for (int k = 0; k < entries; ++k) {
            const bool good = k < lead || k >= trail;
            lines.push_back((good ? fix_fields(*at[k], c.variant) + tail : bad) + "\r\n");
        }
        i = next;
    }
    lines.push_back("@EOF\r\n");
    return lines;
}

std::vector<std::string> mxp_log_lines(const TopNavConfig& c) {
    std::vector<TrackPosition> fixes = in_time_order(c.positions);
    if (fixes.size() > 0xFFFF) fixes.resize(0xFFFF);
    const uint32_t start = fixes.empty() ? 0 : fixes.front().time;
    const CalendarTime t = calendar_from_time(start);
    auto with_sum = [](std::string text) { return text + hex(topnav::xor_of(text), 2) + "\r\n"; };
    std::vector<std::string> lines;
    std::string header = c.xc_trainer ? "@xc" : "@tn";
    header += c.version.substr(0, 4) + hex(c.serial, 4) + "00";
    header += strformat("%02d%02d%02d%02d%02d%02d", t.year % 100, t.month, t.day, t.hour, t.minute, t.second);
    header += "01" + hex(static_cast<uint32_t>(fixes.size()), 4) + "01";
    header += static_cast<char>('0' + c.variant);
    header += "00";
    lines.push_back(with_sum(header));
    for (std::size_t i = 0; i < fixes.size(); ++i)
        lines.push_back(with_sum(hex(static_cast<uint32_t>(i + 1), 4) + hex(fixes[i].time - start, 4) + "01" +
                                 fix_fields(fixes[i], c.variant)));
    return lines;
}

std::vector<std::string> waypoint_lines(const std::vector<Waypoint>& waypoints) {
    std::vector<std::string> lines;
    for (const Waypoint& w : waypoints) {
        std::string id = w.identifier.substr(0, 6);
        id.resize(6, '_');
        auto dms = [](int32_t semicircles, char positive, char negative) {
            const long long s = std::llround(std::fabs(semicircle_to_degrees(semicircles)) * 3600);
            return strformat("%c %lld %lld %lld", semicircles < 0 ? negative : positive, s / 3600, s / 60 % 60,
                             s % 60);
        };
        lines.push_back(id + " 1 TPT " + dms(w.latitude, 'N', 'S') + " " + dms(w.longitude, 'E', 'W') + " " +
                        std::to_string(w.height) + " m\r\n");
    }
    lines.push_back("@EOF\r\n");
    return lines;
}

void TopNavInstrument::on_purge() {
    // The first purge is the program ready to listen; the user starts sending.
    if (started_) return;
    started_ = true;
    if (config_.send_waypoints) {
        if (config_.xc_trainer) {
            for (const Waypoint& w : config_.waypoints) {
                const topnav::WaypointPacket p = topnav::encode_waypoint_packet(w);
                waypoint_items_.emplace_back(reinterpret_cast<const char*>(p.data()), p.size());
            }
        } else {
            waypoint_items_ = waypoint_lines(config_.waypoints);
        }
        send_next_waypoint();
        return;
    }
    if (!config_.log.empty()) {
        reply(config_.log);
        report(strformat("log sent: %zu bytes", config_.log.size()));
        return;
    }
    // Without a track there is nothing to send (an upload is coming).
    if (config_.positions.empty()) return;
    const std::vector<std::string> lines = config_.mxp ? mxp_log_lines(config_) : block_log_lines(config_);
    for (const std::string& line : lines) reply(line);
    report(strformat("track sent: %zu lines", lines.size()));
}

void TopNavInstrument::send_next_waypoint() {
    if (next_waypoint_ >= waypoint_items_.size()) return;
    reply(waypoint_items_[next_waypoint_++]);
}

void TopNavInstrument::on_bytes(std::string_view bytes) {
    input_.append(bytes);
    const std::string_view ack = topnav::kWaypointAck, packet = "@@WP";
    for (;;) {
        const std::string_view in = input_;
        if (in.empty()) return;
        if (in.substr(0, ack.size()) == ack) {
            input_.erase(0, ack.size());
            send_next_waypoint();
            continue;
        }
        if (in.substr(0, packet.size()) == packet) {
            if (in.size() < topnav::kPacketSize) return;
            Waypoint w;
            const int e = topnav::decode_waypoint_packet(reinterpret_cast<const uint8_t*>(in.data()), w);
            input_.erase(0, topnav::kPacketSize);
            if (e != 0) {
                report(strformat("refused packet: error %d", e));
                continue;
            }
            const LatLonDegrees d = semicircles_to_degrees(w.latitude, w.longitude);
            report(strformat("waypoint %s %.5f %.5f %d", w.identifier.c_str(), d.latitude, d.longitude, w.height));
            continue;
        }
        // The start of either, still arriving.
        if (in.size() < 4 && (ack.substr(0, in.size()) == in || packet.substr(0, in.size()) == in)) return;
        // Anything else is dropped up to the next "@".
        const std::size_t at = in.find('@', 1);
        input_.erase(0, at == std::string_view::npos ? input_.size() : at);
    }
}

namespace {

int setting_value(Reporter& r, const std::string& key, const std::string& value) {
    r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
    return -1;
}

std::unique_ptr<Instrument> make(bool xc_trainer, const FamilyOptions& options, Reporter& r) {
    const char* family = xc_trainer ? "xctrainer" : "topnav";
    if (check_setting_keys(r, family, options.settings, {"form", "variant", "send", "serial", "version"}) < 0)
        return nullptr;
    TopNavConfig c;
    c.xc_trainer = xc_trainer;
    c.variant = xc_trainer ? 2 : 1;
    for (const auto& [key, value] : options.settings) {
        uint32_t n = 0;
        if (key == "form" && (value == "block" || value == "mxp")) c.mxp = value == "mxp";
        else if (key == "variant" && value.size() == 1 && value[0] >= '0' && value[0] <= '2') c.variant = value[0] - '0';
        else if (key == "send" && (value == "track" || value == "waypoints")) c.send_waypoints = value == "waypoints";
        else if (key == "serial" && value.size() <= 4 && topnav::hex_field(value, n)) c.serial = n;
        else if (key == "version" && value.size() == 4 && topnav::decimal_field(value)) c.version = value;
        else {
            setting_value(r, key, value);
            return nullptr;
        }
    }
    const std::string& path = options.track_file;
    if (path.size() > 4 && path.substr(path.size() - 4) == ".tnc") {
        if (read_file(path, c.log) < 0 || c.log.empty()) {
            r.error_box("orlogix-sim", "Cannot read " + path);
            return nullptr;
        }
    } else {
        c.positions = options.track.positions;
    }
    c.waypoints = options.waypoints;
    return std::make_unique<TopNavInstrument>(std::move(c));
}

}  // namespace

void register_topnav_families(FamilyRegistry& registry) {
    const char* settings = "form=block|mxp, variant=0|1|2, send=track|waypoints, serial=HEX, version=DDDD; "
                           "a .tnc --track goes out byte for byte";
    registry.add("topnav", std::string("Top Navigator, pushes when the port is purged; ") + settings,
                 [](const FamilyOptions& o, Reporter& r) { return make(false, o, r); });
    registry.add("xctrainer", std::string("XC Trainer, pushes when the port is purged; ") + settings,
                 [](const FamilyOptions& o, Reporter& r) { return make(true, o, r); });
}

}  // namespace orlogix::sim
