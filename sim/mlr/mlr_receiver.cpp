#include "sim/mlr/mlr_receiver.hpp"

#include <algorithm>

#include "core/report.hpp"
#include "core/units.hpp"
#include "protocols/mlr/frames.hpp"
#include "protocols/mlr/sentences.hpp"
#include "protocols/mlr/waypoint_sentences.hpp"
#include "protocols/nmea/sentence.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

using namespace std::chrono_literals;
using namespace orlogix::mlr;

constexpr std::size_t kTrackPerFrame = 27;
constexpr std::size_t kWaypointsPerFrame = 23;
// The host waits 300 ms after the start sentence and changes its rate; the
// receiver answers at the new rate after that.
constexpr auto kStartPause = 600ms;
constexpr int kCommandRate = 4800;
constexpr int kFastRate = 38400;

}  // namespace

MlrReceiver::MlrReceiver(MlrConfig config) : config_(std::move(config)) {
    const MlrProduct p = mlr_product({config_.model, "", config_.serial, config_.firmware, config_.extra});
    time_ahead_ = p.time_correction ? kSp24Offset : 0;
    talk_at(kCommandRate);
}

void MlrReceiver::handle(const std::string& line) {
    if (line == kProductRequest) {
        reply(nmea_sentence("PMLR,IDGPS,01," + config_.model + ",B," + config_.serial + ',' + config_.firmware + ',' +
                            config_.extra));
    } else if (line == kTrackStart) {
        send_track();
    } else if (line == kWaypointStart) {
        send_waypoints();
    } else if (line.rfind("$GPWPL,", 0) == 0) {
        std::string_view body;
        const std::string_view whole(line.data(), line.size() - 2);
        report(nmea_checksum_ok(whole, body) ? "waypoint " + std::string(body.substr(6)) : "bad sentence");
    }
    // The stop sentence needs no answer.
}

void MlrReceiver::send_frames(char letter, const std::vector<std::vector<uint8_t>>& records, std::size_t per_frame) {
    const FrameRules& rules = letter == 'T' ? kMlrTrackFrames : kMlrWaypointFrames;
    std::size_t frame = 0;
    auto send = [&](std::vector<uint8_t> f) {
        if (++frame == config_.bad_frame) f[f.size() - 3] ^= 0x01;
        reply(std::span<const uint8_t>(f));
    };
    talk_at(kFastRate);
    pause(kStartPause);
    send(encode_frame(rules, sequence_++, FrameKind::Start));
    for (std::size_t i = 0; i < records.size(); i += per_frame) {
        std::vector<uint8_t> bytes;
        const std::size_t n = std::min(per_frame, records.size() - i);
        for (std::size_t k = 0; k < n; ++k) bytes.insert(bytes.end(), records[i + k].begin(), records[i + k].end());
        send(encode_frame(rules, sequence_++, FrameKind::Data, bytes, static_cast<int>(n)));
    }
    send(encode_frame(rules, sequence_++, FrameKind::End));
    // Back at the command rate once the end frame is out.
    talk_at(kCommandRate);
}

void MlrReceiver::send_track() {
    std::vector<std::vector<uint8_t>> records;
    for (std::size_t i = 0; i < config_.positions.size(); ++i) {
        const TrackPosition& p = config_.positions[i];
        TrackRecord r;
        r.point = static_cast<uint16_t>(i + 1);
        r.time = p.time + kEpochOffset + time_ahead_;
        r.latitude = p.latitude;
        r.longitude = p.longitude;
        r.altitude = p.gps_altitude;
        r.flags = (p.flags & 1) ? 1 : 0;
        records.push_back(encode_track_record(r));
    }
    send_frames('T', records, kTrackPerFrame);
}

void MlrReceiver::send_waypoints() {
    std::vector<std::vector<uint8_t>> records;
    for (const Waypoint& w : config_.waypoints) {
        WaypointRecord r;
        r.identifier = w.identifier;
        r.time = w.time + kEpochOffset;
        r.latitude = w.latitude;
        r.longitude = w.longitude;
        r.altitude = w.height * 10;
        records.push_back(encode_waypoint_record(r));
    }
    send_frames('W', records, kWaypointsPerFrame);
}

void MlrReceiver::on_tick() {
    reply(nmea_sentence("GPRMC,120000,A,4630.500,N,00715.250,E,0.0,0.0,010120,,"));
    reply(nmea_sentence("GPGGA,120000,4630.500,N,00715.250,E,1,08,1.0,500.0,M,,,,"));
    if (config_.waypoints.empty()) return;
    const Waypoint& w = config_.waypoints[streamed_++ % config_.waypoints.size()];
    reply(wpl_upload_sentence(w));
}

namespace {

std::unique_ptr<Instrument> make_mlr(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "mlr", options.settings, {"model", "serial", "firmware", "extra", "nmea"}) < 0)
        return nullptr;
    MlrConfig c;
    for (const auto& [key, value] : options.settings) {
        const std::string clean = nmea_clean_field(value, 40);
        if (key == "model" && !value.empty()) c.model = clean;
        else if (key == "serial") c.serial = clean;
        else if (key == "firmware" && !value.empty()) c.firmware = clean;
        else if (key == "extra") c.extra = clean;
        else if (key == "nmea" && (value == "on" || value == "off")) c.nmea = value == "on";
        else {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    c.positions = options.track.positions;
    c.waypoints = options.waypoints;
    return std::make_unique<MlrReceiver>(std::move(c));
}

}  // namespace

void register_mlr_family(FamilyRegistry& registry) {
    registry.add("mlr",
                 "MLR receiver (Digifly, CPilot, CoMo by model); serves the --track and --waypoints as fast frames; "
                 "model, serial, firmware, extra, nmea=on|off (GPRMC, GPGGA and GPWPL every second)",
                 make_mlr);
}

}  // namespace orlogix::sim
