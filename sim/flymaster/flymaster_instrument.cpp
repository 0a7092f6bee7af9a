#include "sim/flymaster/flymaster_instrument.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/flymaster/blocks.hpp"
#include "protocols/flymaster/sentences.hpp"
#include "protocols/flymaster/waypoint_lines.hpp"
#include "protocols/nmea/sentence.hpp"
#include "sim/data_files.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

constexpr double kSemicirclesPer60000th = 198.8410785185;
constexpr std::size_t kDeltasPerBlock = 40;

struct Values {
    int64_t latitude = 0, longitude = 0;   // 1/60000 degree, longitude west positive
    int32_t altitude = 0, pressure = 0;    // metres, tenths of a hectopascal
    int64_t time = 0;                      // seconds since 2000
};

// The pressure (tenths of a hectopascal) the program turns back into the
// altitude closest to metres.
int32_t pressure_for(int32_t metres) {
    const double guess = 10132.5 * std::pow(std::max(0.0, 1.0 - metres / 44307.69), 1.0 / 0.190284);
    int32_t best = static_cast<int32_t>(std::lround(guess));
    for (int32_t p = best - 3; p <= best + 3; ++p)
        if (std::abs(flymaster::pressure_altitude(p) - metres) < std::abs(flymaster::pressure_altitude(best) - metres))
            best = p;
    return best;
}

Values values_of(const TrackPosition& p) {
    Values v;
    v.latitude = std::llround(p.latitude / kSemicirclesPer60000th);
    v.longitude = -std::llround(p.longitude / kSemicirclesPer60000th);
    v.altitude = gps_altitude_metres(p.gps_altitude);
    v.pressure = pressure_for(p.baro_altitude);
    v.time = static_cast<int64_t>(p.time) - flymaster::kEpochOffset;
    return v;
}

void put_le(std::string& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string block(uint8_t type, const std::string& data) {
    std::string b{static_cast<char>(type), static_cast<char>(type), static_cast<char>(data.size())};
    uint8_t sum = static_cast<uint8_t>(data.size());
    for (const char c : data) sum ^= static_cast<uint8_t>(c);
    return b + data + static_cast<char>(sum);
}

std::string padded(std::string_view text, std::size_t n) {
    std::string s(text.substr(0, n));
    s.resize(n, ' ');
    return s;
}

bool fits(int64_t d) { return d >= -128 && d <= 127; }

std::string coordinate(int32_t semicircles, int degree_digits, char positive, char negative) {
    const double deg = semicircle_to_degrees(semicircles);
    return strformat("%0*.6f,%c", degree_digits + 7, std::fabs(deg), deg < 0 ? negative : positive);
}

}  // namespace

std::vector<std::string> flymaster_blocks(const FlymasterTrack& track, const FlymasterConfig& config) {
    std::vector<std::string> out;
    std::string info(63, '\0');
    info[0] = 1;
    info[1] = 19;
    const uint32_t serial = static_cast<uint32_t>(std::strtoul(config.serial.c_str(), nullptr, 10));
    for (int i = 0; i < 4; ++i) info[4 + i] = static_cast<char>((serial >> (8 * i)) & 0xFF);
    info.replace(8, 7, padded("57", 7));
    info.replace(16, 14, padded("SIM PILOT", 14));
    out.push_back(block(flymaster::kFlightInfo, info));

    Values current;
    std::string deltas;
    auto flush = [&] {
        if (!deltas.empty()) out.push_back(block(flymaster::kDeltas, deltas));
        deltas.clear();
    };
    for (std::size_t i = 0; i < track.positions.size(); ++i) {
        const Values v = values_of(track.positions[i]);
        const int64_t dlat = v.latitude - current.latitude, dlon = v.longitude - current.longitude,
                      dalt = v.altitude - current.altitude, dp = v.pressure - current.pressure,
                      dt = v.time - current.time;
        if (i > 0 && fits(dlat) && fits(dlon) && fits(dalt) && fits(dp) && dt >= 0 && dt <= 255) {
            deltas += '\0';
            for (const int64_t d : {dlat, dlon, dalt, dp}) deltas += static_cast<char>(static_cast<int8_t>(d));
            deltas += static_cast<char>(static_cast<uint8_t>(dt));
            if (deltas.size() == 6 * kDeltasPerBlock) flush();
        } else {
            flush();
            std::string key(1, '\0');
            put_le(key, static_cast<uint32_t>(static_cast<int32_t>(v.latitude)), 4);
            put_le(key, static_cast<uint32_t>(static_cast<int32_t>(v.longitude)), 4);
            put_le(key, static_cast<uint16_t>(static_cast<int16_t>(v.altitude)), 2);
            put_le(key, static_cast<uint16_t>(static_cast<int16_t>(v.pressure)), 2);
            put_le(key, static_cast<uint32_t>(v.time), 4);
            out.push_back(block(flymaster::kKeyPosition, key));
        }
        current = v;
    }
    flush();
    return out;
}

