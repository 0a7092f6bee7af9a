#include "sim/flytec/flytec_instrument.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "formats/airspace/openair_reader.hpp"
#include "formats/igc/writer.hpp"
#include "protocols/flytec/ctr_sentences.hpp"
#include "protocols/flytec/fields.hpp"
#include "protocols/flytec/models.hpp"
#include "protocols/flytec/sentences.hpp"
#include "protocols/flytec/waypoint_upload.hpp"
#include "protocols/nmea/sentence.hpp"
#include "sim/data_files.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

std::string coordinate(int32_t semicircles, int degree_digits, char positive, char negative) {
    const int64_t m = flytec::semicircles_to_milliminutes(semicircles);
    return flytec::milliminute_text(static_cast<uint32_t>(std::llabs(m)), degree_digits) + ',' +
           (m < 0 ? negative : positive);
}

std::string waypoint_text(const Waypoint& w) {
    const int height = std::clamp(w.height, -999, 9999);
    char alt[8];
    std::snprintf(alt, sizeof alt, height < 0 ? "-%03d" : "%04d", std::abs(height));
    return "PBRWPS," + coordinate(w.latitude, 2, 'N', 'S') + ',' + coordinate(w.longitude, 3, 'E', 'W') + ',' +
           nmea_clean_field(w.identifier, 6) + ',' + nmea_clean_field(w.comment, 17) + ',' + alt;
}

bool all_digits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

FlytecTrack flytec_track(const TrackLog& log, std::string igc_text, const std::string& serial) {
    FlytecTrack t;
    if (!log.positions.empty()) {
        t.start = log.positions.front().time;
        t.duration = log.positions.back().time - t.start;
    }
    if (igc_text.empty()) {
        IgcEncodeOptions o;
        o.fr_serial = serial.size() >= 3 && std::all_of(serial.begin(), serial.begin() + 3, [](unsigned char c) {
            return std::isalnum(c);
        }) ? serial.substr(0, 3) : "000";
        o.want_g_record = false;
        o.download_time = calendar_from_time(t.start + t.duration);
        bool unused = false;
        encode_igc(log.positions, IgcHeaderTexts{}, o, igc_text, unused);
    }
    if (std::any_of(igc_text.begin(), igc_text.end(), flytec::is_flow_control)) igc_text.clear();
    t.igc = std::move(igc_text);
    return t;
}

bool load_served_tracks(Reporter& r, const std::vector<std::string>& paths, const std::string& serial,
                        std::vector<FlytecTrack>& out) {
    for (const std::string& path : paths) {
        TrackLog log;
        if (load_track_file(r, path, log) < 0) return false;
        std::string raw;
        const bool igc = path.ends_with(".igc") || path.ends_with(".IGC");
        if (igc && read_file(path, raw) < 0) {
            r.error_box("orlogix-sim", "Cannot read " + path);
            return false;
        }
        FlytecTrack t = flytec_track(log, std::move(raw), serial);
        if (t.igc.empty()) {
            r.error_box("orlogix-sim", "No IGC text to serve for " + path + " (empty, or XON/XOFF bytes in it)");
            return false;
        }
        out.push_back(std::move(t));
    }
    return true;
}

void FlytecInstrument::on_bytes(std::string_view bytes) {
    for (char c : bytes) {
        if (c == '$') {
            line_.assign(1, c);
            in_line_ = true;
            line_led_ = after_xon_;
        } else if (in_line_ && c == '\n') {
            in_line_ = false;
            if (!line_.empty() && line_.back() == '\r') line_.pop_back();
            // A sentence without its XON goes unanswered, as on the instrument.
            if (line_led_) handle(line_);
        } else if (in_line_) {
            if (line_.size() < 200) line_ += c;
        }
        after_xon_ = c == flytec::kXon;
    }
}

void FlytecInstrument::send(const std::string& text) { reply(nmea_sentence(text)); }

void FlytecInstrument::handle(std::string_view line) {
    std::string_view body;
    if (!nmea_checksum_ok(line, body)) {
        report("refused checksum: " + std::string(line));
        return;
    }
    const std::vector<std::string_view> f = nmea_fields(body);
    const bool listed = flytec::supports_track_list(config_.model, config_.version);
    if (f[0] == "PBRSNP") {
        send("PBRSNP," + config_.model + ',' + config_.pilot + ',' + config_.serial + ',' + config_.version);
    } else if (f[0] == "PBRTL" && listed) {
        const int count = static_cast<int>(config_.tracks.size());
        for (int i = 0; i < count && i <= flytec::kLastTrackIndex; ++i) {
            const FlytecTrack& t = config_.tracks[static_cast<std::size_t>(i)];
            const CalendarTime c = calendar_from_time(t.start);
            send(strformat("PBRTL,%02d,%02d,%02d.%02d.%02d,%02d:%02d:%02d,%u:%02u:%02u", count, i, c.day, c.month,
                           c.year % 100, c.hour, c.minute, c.second, t.duration / 3600, t.duration / 60 % 60,
                           t.duration % 60));
        }
    } else if (f[0] == "PBRTR" && listed && f.size() == 2 && f[1].size() == 2 && all_digits(f[1])) {
        send_track(static_cast<std::size_t>(std::atoi(std::string(f[1]).c_str())));
    } else if (f[0] == "PBRIGC") {
        // The newest track: the latest start.
        auto newest = std::max_element(config_.tracks.begin(), config_.tracks.end(),
                                       [](const FlytecTrack& a, const FlytecTrack& b) { return a.start < b.start; });
        if (newest != config_.tracks.end()) send_track(static_cast<std::size_t>(newest - config_.tracks.begin()));
    } else if (f[0] == "PBRWPS") {
        for (const Waypoint& w : config_.waypoints) send(waypoint_text(w));
    } else if (f[0] == "PBRWPR") {
        take_upload(f, body);
    } else if (f[0] == "PBRCTRW") {
        take_ctr(f);
    } else if (f[0] == "PBRCTR") {
        send_ctrs();
    } else {
        report("unanswered: " + std::string(line));
    }
}

