#include "sim/logit/logit_logger.hpp"

#include <algorithm>

#include "core/report.hpp"
#include "protocols/mlr/frames.hpp"
#include "protocols/mlr/sentences.hpp"
#include "protocols/nmea/sentence.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

using namespace std::chrono_literals;
using namespace orlogix::mlr;

constexpr std::size_t kPointsPerFrame = 16;
// The host waits 300 ms after the start sentence and changes its rate.
constexpr auto kStartPause = 600ms;
constexpr int kRates[] = {115200, 57600, 38400, 19200, 4800};

}  // namespace

void LogItLogger::handle(const std::string& line) {
    if (line == kProductRequest) {
        std::string text = "PMLR,IDGPS,01," + config_.name + ',' + config_.maker + ',' + config_.serial + ',' +
                           config_.firmware;
        // The 1.02 firmware sends a checksum that does not match.
        reply(config_.firmware == "1.02" ? "$" + text + "*00\r\n" : nmea_sentence(text));
        return;
    }
    if (line == kCountRequest && config_.name == "TRACKLOGGER") {
        reply(nmea_sentence("PMLR,NUMTRACKPOINTS," + std::to_string(config_.positions.size())));
        return;
    }
    if (line == kEraseCommand) {
        config_.positions.clear();
        report("erase");
        return;
    }
    if (line.rfind("$PMLR,IDGPS,01,", 0) == 0) {
        const std::size_t end = line.find(',', 15);
        report("name " + line.substr(15, end == std::string::npos ? std::string::npos : end - 15));
        return;
    }
    if (line.rfind("$PMLR,59,", 0) == 0) {
        unsigned point = 0;
        for (std::size_t i = 9; i < line.size() && i < 15 && line[i] >= '0' && line[i] <= '9'; ++i)
            point = point * 10 + static_cast<unsigned>(line[i] - '0');
        // Only a sentence with its right sum is taken.
        if (point > 0 && restart_sentence(point) == line) restart_at_ = point;
        report("restart " + std::to_string(restart_at_));
        return;
    }
    for (const int rate : kRates)
        if (line == logit_start_sentence(rate)) send_log(rate);
}

void LogItLogger::send_log(int rate) {
    talk_at(rate);
    ++transfers_;
    pause(kStartPause);
    uint8_t sequence = 0;
    const bool restart = restart_at_ > 0;
    reply(std::span<const uint8_t>(encode_frame(kLogItFrames, sequence++, restart ? FrameKind::Restart : FrameKind::Start)));
    const std::size_t first = restart ? restart_at_ - 1 : 0;
    restart_at_ = 0;
    for (std::size_t i = first; i < config_.positions.size(); i += kPointsPerFrame) {
        std::vector<uint8_t> records;
        const std::size_t n = std::min(kPointsPerFrame, config_.positions.size() - i);
        for (std::size_t k = 0; k < n; ++k) {
            const TrackPosition& p = config_.positions[i + k];
            TrackRecord r;
            r.point = static_cast<uint16_t>(i + k + 1);
            r.time = p.time + kEpochOffset;
            r.latitude = p.latitude;
            r.longitude = p.longitude;
            r.altitude = p.gps_altitude;
            r.flags = (p.flags & 1) ? 1 : 0;
            const std::vector<uint8_t> bytes = encode_track_record(r);
            records.insert(records.end(), bytes.begin(), bytes.end());
        }
        std::vector<uint8_t> f = encode_frame(kLogItFrames, sequence++, FrameKind::Data, records, static_cast<int>(n));
        // The spoiled frame is the one that starts at the same point every time.
        if (config_.bad_frame > 0 && i == (config_.bad_frame - 1) * kPointsPerFrame &&
            (transfers_ == 1 || config_.bad_every_time))
            f[f.size() - 3] ^= 0x01;
        reply(std::span<const uint8_t>(f));
    }
    reply(std::span<const uint8_t>(encode_frame(kLogItFrames, sequence, FrameKind::End)));
    // Back in command mode at 4800 once the end frame is out.
    talk_at(4800);
}

namespace {

std::unique_ptr<Instrument> make_logit(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "logit", options.settings, {"name", "firmware", "maker", "serial"}) < 0) return nullptr;
    LogItConfig c;
    for (const auto& [key, value] : options.settings) {
        const std::string clean = nmea_clean_field(value, 20);
        if (key == "name" && (value == "LOGIT" || value == "TRACKLOGGER")) c.name = value;
        else if (key == "firmware" && !value.empty()) c.firmware = clean;
        else if (key == "maker") c.maker = clean;
        else if (key == "serial") c.serial = clean;
        else {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    c.positions = options.track.positions;
    return std::make_unique<LogItLogger>(std::move(c));
}

}  // namespace

void register_logit_family(FamilyRegistry& registry) {
    registry.add("logit",
                 "LogIt logger serving the --track at the rate each start names; name=LOGIT|TRACKLOGGER (point "
                 "count and restarts), firmware (1.02 sends a wrong checksum), maker, serial",
                 make_logit);
}

}  // namespace orlogix::sim
