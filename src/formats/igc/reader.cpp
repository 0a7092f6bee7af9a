#include "formats/igc/reader.hpp"

#include <algorithm>
#include <new>

#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"

namespace orlogix {

namespace {

constexpr std::size_t kLineMax = 80;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_alnum(char c) { return is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Digits at [pos, pos+n) of s; false when any is missing or not a digit.
bool digits_at(std::string_view s, std::size_t pos, std::size_t n, int& value) {
    if (pos + n > s.size()) return false;
    int v = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (!is_digit(s[i])) return false;
        v = v * 10 + (s[i] - '0');
    }
    value = v;
    return true;
}

// Five digits, or "-" and four digits.
bool altitude_at(std::string_view s, std::size_t pos, int& value) {
    if (pos < s.size() && s[pos] == '-') {
        if (!digits_at(s, pos + 1, 4, value)) return false;
        value = -value;
        return true;
    }
    return digits_at(s, pos, 5, value);
}

// "DDMMYY" of the old form, or the current standard's "DATE:DDMMYY" with an
// optional ",NN" flight number. 0 and the midnight time stamp, or -1.
int parse_date_line(std::string_view rest, uint32_t& midnight) {
    if (rest.starts_with("DATE:")) {
        rest.remove_prefix(5);
        if (rest.size() > 6) {
            std::string_view flight = rest.substr(6);
            if (flight.size() < 2 || flight[0] != ',') return -1;
            for (char c : flight.substr(1))
                if (!is_digit(c)) return -1;
            rest = rest.substr(0, 6);
        }
    }
    int day = 0, month = 0, year = 0;
    if (rest.size() != 6 || !digits_at(rest, 0, 2, day) || !digits_at(rest, 2, 2, month) ||
        !digits_at(rest, 4, 2, year))
        return -1;
    if (day < 1 || day > 31 || month < 1 || month > 12) return -1;
    midnight = time_from_calendar(2000 + year, month, day, 0, 0, 0);
    return 0;
}

class Parser {
public:
    Parser(IgcParsed& out, IgcParseError& err) : out_(out), err_(err) {}

    // 0, or -1 with the error set.
    int line(std::string_view text, int number) {
        if (text.starts_with("HFDTE")) return date_line(text, number);
        if (text.starts_with("A")) return a_record(text, number);
        if (text.starts_with("B")) return b_record(text, number);
        return 0;
    }

    int finish() {
        if (!seen_a_) return fail("No A-record found", 0);
        if (out_.positions.empty()) return fail("No positions found", 0);
        return 0;
    }

private:
    int fail(std::string text, int number) {
        err_.text = std::move(text);
        err_.line = number;
        return -1;
    }

    int date_line(std::string_view text, int number) {
        if (seen_date_) return fail("Multiple date lines", number);
        if (parse_date_line(text.substr(5), midnight_) != 0) return fail(strformat("Date error %d on line %d", 1, number), number);
        seen_date_ = true;
        return 0;
    }

    int a_record(std::string_view text, int number) {
        if (seen_a_) return fail("Multiple A-records", number);
        if (text.size() < 4) return fail("Too short A-record", number);
        for (std::size_t i = 1; i < 4; ++i)
            if (!is_alnum(text[i])) return fail("Bad IGC manufacturer found in the A-record", number);
        out_.maker = std::string(text.substr(1, 3));
        if (text.size() < 5 || text[4] == ' ') {
            out_.serial = "000";
        } else {
            if (text.size() < 7) return fail("Bad serial number found in the A-record", number);
            for (std::size_t i = 4; i < 7; ++i)
                if (!is_alnum(text[i])) return fail("Bad serial number found in the A-record", number);
            out_.serial = std::string(text.substr(4, 3));
        }
        seen_a_ = true;
        return 0;
    }

    int b_record(std::string_view text, int number) {
        if (!seen_date_) return fail("Missing date line", number);
        TrackPosition p;
        const int e = decode_igc_b_record(text, p);
        if (e != 0) return fail(strformat("Pos. error %d on line %d", e, number), number);
        const uint32_t time_of_day = p.time;
        if (!out_.positions.empty() && previous_time_of_day_ >= time_of_day + 3600) day_offset_ += 86400;
        previous_time_of_day_ = time_of_day;
        p.time = midnight_ + day_offset_ + time_of_day;
        p.flags = out_.positions.empty() ? kSegmentStart : 0;
        out_.positions.push_back(p);
        return 0;
    }