void FlytecInstrument::send_track(std::size_t index) {
    if (index >= config_.tracks.size()) return;
    // One reply per line: the unit the fault switches count.
    const std::string& igc = config_.tracks[index].igc;
    for (std::size_t at = 0; at < igc.size();) {
        const std::size_t end = std::min(igc.find('\n', at), igc.size() - 1) + 1;
        reply(std::string_view(igc).substr(at, end - at));
        at = end;
    }
}

void FlytecInstrument::take_upload(const std::vector<std::string_view>& f, std::string_view body) {
    // ddmm.mmm,N,dddmm.mmm,E,,<17 characters>,hhhh
    auto coordinate_ok = [](std::string_view v, std::size_t whole) {
        return v.size() == whole + 4 && v[whole] == '.' && all_digits(v.substr(0, whole)) &&
               all_digits(v.substr(whole + 1));
    };
    const bool ok = f.size() == 8 && coordinate_ok(f[1], 4) && (f[2] == "N" || f[2] == "S") &&
                    coordinate_ok(f[3], 5) && (f[4] == "E" || f[4] == "W") && f[5].empty() && f[6].size() == 17 &&
                    f[7].size() == 4 && all_digits(f[7]);
    if (!ok) {
        report("refused fields: " + std::string(body));
        return;
    }
    report("waypoint " + std::to_string(++uploads_) + " " + std::string(body.substr(7)));
}

void FlytecInstrument::take_ctr(const std::vector<std::string_view>& f) {
    const bool numbers = f.size() >= 3 && f[1].size() == 3 && f[2].size() == 3 && all_digits(f[1]) && all_digits(f[2]);
    const int count = numbers ? std::atoi(std::string(f[1]).c_str()) : -1;
    const int number = numbers ? std::atoi(std::string(f[2]).c_str()) : -1;
    if (number == 0) {
        ctr_count_ = count;
        ctr_next_ = 0;
        ctr_name_ = f.size() > 3 ? std::string(f[3]) : std::string();
    }
    if (!numbers || count != ctr_count_ || number != ctr_next_ || count < 3) {
        report(strformat("refused CTR sentence %d of %d (expected %d of %d)", number, count, ctr_next_, ctr_count_));
        ctr_count_ = ctr_next_ = 0;
        send("PBRANS,5");
        return;
    }
    if (++ctr_next_ < ctr_count_) return;
    report(strformat("ctr %s: %d sentences", ctr_name_.c_str(), ctr_count_));
    send(std::string("PBRANS,") + config_.ack);
    ctr_count_ = ctr_next_ = 0;
}

void FlytecInstrument::send_ctrs() {
    // The list uses the upload's sentences under its own address.
    for (const Ctr& ctr : config_.ctrs) {
        std::vector<flytec::CtrUploadSentence> sentences;
        std::string problem;
        if (!flytec::ctr_upload_sentences(ctr, sentences, problem)) {
            report("not served: " + problem);
            continue;
        }
        for (const flytec::CtrUploadSentence& u : sentences) {
            std::string_view body;
            nmea_checksum_ok(std::string_view(u.bytes).substr(0, u.bytes.size() - 2), body);
            send("PBRCTR" + std::string(body.substr(7)));
        }
    }
    send("PBRANS,1");
}

namespace {

std::unique_ptr<Instrument> make_flytec(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "flytec", options.settings, {"model", "pilot", "serial", "version", "ctrs", "ack"}) < 0)
        return nullptr;
    FlytecConfig c;
    for (const auto& [key, value] : options.settings) {
        if (key == "model") c.model = nmea_clean_field(value, 16);
        else if (key == "pilot") c.pilot = nmea_clean_field(value, 40);
        else if (key == "serial") c.serial = nmea_clean_field(value, 7);
        else if (key == "version") c.version = nmea_clean_field(value, 6);
        else if (key == "ack" && value.size() == 1 && value[0] >= '0' && value[0] <= '9') c.ack = value[0];
        else if (key == "ctrs" && read_openair_file(r, value, c.ctrs) >= 0) continue;
        else {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    if (!load_served_tracks(r, options.track_files, c.serial, c.tracks)) return nullptr;
    c.waypoints = options.waypoints;
    return std::make_unique<FlytecInstrument>(std::move(c));
}

}  // namespace

void register_flytec_family(FamilyRegistry& registry) {
    registry.add("flytec",
                 "Flytec/Brauniger IQ-Compeo, Competino, Flytec 50xx/60xx; model, pilot, serial, version, "
                 "ctrs=FILE (OpenAir), ack=DIGIT; --track repeatable (list index 0 first)",
                 make_flytec);
}

}  // namespace orlogix::sim