void FlymasterInstrument::on_bytes(std::string_view bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (sending_ && !in_line_ && (b == flymaster::kBlockGood || b == flymaster::kBlockBad)) {
            if (b == flymaster::kBlockGood) ++next_block_;
            send_next_block();
        } else if (sending_ && !in_line_ && b == flymaster::kCancel) {
            sending_ = false;
            report(strformat("download cancelled at block %zu of %zu", next_block_ + 1, blocks_.size()));
        } else if (c == '$') {
            line_.assign(1, c);
            in_line_ = true;
        } else if (in_line_ && c == '\n') {
            in_line_ = false;
            if (!line_.empty() && line_.back() == '\r') line_.pop_back();
            handle(line_);
        } else if (in_line_ && line_.size() < 250) {
            line_ += c;
        }
    }
}

void FlymasterInstrument::send_next_block() {
    if (next_block_ < blocks_.size()) {
        reply(blocks_[next_block_]);
        return;
    }
    sending_ = false;
    reply(std::string("\xA3\xA3", 2));
    report(strformat("track sent: %zu blocks", blocks_.size()));
}

void FlymasterInstrument::handle(std::string_view line) {
    // The track list request goes out with a checksum that counts the "$".
    if (line == "$PFMDNL,LST,*72") {
        const int count = static_cast<int>(config_.tracks.size());
        for (int i = 0; i < count && i <= 30; ++i) {
            const FlymasterTrack& t = config_.tracks[static_cast<std::size_t>(i)];
            const CalendarTime c = calendar_from_time(t.start);
            reply(nmea_sentence(strformat("PFMLST,%03d,%03d,%02d.%02d.%02d,%02d:%02d:%02d,%u:%02u:%02u", count, i,
                                          c.day, c.month, c.year % 100, c.hour, c.minute, c.second,
                                          t.duration / 3600, t.duration / 60 % 60, t.duration % 60)));
        }
        return;
    }
    std::string_view body;
    if (!nmea_checksum_ok(line, body)) {
        report("refused checksum: " + std::string(line));
        return;
    }
    const std::vector<std::string_view> f = nmea_fields(body);
    if (f[0] == "PBRSNP") {
        reply(nmea_sentence("PBRSNP," + config_.model + ",SIM PILOT," + config_.serial + ',' + config_.version));
    } else if (f[0] == "PFMDNL" && f.size() >= 2) {
        const auto t = std::find_if(config_.tracks.begin(), config_.tracks.end(), [&](const FlymasterTrack& t) {
            const CalendarTime c = calendar_from_time(t.start);
            return f[1] == strformat("%02d%02d%02d%02d%02d%02d", c.year - 2000, c.month, c.day, c.hour, c.minute,
                                     c.second);
        });
        if (t == config_.tracks.end()) {
            report("no track at " + std::string(f[1]));
            return;
        }
        blocks_ = config_.blocks ? *config_.blocks : flymaster_blocks(*t, config_);
        next_block_ = 0;
        sending_ = true;
        send_next_block();
    } else if (f[0] == "PFMWPL") {
        for (const Waypoint& w : config_.waypoints)
            reply(nmea_sentence("PFMWPL," + coordinate(w.latitude, 2, 'N', 'S') + ',' +
                                coordinate(w.longitude, 3, 'E', 'W') + ',' + std::to_string(w.height) + ',' +
                                flymaster::sentence_field(w.comment.empty() ? w.identifier : w.comment, 40) +
                                (w.airfield ? ",1" : "")));
    } else if (f[0] == "PFMWPR") {
        take_upload(line);
    } else if (f[0] == "PFMOFF") {
        report("power off");
    } else if (f[0] == "PFMPLT" || f[0] == "PFMALT" || f[0] == "PFMIDS") {
        report("set data: " + std::string(body));
    } else {
        report("unanswered: " + std::string(line));
    }
}

