#include "protocols/flytec/igc_decoder.hpp"

#include <algorithm>

#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/flytec/fields.hpp"

namespace orlogix::flytec {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_alnum(char c) { return is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Fixed columns [pos, pos + n) of digits only.
bool digits(std::string_view s, std::size_t pos, std::size_t n, int& value) {
    if (pos + n > s.size()) return false;
    int v = 0;
    for (char c : s.substr(pos, n)) {
        if (!is_digit(c)) return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

// A signed decimal in fixed columns, blanks allowed around it.
bool signed_columns(std::string_view s, std::size_t pos, std::size_t n, int& value) {
    std::string_view f = s.substr(pos, n);
    while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
    const bool negative = !f.empty() && f.front() == '-';
    if (negative) f.remove_prefix(1);
    uint32_t v = 0;
    if (negative && (f.empty() || !is_digit(f.front()))) return false;
    if (!parse_unsigned(f, 99999, v)) return false;
    value = negative ? -static_cast<int>(v) : static_cast<int>(v);
    return true;
}

}  // namespace

void IgcLineAssembler::reset() { *this = IgcLineAssembler(); }

IgcLineAssembler::Result IgcLineAssembler::feed(char byte) {
    if (done_) {
        record_.clear();
        done_ = false;
    }
    if (!in_record_) {
        if (byte == '\n') {
            ++lines_;
            return Result::More;
        }
        if (byte == '\r') return Result::More;
        if (byte < 'A' || byte > 'Z') {
            bad_ = static_cast<uint8_t>(byte);
            return Result::BadRecordType;
        }
        in_record_ = true;
    }
    if (byte == '\n') {
        ++lines_;
        in_record_ = false;
        done_ = true;
        return Result::Record;
    }
    // A carriage return ends a record: what follows it must be the line
    // feed, else a line was broken (a spoiled or lost line feed would join
    // two records and lose the second).
    if (!record_.empty() && record_.back() == '\r') {
        bad_ = static_cast<uint8_t>(byte);
        in_record_ = false;
        done_ = true;
        return Result::BadRecordType;
    }
    if (record_.size() == kMaxRecord) {
        in_record_ = false;
        done_ = true;
        return Result::TooLong;
    }
    record_ += byte;
    return Result::More;
}

int IgcDecoder::decode(std::string_view record) {
    if (record.empty()) return static_cast<int>(IgcRecord::Ignored);
    switch (record[0]) {
    case 'A':
        if (record.size() < 7) return -kIgcShortA;
        for (std::size_t i = 1; i < 7; ++i)
            if (!is_alnum(record[i])) return -kIgcBadLogger;
        maker_ = std::string(record.substr(1, 3));
        logger_ = std::string(record.substr(4, 3));
        has_a_ = true;
        return static_cast<int>(IgcRecord::A);
    case 'H':
        if (record.size() > 10 && record.starts_with("HFDTE")) return date(record);
        return static_cast<int>(IgcRecord::Ignored);
    case 'B':
        return fix(record);
    case 'G':
        ++g_records_;
        return static_cast<int>(IgcRecord::G);
    default:
        return static_cast<int>(IgcRecord::Ignored);
    }
}

int IgcDecoder::date(std::string_view record) {
    std::string_view rest = record.substr(5);
    // The current standard's form names the field and may add a flight number.
    if (rest.starts_with("DATE:")) rest.remove_prefix(5);
    auto number = [&](std::size_t pos, uint32_t& v) {
        if (pos + 2 > rest.size()) return false;
        int d = 0;
        if (strict_date_) {
            if (!digits(rest, pos, 2, d)) return false;
            v = static_cast<uint32_t>(d);
            return true;
        }
        return parse_unsigned(rest.substr(pos, 2), 99, v);
    };
    uint32_t day = 0, month = 0, year = 0;
    if (!number(4, year)) return -kIgcDateYear;
    if (!number(2, month)) return -kIgcDateMonth;
    if (month == 0 || month > 12) return -kIgcMonthRange;
    if (!number(0, day)) return -kIgcDateDay;
    if (day == 0 || day > 31) return -kIgcDayRange;
    day_base_ = time_from_calendar(2000 + static_cast<int>(year), static_cast<int>(month), static_cast<int>(day), 0, 0, 0);
    day_offset_ = 0;
    previous_ = 0;
    has_date_ = true;
    return static_cast<int>(IgcRecord::Date);
}

int IgcDecoder::fix(std::string_view r) {
    if (r.size() < 35) return -kIgcShortB;
    if (!has_date_) return -kIgcNoDate;
    int h, m, s, lat_d, lat_m, lat_t, lon_d, lon_m, lon_t, baro, gps;
    if (!digits(r, 1, 2, h)) return -kIgcHours;
    if (h > 23) return -kIgcHoursRange;
    if (!digits(r, 3, 2, m)) return -kIgcMinutes;
    if (m > 59) return -kIgcMinutesRange;
    if (!digits(r, 5, 2, s)) return -kIgcSeconds;
    if (s > 59) return -kIgcSecondsRange;
    if (!digits(r, 7, 2, lat_d)) return -kIgcLatDegrees;
    if (!digits(r, 9, 2, lat_m)) return -kIgcLatMinutes;
    if (!digits(r, 11, 3, lat_t)) return -kIgcLatThousandths;
    if (lat_d > 89 || lat_m > 59) return -kIgcLatRange;
    if (r[14] != 'N' && r[14] != 'S') return -kIgcLatLetter;
    if (!digits(r, 15, 3, lon_d)) return -kIgcLonDegrees;
    if (!digits(r, 18, 2, lon_m)) return -kIgcLonMinutes;
    if (!digits(r, 20, 3, lon_t)) return -kIgcLonThousandths;
    if (lon_d > 179 || lon_m > 59) return -kIgcLonRange;
    if (r[23] != 'E' && r[23] != 'W') return -kIgcLonLetter;
    if (!signed_columns(r, 25, 5, baro) || !signed_columns(r, 30, 5, gps)) return -kIgcAltitude;

    auto angle = [](int d, int mi, int th, bool negative) {
        const double v = d * kPi / 180 + mi * kPi / 10800 + th * kPi / 10800000;
        return negative ? -v : v;
    };
    SemicirclePair sc;
    radians_to_semicircles(GeoPosition{angle(lat_d, lat_m, lat_t, r[14] == 'S'), angle(lon_d, lon_m, lon_t, r[23] == 'W')},
                           sc);
    const uint32_t t = static_cast<uint32_t>(s + 60 * m + 3600 * h);
    TrackPosition p;
    if (positions_ == 0) {
        day_offset_ = 0;
        p.flags = kSegmentStart;
    } else if (previous_ >= t + 3600) {
        day_offset_ += 86400;   // the clock went past midnight
    }
    previous_ = t;
    p.time = day_base_ + day_offset_ + t;
    p.latitude = sc.latitude;
    p.longitude = sc.longitude;
    p.gps_altitude = gps * 10;
    p.baro_altitude = baro;
    position_ = p;
    if (positions_++ == 0) first_time_ = p.time;
    return static_cast<int>(IgcRecord::Position);
}

int remaining_seconds(uint32_t first_time, uint32_t duration, uint32_t last_time, uint64_t elapsed_ms) {
    constexpr int kMax = 5999;
    if (last_time == first_time) return kMax;
    const int64_t left = static_cast<int64_t>(first_time) + duration - last_time;
    const int64_t done = static_cast<int64_t>(last_time) - first_time;
    if (left <= 0 || done < 0) return 0;
    const double seconds = static_cast<double>(left) * static_cast<double>(elapsed_ms) * 0.001 / static_cast<double>(done);
    return seconds >= kMax ? kMax : static_cast<int>(seconds);
}

}  // namespace orlogix::flytec