    IgcParsed& out_;
    IgcParseError& err_;
    bool seen_a_ = false;
    bool seen_date_ = false;
    uint32_t midnight_ = 0;
    uint32_t day_offset_ = 0;
    uint32_t previous_time_of_day_ = 0;
};

}  // namespace

int decode_igc_b_record(std::string_view line, TrackPosition& p) {
    std::string_view s = line.substr(line.empty() ? 0 : 1);
    int hour, minute, second, lat_deg, lat_min, lon_deg, lon_min, baro, gnss;
    if (!digits_at(s, 0, 2, hour)) return 1;
    if (hour > 23) return 2;
    if (!digits_at(s, 2, 2, minute)) return 3;
    if (minute >= 60) return 4;
    if (!digits_at(s, 4, 2, second)) return 5;
    if (second >= 60) return 6;
    if (!digits_at(s, 6, 2, lat_deg)) return 7;
    if (lat_deg > 90) return 8;
    if (!digits_at(s, 8, 5, lat_min)) return 9;
    if (lat_min > 60000) return 10;
    // Writers round the last thousandth onto the pole (9000000N); past it is an error.
    if (lat_deg * 60000 + lat_min > 5400000) return 8;
    if (s.size() <= 13 || (s[13] != 'N' && s[13] != 'S')) return 11;
    if (!digits_at(s, 14, 3, lon_deg)) return 12;
    if (lon_deg > 180) return 13;
    if (!digits_at(s, 17, 5, lon_min)) return 14;
    if (lon_min > 60000) return 15;
    if (lon_deg * 60000 + lon_min > 10800000) return 13;  // 18000000E/W is the date line
    if (s.size() <= 22 || (s[22] != 'E' && s[22] != 'W')) return 16;
    if (s.size() <= 23) return 17;
    if (!altitude_at(s, 24, baro) || !altitude_at(s, 29, gnss)) return 18;

    int32_t lat = lat_deg * 60000 + lat_min;
    int32_t lon = lon_deg * 60000 + lon_min;
    if (s[13] == 'S') lat = -lat;
    if (s[22] == 'W') lon = -lon;
    p = TrackPosition{};
    p.time = static_cast<uint32_t>(hour * 3600 + minute * 60 + second);
    p.latitude = milliminutes_to_semicircles(lat);
    p.longitude = milliminutes_to_semicircles(lon);
    p.baro_altitude = baro;
    p.gps_altitude = gnss * 10;
    return 0;
}

namespace {

int parse_lines(std::string_view bytes, IgcParsed& out, IgcParseError& err) {
    Parser parser(out, err);
    int number = 0;
    int rc = 0;
    // A line is what comes before its line feed, up to a CR (the rest is
    // ignored) and at most kLineMax characters; a last line without its line
    // feed still counts.
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t feed = bytes.find('\n', at);
        const std::size_t end = feed == std::string_view::npos ? bytes.size() : feed;
        std::string_view line = bytes.substr(at, end - at);
        line = line.substr(0, std::min(line.find('\r'), kLineMax));
        rc = parser.line(line, ++number);
        if (rc != 0 || feed == std::string_view::npos) break;
        at = feed + 1;
    }
    if (rc == 0) rc = parser.finish();
    return rc;
}

}  // namespace

int parse_igc(std::string_view bytes, IgcParsed& out, IgcParseError& err) {
    out = IgcParsed{};
    err = IgcParseError{};
    int rc = -1;
    try {
        rc = parse_lines(bytes, out, err);
    } catch (const std::bad_alloc&) {
        err.text = "Memory allocation error";
        err.line = 0;
    }
    if (rc != 0) {
        out = IgcParsed{};
        return -1;
    }
    return static_cast<int>(out.positions.size());
}

int read_igc_track(Reporter& r, std::string_view bytes, std::vector<TrackPosition>& positions, RawIgcLog& raw) {
    IgcParsed parsed;
    IgcParseError err;
    if (parse_igc(bytes, parsed, err) < 0) {
        r.error_box(kIgcReadTitle, err.text);
        return -1;
    }
    try {
        raw.bytes.assign(bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        r.error_box(kIgcReadTitle, "Memory allocation error");
        return -1;
    }
    raw.first_fix_time = parsed.positions.front().time;
    raw.maker = parsed.maker;
    raw.serial = parsed.serial;
    positions = std::move(parsed.positions);
    return static_cast<int>(positions.size());
}

}  // namespace orlogix
