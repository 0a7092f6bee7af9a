#include "sim/flytec/iq_basic_instrument.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/flytec/fields.hpp"
#include "protocols/flytec/iq_basic_lines.hpp"
#include "protocols/flytec/waypoint_upload.hpp"
#include "protocols/flytec/sentences.hpp"
#include "protocols/nmea/sentence.hpp"
#include "sim/data_files.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

// Pairs of hexadecimal digits, the least significant byte first.
std::string little_endian_hex(uint32_t v) {
    char text[12];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X", v & 0xff, v >> 8 & 0xff, v >> 16 & 0xff, v >> 24);
    return text;
}

std::string coordinate(int32_t semicircles, const char* format, char positive, char negative) {
    const int64_t m = flytec::semicircles_to_milliminutes(semicircles);
    const auto a = static_cast<unsigned>(std::llabs(m));
    char text[24];
    std::snprintf(text, sizeof text, format, m < 0 ? negative : positive, a / 60000, a / 1000 % 60, a % 1000);
    return text;
}

std::string waypoint_line(const Waypoint& w) {
    std::string name = w.comment.empty() ? w.identifier : w.comment;
    std::replace(name.begin(), name.end(), ';', ' ');
    return name + ';' + coordinate(w.latitude, "%c %02u'%02u.%03u", 'N', 'S') + ';' +
           coordinate(w.longitude, "%c %03u'%02u.%03u", 'E', 'W') + ';' + std::to_string(w.height);
}

}  // namespace

void IqBasicInstrument::on_bytes(std::string_view bytes) {
    for (char c : bytes) {
        if (c != '\n') {
            if (line_.size() < 200) line_ += c;
            continue;
        }
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        handle(line_);
        line_.clear();
    }
}

void IqBasicInstrument::handle(std::string_view line) {
    if (upload_next_) {
        upload_next_ = false;
        take_upload(line);
        return;
    }
    if (line == "RPA_00") {
        send_line("RPA_00_" + little_endian_hex(config_.serial));
    } else if (line == "RPA_01") {
        send_line("RPA_01_" + little_endian_hex(config_.device_type));
    } else if (line == "RPA_02") {
        send_line("RPA_02_" + little_endian_hex(config_.version));
    } else if (line == "ACT_20_  ") {
        // number; date; start; fix count; duration
        for (std::size_t i = 0; i < config_.tracks.size() && i < 100; ++i) {
            const FlytecTrack& t = config_.tracks[i];
            const CalendarTime c = calendar_from_time(t.start);
            const auto fixes = std::count(t.igc.begin(), t.igc.end(), '\n');
            send_line(strformat("%zu;%02d.%02d.%02d;%02d:%02d:%02d;%ld;%u:%02u:%02u", i, c.day, c.month, c.year % 100,
                                c.hour, c.minute, c.second, static_cast<long>(fixes), t.duration / 3600,
                                t.duration / 60 % 60, t.duration % 60));
        }
    } else if (line.size() == 9 && line.starts_with("ACT_21_")) {
        const int high = hex_digit(line[7]), low = hex_digit(line[8]);
        if (high >= 0 && low >= 0) send_track(static_cast<std::size_t>(high * 16 + low));
        else report("unanswered: " + std::string(line));
    } else if (line == "ACT_31_00") {
        for (const Waypoint& w : config_.waypoints) send_line(waypoint_line(w));
        send_line(config_.waypoints.empty() ? "No Data" : "Done");
    } else if (line == "ACT_32_00") {
        upload_next_ = true;
    } else {
        report("unanswered: " + std::string(line));
    }
}

void IqBasicInstrument::send_track(std::size_t index) {
    if (index >= config_.tracks.size()) return;
    // One reply per line; every seventh line is followed by an XOFF and an
    // XON as a device pausing its output would send them.
    const std::string& igc = config_.tracks[index].igc;
    int n = 0;
    for (std::size_t at = 0; at < igc.size();) {
        const std::size_t end = std::min(igc.find('\n', at), igc.size() - 1) + 1;
        std::string piece = igc.substr(at, end - at);
        if (++n % 7 == 0) piece += std::string{flytec::kXoff, flytec::kXon};
        reply(piece);
        at = end;
    }
}

void IqBasicInstrument::take_upload(std::string_view line) {
    Waypoint w;
    int error = 0;
    const std::size_t name_end = line.find(';');
    if (name_end != 16 || flytec::parse_iq_waypoint(line, 0, w, error) != flytec::IqWaypointLine::Waypoint ||
        !line.ends_with(";   400")) {
        report("refused line: " + std::string(line));
        send_line("Error");
        return;
    }
    report("waypoint " + std::to_string(++uploads_) + " " + std::string(line));
    send_line(config_.upload_reply);
}

namespace {

bool unsigned_value(const std::string& text, uint32_t& out) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v > 0xffffffffUL) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

std::unique_ptr<Instrument> make_iq_basic(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "iqbasic", options.settings, {"type", "serial", "version", "reply"}) < 0) return nullptr;
    IqBasicConfig c;
    for (const auto& [key, value] : options.settings) {
        bool ok = true;
        if (key == "type") ok = unsigned_value(value, c.device_type);
        else if (key == "serial") ok = unsigned_value(value, c.serial);
        else if (key == "version") ok = unsigned_value(value, c.version);
        else if (key == "reply") c.upload_reply = value;
        if (!ok) {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    if (!load_served_tracks(r, options.track_files, std::to_string(c.serial), c.tracks)) return nullptr;
    c.waypoints = options.waypoints;
    return std::make_unique<IqBasicInstrument>(std::move(c));
}

}  // namespace

void register_iq_basic_family(FamilyRegistry& registry) {
    registry.add("iqbasic",
                 "IQ Basic / Flytec 6015; type (0: 6015), serial, version (1105 is 1.1.05), reply=TEXT (the "
                 "upload response, \" Done\" by default); --track repeatable (track 0 first)",
                 make_iq_basic);
}

}  // namespace orlogix::sim