void FlymasterInstrument::take_upload(std::string_view line) {
    std::string_view body;
    nmea_checksum_ok(line, body);
    const std::vector<std::string_view> f = nmea_fields(body);
    // ddmm.mmm,N,dddmm.mmm,E,,<16 characters>,hhhh[,1]
    auto minutes = [](std::string_view v, std::size_t whole, std::string_view hemisphere, char negative,
                      double& degrees) {
        if (v.size() != whole + 4 || v[whole] != '.') return false;
        const double m = std::atof(std::string(v).c_str());
        degrees = std::floor(m / 100) + std::fmod(m, 100) / 60;
        if (hemisphere == std::string_view(&negative, 1)) degrees = -degrees;
        return true;
    };
    double lat = 0, lon = 0;
    if (f.size() < 8 || !minutes(f[1], 4, f[2], 'S', lat) || !minutes(f[3], 5, f[4], 'W', lon) || f[6].size() != 16) {
        report("refused fields: " + std::string(body));
        return;
    }
    Waypoint w;
    SemicirclePair sc;
    degrees_to_semicircles(lat, lon, sc);
    w.latitude = sc.latitude;
    w.longitude = sc.longitude;
    w.height = std::atoi(std::string(f[7]).c_str());
    std::string name(f[6]);
    w.comment = name.substr(0, name.find_last_not_of(' ') + 1);
    w.airfield = f.size() > 8 && f[8] == "1";
    config_.waypoints.push_back(w);
    report("waypoint " + std::to_string(config_.waypoints.size()) + " " + std::string(body.substr(7)));
    if (!config_.answer_name.empty()) name = config_.answer_name;
    if (config_.version == "1.14") {
        reply(nmea_sentence("PFMWPR," + name));
        return;
    }
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::toupper(c)) : ' ';
    reply(nmea_sentence("PFMWPR,ACK," + name));
}

namespace {

std::unique_ptr<Instrument> make_flymaster(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "flymaster", options.settings, {"model", "serial", "version"}) < 0) return nullptr;
    FlymasterConfig c;
    for (const auto& [key, value] : options.settings) {
        if (key == "model" && (value == "F1" || value == "B1NAV")) c.model = value;
        else if (key == "serial" && !value.empty() && value.find_first_not_of("0123456789") == std::string::npos)
            c.serial = value.substr(0, 9);
        else if (key == "version" && !value.empty()) c.version = flymaster::sentence_field(value, 10);
        else {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    for (const std::string& path : options.track_files) {
        FlymasterTrack t;
        TrackLog log;
        if (load_track_file(r, path, log) < 0) return nullptr;
        if (log.positions.empty()) {
            r.error_box("orlogix-sim", "No positions in " + path);
            return nullptr;
        }
        t.start = log.positions.front().time;
        t.duration = log.positions.back().time - t.start;
        t.positions = std::move(log.positions);
        c.tracks.push_back(std::move(t));
    }
    c.waypoints = options.waypoints;
    return std::make_unique<FlymasterInstrument>(std::move(c));
}

}  // namespace

void register_flymaster_family(FamilyRegistry& registry) {
    registry.add("flymaster",
                 "Flymaster F1, B1NAV; model=F1|B1NAV, serial=DIGITS, version (1.14 answers uploads by name); "
                 "--track repeatable (list index 0 first)",
                 make_flymaster);
}

}  // namespace orlogix::sim
