#include "sim/mtk/mtk_logger.hpp"

#include <algorithm>
#include <bit>
#include <chrono>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "protocols/mtk/log_image.hpp"
#include "protocols/mtk/replies.hpp"
#include "protocols/nmea/sentence.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kDataSentenceMax = 0x800;
constexpr std::size_t kRecordSize = 4 + 2 + 8 + 8 + 4 + 2;
constexpr uint32_t kFlashSize = 0x200000;   // 2 MiB: 16 Mbit parts
constexpr uint16_t kPeriodTenths = 10;
constexpr char kHex[] = "0123456789ABCDEF";

void put_le(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void set_le(std::vector<uint8_t>& out, std::size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

void start_sector(std::vector<uint8_t>& out) {
    const std::size_t at = out.size();
    out.resize(at + mtk::kHeaderSize, 0xFF);
    set_le(out, at, mtk::kOpenSector, 2);
    set_le(out, at + 2, kMtkImageFormat, 4);
    set_le(out, at + 6, 0x0104, 2);            // log mode: by time, overwrite when full
    set_le(out, at + 8, kPeriodTenths, 4);     // period, distance and speed: u16 and a zero half
    set_le(out, at + 12, 0, 4);
    set_le(out, at + 16, 0, 4);
    out[at + 506] = 0x2A;
    out[at + 507] = 0x3F;
    set_le(out, at + 508, 0xBBBBBBBB, 4);
}

std::vector<uint8_t> record(const TrackPosition& p) {
    std::vector<uint8_t> r;
    const LatLonDegrees d = semicircles_to_degrees(p.latitude, p.longitude);
    put_le(r, static_cast<uint64_t>(p.time + mtk::kEpochOffset), 4);
    put_le(r, 0x0002, 2);   // a GPS fix
    put_le(r, std::bit_cast<uint64_t>(d.latitude), 8);
    put_le(r, std::bit_cast<uint64_t>(d.longitude), 8);
    put_le(r, std::bit_cast<uint32_t>(static_cast<float>(p.gps_altitude / 10.0)), 4);
    uint8_t sum = 0;
    for (const uint8_t b : r) sum ^= b;
    r.push_back('*');
    r.push_back(sum);
    return r;
}

std::string hex_of(const uint8_t* data, std::size_t n) {
    std::string out;
    out.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 0x0F];
    }
    return out;
}

}  // namespace

MtkImage mtk_image(const std::vector<TrackPosition>& positions) {
    MtkImage image;
    if (positions.empty()) return image;   // a logger that never logged
    std::vector<uint8_t>& out = image.bytes;
    start_sector(out);
    // The log starts with its period, as a logger writes it when set.
    const std::vector<uint8_t> marker{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, mtk::kMarkerPeriod,
                                      kPeriodTenths, 0, 0, 0, 0xBB, 0xBB, 0xBB, 0xBB};
    out.insert(out.end(), marker.begin(), marker.end());
    uint32_t in_sector = 0;
    for (const TrackPosition& p : positions) {
        const std::size_t base = (out.size() - 1) / mtk::kSectorSize * mtk::kSectorSize;
        if (out.size() + kRecordSize > base + mtk::kSectorSize) {
            // Full: the sector gets its count, the rest stays erased.
            set_le(out, base, in_sector, 2);
            out.resize(base + mtk::kSectorSize, 0xFF);
            start_sector(out);
            in_sector = 0;
        }
        const std::vector<uint8_t> r = record(p);
        out.insert(out.end(), r.begin(), r.end());
        ++in_sector;
        ++image.records;
    }
    return image;
}

MtkLogger::MtkLogger(MtkConfig config) : config_(std::move(config)), image_(mtk_image(config_.positions)) { save(); }

void MtkLogger::save() const {
    if (config_.image_file.empty()) return;
    std::vector<uint8_t> flash = image_.bytes;
    flash.resize((flash.size() + mtk::kSectorSize - 1) / mtk::kSectorSize * mtk::kSectorSize, 0xFF);
    write_file_atomic(config_.image_file, std::string_view(reinterpret_cast<const char*>(flash.data()), flash.size()));
}

void MtkLogger::on_bytes(std::string_view bytes) {
    for (const char c : bytes) {
        if (c == '$') {
            line_.assign(1, c);
            in_line_ = true;
        } else if (in_line_ && (c == '\n' || c == '\r')) {
            in_line_ = false;
            std::string_view body;
            // A spoiled command goes unanswered, as the logger's does.
            if (nmea_checksum_ok(line_, body)) handle(body);
        } else if (in_line_ && line_.size() < 200) {
            line_ += c;
        }
    }
}

void MtkLogger::on_tick() {
    // The receiver's own output goes on between the answers, as a logger's does.
    reply(nmea_sentence("GPGGA,120000.000,,,,,0,00,,,M,,M,,"));
}

