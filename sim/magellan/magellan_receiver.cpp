#include "sim/magellan/magellan_receiver.hpp"

#include <algorithm>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/units.hpp"
#include "formats/tracks/magellan.hpp"
#include "protocols/magellan/sentences.hpp"
#include "protocols/nmea/sentence.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

// Sentences per tick: about what 9600 baud carries in the tick, a little more.
constexpr std::size_t kLinesPerTick = 8;
constexpr std::size_t kLineMax = 250;

bool same(const Waypoint& a, const Waypoint& b) {
    return a.latitude == b.latitude && a.longitude == b.longitude && a.height == b.height && a.comment == b.comment;
}

}  // namespace

std::vector<std::string> log_file_lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size() - 1);
        lines.emplace_back(text.substr(0, end + 1));
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string> track_sentences(const std::vector<TrackPosition>& positions) {
    std::vector<std::string> lines;
    lines.reserve(positions.size());
    for (const TrackPosition& p : positions) lines.push_back(nmea_sentence(magellan::track_point_body(p)));
    return lines;
}

void MagellanReceiver::on_bytes(std::string_view bytes) {
    for (const char c : bytes) {
        if (c == '$') {
            line_.assign(1, c);
            in_line_ = true;
        } else if (in_line_ && c == '\n') {
            in_line_ = false;
            if (!line_.empty() && line_.back() == '\r') line_.pop_back();
            handle(line_);
        } else if (in_line_ && line_.size() < kLineMax) {
            line_ += c;
        }
    }
}

void MagellanReceiver::on_tick() {
    for (std::size_t i = 0; i < kLinesPerTick && !sending_.empty(); ++i) {
        reply(sending_.front());
        sending_.pop_front();
    }
}

void MagellanReceiver::start(std::vector<std::string> lines) {
    if (config_.end) lines.push_back(nmea_sentence("PMGNCMD,END"));
    sending_.assign(lines.begin(), lines.end());
}

void MagellanReceiver::handle(std::string_view line) {
    std::string_view body;
    if (!nmea_checksum_ok(line, body)) {
        report("refused checksum: " + std::string(line));
        return;
    }
    const std::vector<std::string_view> f = magellan::sentence_fields(body);
    if (f[0] == "PMGNCSM") return;
    // With the handshake on, every sentence is acknowledged by its checksum.
    if (handshake_) reply(nmea_sentence(strformat("PMGNCSM,%02X", nmea_checksum(body))));
    const std::string_view command = f[0] == "PMGNCMD" && f.size() > 1 ? f[1] : std::string_view{};
    if (command == "VERSION") {
        reply(nmea_sentence(strformat("PMGNVER,%d,%s,%s", static_cast<int>(config_.product_id),
                                      config_.version.c_str(), config_.description.c_str())));
    } else if (command == "TRACK") {
        start(config_.track_lines);
    } else if (command == "WAYPOINT") {
        std::vector<std::string> lines;
        // The icon field closes the sentence as the receivers send it.
        for (const Waypoint& w : config_.waypoints)
            lines.push_back(nmea_sentence(magellan::waypoint_body(w, w.height) + ",a"));
        start(std::move(lines));
    } else if (command == "STOP") {
        report(strformat("stop, %zu sentences not sent", sending_.size()));
        sending_.clear();
    } else if (command == "END") {
        report("end of upload");
    } else if (command == "HANDON" || command == "HANDOFF") {
        handshake_ = command == "HANDON";
    } else if (command == "NMEAOFF") {
        // The receiver streams no navigation sentences in the first place.
    } else if (f[0] == "PMGNWPL") {
        take_upload(body);
    } else {
        report("unanswered: " + std::string(line));
    }
}

void MagellanReceiver::take_upload(std::string_view body) {
    Waypoint w;
    if (const int error = magellan::decode_waypoint(body, 0, w); error != 0) {
        report(strformat("refused waypoint (error %d): ", error) + std::string(body));
        return;
    }
    // A host that missed an acknowledgement sends the waypoint again: it
    // replaces the one of the same ID, and is reported only when it changed.
    auto it = std::find_if(config_.waypoints.begin(), config_.waypoints.end(),
                           [&](const Waypoint& k) { return k.identifier == w.identifier; });
    if (it != config_.waypoints.end() && same(*it, w)) return;
    if (it != config_.waypoints.end()) *it = w;
    else config_.waypoints.push_back(w);
    const LatLonDegrees d = semicircles_to_degrees(w.latitude, w.longitude);
    report(strformat("waypoint %s %.5f %.5f %d m %s", w.identifier.c_str(), d.latitude, d.longitude,
                     static_cast<int>(w.height), w.comment.c_str()));
}

namespace {

bool is_log_file(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".log";
}

std::unique_ptr<Instrument> make_magellan(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "magellan", options.settings, {"product", "version", "name", "end"}) < 0)
        return nullptr;
    MagellanConfig c;
    for (const auto& [key, value] : options.settings) {
        int32_t id = 0;
        if (key == "product" && !value.empty() && magellan_integer(value, id) && id >= 0) c.product_id = id;
        else if (key == "version" && !value.empty()) c.version = nmea_clean_field(value, 10);
        else if (key == "name" && !value.empty()) c.description = nmea_clean_field(value, 60);
        else if (key == "end" && (value == "on" || value == "off")) c.end = value == "on";
        else {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    if (is_log_file(options.track_file)) {
        // A receiver's own log goes out byte for byte.
        std::string text;
        if (read_file(options.track_file, text) != 0) {
            r.error_box("orlogix-sim", "Cannot read " + options.track_file);
            return nullptr;
        }
        c.track_lines = log_file_lines(text);
    } else {
        c.track_lines = track_sentences(options.track.positions);
    }
    c.waypoints = options.waypoints;
    return std::make_unique<MagellanReceiver>(std::move(c));
}

}  // namespace

void register_magellan_family(FamilyRegistry& registry) {
    registry.add("magellan",
                 "Magellan receivers; product=ID, version=TEXT, name=TEXT, end=on|off (off: falls silent); "
                 "a .log --track is served byte for byte",
                 make_magellan);
}

}  // namespace orlogix::sim
