#include "protocols/topnav/block_decoder.hpp"

#include "core/time.hpp"
#include "protocols/topnav/fields.hpp"

namespace orlogix::topnav {

namespace {
constexpr std::size_t kStartRecordLength = 78;
constexpr std::size_t kTimeRecordLength = 14;
constexpr uint32_t kDay = 86400;

bool two_digits(std::string_view line, std::size_t at, uint32_t low, uint32_t high, uint32_t& out) {
    return decimal_field(line.substr(at, 2), out) && out >= low && out <= high;
}
}  // namespace

int variant_from(char c) { return c == '0' ? 0 : c == '2' ? 2 : 1; }

int time_record_seconds(std::string_view line) {
    if (line.size() != kTimeRecordLength) return -1;
    uint32_t h = 0, m = 0, s = 0;
    if (!two_digits(line, 0, 0, 23, h) || !two_digits(line, 2, 0, 59, m) || !two_digits(line, 4, 0, 59, s))
        return -1;
    if (!hex_field(line.substr(6, 4)) || !decimal_field(line.substr(10, 1))) return -1;
    if (line[12] != 'A' || line[13] != 'C') return -1;
    return static_cast<int>(h * 3600 + m * 60 + s);
}

bool BlockDecoder::start_record(std::string_view line) {
    if (line.size() != kStartRecordLength || line[0] != '@' || line[1] != 'T' || line[2] != 78) return false;
    uint32_t serial = 0, year = 0, month = 0, day = 0;
    if (!hex_field(line.substr(5, 4), serial)) return false;
    if (!decimal_field(line.substr(15, 2), year) || !two_digits(line, 17, 1, 12, month) ||
        !two_digits(line, 19, 1, 31, day))
        return false;
    // Validated only: a clock reading and the time offset the instrument ignores too.
    if (!decimal_field(line.substr(21, 8)) || !hex_field(line.substr(29, 2))) return false;
    if (!hex_field(line.substr(42, 28)) || !hex_field(line.substr(72, 6))) return false;
    variant_ = gps_only_ ? 1 : variant_from(line[4]);
    serial_ = serial;
    start_date_ = time_from_calendar(static_cast<int>(2000 + year), static_cast<int>(month), static_cast<int>(day),
                                     0, 0, 0);
    return true;
}

bool BlockDecoder::position_line(std::string_view line, TrackPosition& p) const {
    const std::size_t length = variant_ == 2 ? 34 : 30;
    if (line.size() != length) return false;
    uint32_t lat = 0, lon = 0, h1 = 0, h2 = 0;
    if (!hex_field(line.substr(0, 6), lat) || !hex_field(line.substr(6, 6), lon) ||
        !hex_field(line.substr(12, 4), h1))
        return false;
    const std::size_t rest = variant_ == 2 ? 20 : 16;
    if (variant_ == 2 && !hex_field(line.substr(16, 4), h2)) return false;
    if (!hex_field(line.substr(rest, length - 3 - rest))) return false;
    const int32_t la = signed24(lat), lo = signed24(lon);
    if (la < -kLatitudeLimit || la > kLatitudeLimit || lo < -kLongitudeLimit || lo > kLongitudeLimit) return false;
    p = {};
    p.latitude = sixthousandths_to_semicircles(la);
    p.longitude = sixthousandths_to_semicircles(lo);
    switch (variant_) {
    case 0: p.baro_altitude = signed16(h1); break;
    case 1: p.gps_altitude = signed16(h1) * 10; break;
    default:
        p.baro_altitude = signed16(h1);
        p.gps_altitude = signed16(h2) * 10;
    }
    return true;
}

void BlockDecoder::store(TrackPosition p, uint32_t time) {
    p.time = time;
    p.flags = positions_.empty() ? kSegmentStart : 0;
    positions_.push_back(p);
}

int BlockDecoder::close_block(bool end) {
    const uint32_t start = start_date_ + day_offset_ + block_time_;
    const std::size_t n = block_.size();
    // 0: leading good run, 1: bad run, 2: good run counted back from the block end.
    int phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Entry& e = block_[i];
        if (phase == 0) {
            if (!e.good) {
                phase = 1;
                continue;
            }
            if (i >= static_cast<std::size_t>(kBlockSeconds)) return kLeadingRunTooLong;
            store(e.p, start + static_cast<uint32_t>(i));
        } else if (phase == 1) {
            if (!e.good) continue;
            // The closing block is not known to span its 30 seconds.
            if (end) return kGoodAfterBadAtEnd;
            if (n - i > static_cast<std::size_t>(kBlockSeconds)) return kTrailingRunTooLong;
            phase = 2;
            store(e.p, start + static_cast<uint32_t>(kBlockSeconds - (n - i)));
        } else {
            if (!e.good) return kBadAfterSecondRun;
            store(e.p, start + static_cast<uint32_t>(kBlockSeconds - (n - i)));
        }
    }
    // Every block that lost entries is counted, wherever the bad run stood.
    if (phase != 0) ++bad_blocks_;
    block_.clear();
    return 0;
}

int BlockDecoder::feed(std::string_view line) {
    if (line.empty() || complete_) return 0;
    if (stage_ == 0) {
        if (start_record(line)) stage_ = 1;
        return 0;
    }
    const int seconds = time_record_seconds(line);
    if (stage_ == 1) {
        if (seconds < 0) return 0;
        block_time_ = static_cast<uint32_t>(seconds);
        stage_ = 2;
        return 0;
    }
    if (line == "@EOF") {
        if (const int e = close_block(true)) return e;
        complete_ = true;
        return kEndOfLog;
    }
    if (seconds >= 0) {
        if (const int e = close_block(false)) return e;
        const uint32_t previous = day_offset_ + block_time_;
        uint32_t next_day = day_offset_;
        if (static_cast<uint32_t>(seconds) < block_time_) next_day += kDay;   // past midnight
        if (next_day + static_cast<uint32_t>(seconds) < previous + kBlockSeconds) return kBadBlockTime;
        day_offset_ = next_day;
        block_time_ = static_cast<uint32_t>(seconds);
        return 0;
    }
    if (block_.size() >= kBlockLinesMax) return kBlockTooLong;
    Entry e;
    e.good = position_line(line, e.p);
    block_.push_back(e);
    return 0;
}

}  // namespace orlogix::topnav