void MtkLogger::handle(std::string_view body) {
    const std::vector<std::string_view> f = nmea_fields(body);
    if (f[0] == "PMTK000") {
        reply(nmea_sentence("PMTK001,0,3"));
    } else if (f[0] == "PMTK604") {
        reply(nmea_sentence("PMTK001,604,3"));
    } else if (f[0] == "PMTK605") {
        reply(nmea_sentence("PMTK705," + config_.release + "," + config_.model));
    } else if (f[0].size() < 4 || f[0].substr(0, 4) != "PMTK") {
        return;
    } else if (f[0] != "PMTK182" || f.size() < 2) {
        reply(nmea_sentence("PMTK001," + std::string(f[0].substr(4)) + ",1"));
    } else if (f[1] == "2" && f.size() >= 3) {
        query(f[2]);
    } else if (f[1] == "4" || f[1] == "5") {
        config_.logging = f[1] == "4";
        report(config_.logging ? "logging on" : "logging off");
        reply(nmea_sentence("PMTK001,182," + std::string(f[1]) + ",3"));
    } else if (f[1] == "6") {
        if (config_.erase_answer == '3') {
            image_ = MtkImage{};   // all erased: nothing used, no sector begun
            save();
            report("log erased");
        }
        pause(2s);   // the flash takes its time
        reply(nmea_sentence(std::string("PMTK001,182,6,") + config_.erase_answer));
    } else if (f[1] == "7" && f.size() >= 4) {
        uint64_t offset = 0, length = 0;
        if (mtk::parse_hex(f[2], offset) && mtk::parse_hex(f[3], length) && offset + length <= kFlashSize)
            read(static_cast<uint32_t>(offset), static_cast<uint32_t>(length));
        else
            reply(nmea_sentence("PMTK001,182,7,2"));
    } else {
        reply(nmea_sentence("PMTK001,182," + std::string(f[1]) + ",1"));
    }
}

void MtkLogger::query(std::string_view item) {
    std::string value;
    if (item == "2") value = strformat("%08X", kMtkImageFormat);
    else if (item == "3") value = std::to_string(kPeriodTenths);
    else if (item == "4" || item == "5") value = "0";
    else if (item == "6") value = "2";   // stop when full: hosts read up to the next write address
    else if (item == "7") value = config_.logging ? "2" : "0";
    else if (item == "8") value = strformat("%08X", static_cast<unsigned>(image_.bytes.size()));
    else if (item == "9") value = "0";    // no sector failed
    else if (item == "10") value = strformat("%08X", image_.records);
    else if (item == "11") value = "0";
    else {
        reply(nmea_sentence("PMTK001,182,2,1"));
        return;
    }
    reply(nmea_sentence("PMTK182,3," + std::string(item) + "," + value));
    reply(nmea_sentence("PMTK001,182,2,3"));
}

void MtkLogger::read(uint32_t offset, uint32_t length) {
    std::vector<uint8_t> data(kDataSentenceMax);
    for (uint32_t at = offset; at < offset + length; at += kDataSentenceMax) {
        const std::size_t n = std::min<std::size_t>(kDataSentenceMax, offset + length - at);
        // Beyond the used part the flash is erased.
        for (std::size_t i = 0; i < n; ++i) data[i] = at + i < image_.bytes.size() ? image_.bytes[at + i] : 0xFF;
        reply(nmea_sentence(strformat("PMTK182,8,%08X,", at) + hex_of(data.data(), n)));
    }
    reply(nmea_sentence("PMTK001,182,7,3"));
}

namespace {

std::unique_ptr<Instrument> make_mtk(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "mtk", options.settings, {"release", "model", "logging", "image", "nmea"}) < 0)
        return nullptr;
    MtkConfig c;
    c.stream = true;
    for (const auto& [key, value] : options.settings) {
        if (key == "release" && !value.empty()) c.release = nmea_clean_field(value, mtk::kProductTextMax);
        else if (key == "model" && !value.empty()) c.model = nmea_clean_field(value, mtk::kProductTextMax);
        else if (key == "logging" && (value == "on" || value == "off")) c.logging = value == "on";
        else if (key == "image" && !value.empty()) c.image_file = value;
        else if (key == "nmea" && (value == "on" || value == "off")) c.stream = value == "on";
        else {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    c.positions = options.track.positions;
    return std::make_unique<MtkLogger>(std::move(c));
}

}  // namespace

void register_mtk_family(FamilyRegistry& registry) {
    registry.add("mtk",
                 "MTK GPS logger (Pentagram); its flash holds the --track; release, model, logging=on|off, "
                 "image=FILE saves the flash image, nmea=on|off (a GGA sentence every second)",
                 make_mtk);
}

}  // namespace orlogix::sim
