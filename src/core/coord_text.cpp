#include "core/coord_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/time.hpp"

namespace orlogix {

namespace {

constexpr double kDegreesToRadians = 0.01745329251994;       // the dialogs' constant, kept exactly
constexpr double kSecondsToDegrees = 0.0002777777777777778;
constexpr double kRadiansPerArcMinute = 0.0002908882086657;
constexpr double kBelowOne = 1.0 - 1.0 / 9007199254740992.0;  // largest double below 1

// A read position over the text; every reader below walks one of these.
struct Cursor {
    std::string_view text;
    std::size_t pos = 0;

    bool at_end() const { return pos >= text.size(); }
    char peek() const { return at_end() ? '\0' : text[pos]; }
    bool digit() const { return !at_end() && text[pos] >= '0' && text[pos] <= '9'; }
    std::size_t skip_spaces() {
        const std::size_t from = pos;
        while (!at_end() && text[pos] == ' ') ++pos;
        return pos - from;
    }
    bool take(char c) {
        if (peek() != c || at_end()) return false;
        ++pos;
        return true;
    }
    bool take_decimal_mark() { return take('.') || take(','); }

    // A run of digits whose value must stay below limit; -1 when it does not.
    // Leading zeros are allowed, so the run itself may be of any length.
    int64_t integer_below(int64_t limit, int& count) {
        int64_t v = 0;
        count = 0;
        while (digit()) {
            v = v * 10 + (text[pos] - '0');
            ++pos;
            ++count;
            if (v >= limit) return -1;
        }
        return v;
    }
    // Decimal digits after the mark; any number of them, each worth a tenth of the one before.
    double fraction() {
        double v = 0.0, scale = 0.1;
        while (digit()) {
            v += (text[pos] - '0') * scale;
            scale *= 0.1;
            ++pos;
        }
        // A long run of nines must not round up to a whole unit.
        return std::min(v, kBelowOne);
    }
};

int hemisphere_sign(char c, Axis axis) {
    if (axis == Axis::Latitude) {
        if (c == 'N' || c == 'n') return 1;
        if (c == 'S' || c == 's') return -1;
    } else {
        if (c == 'E' || c == 'e') return 1;
        if (c == 'W' || c == 'w') return -1;
    }
    return 0;
}

int64_t degree_limit(Axis axis) { return axis == Axis::Latitude ? 90 : 180; }

}  // namespace

std::string format_dms(int32_t centi_arcsec, Axis axis) {
    const bool negative = centi_arcsec < 0;
    const char letter = axis == Axis::Latitude ? (negative ? 'S' : 'N') : (negative ? 'W' : 'E');
    const long long v = negative ? -static_cast<long long>(centi_arcsec) : centi_arcsec;
    char buf[64];
    const char* layout = axis == Axis::Latitude ? "%c %02lld  %02lld  %02lld.%02lld" : "%c %03lld  %02lld  %02lld.%02lld";
    std::snprintf(buf, sizeof buf, layout, letter, v / 360000, v / 6000 % 60, v / 100 % 60, v % 100);
    return buf;
}

std::string format_dms_precise(double radians, Axis axis) {
    const bool negative = radians < 0;
    const char letter = axis == Axis::Latitude ? (negative ? 'S' : 'N') : (negative ? 'W' : 'E');
    const double arcsec = std::fabs(radians) * 206264.8062471;
    // Beyond any real angle (or not a number) there is nothing sensible to print.
    if (!(arcsec < 1e9)) return std::string(1, letter) + " ?";
    long long whole = static_cast<long long>(arcsec);
    long long fifth = static_cast<long long>((arcsec - static_cast<double>(whole)) * 100000 + 0.5);
    if (fifth >= 100000) {
        ++whole;
        fifth = 0;
    }
    char buf[64];
    const char* layout = axis == Axis::Latitude ? "%c %02lld %02lld %02lld.%05lld" : "%c %03lld %02lld %02lld.%05lld";
    std::snprintf(buf, sizeof buf, layout, letter, whole / 3600, whole / 60 % 60, whole % 60, fifth);
    return buf;
}

int parse_latlon(std::string_view text, Axis axis, double& radians) {
    Cursor c{text};
    c.skip_spaces();
    int sign = 1;
    if (c.peek() == '+') {
        ++c.pos;
    } else if (c.peek() == '-') {
        sign = -1;
        ++c.pos;
    } else if (const int h = hemisphere_sign(c.peek(), axis); h != 0) {
        sign = h;
        ++c.pos;
    }
    c.skip_spaces();

    int count = 0;
    const int64_t deg = c.integer_below(degree_limit(axis), count);
    if (deg < 0 || count == 0) return -1;
    double degrees = static_cast<double>(deg), minutes = 0.0, seconds = 0.0;

    if (c.take_decimal_mark()) {
        degrees += c.fraction();
    } else if (c.skip_spaces() > 0) {
        const int64_t min = c.integer_below(60, count);
        if (min < 0) return -1;
        minutes = static_cast<double>(min);
        if (c.take_decimal_mark()) {
            minutes += c.fraction();
        } else if (c.skip_spaces() > 0) {
            const int64_t sec = c.integer_below(60, count);
            if (sec < 0) return -1;
            seconds = static_cast<double>(sec);
            if (c.take_decimal_mark()) seconds += c.fraction();
        }
    }
    c.skip_spaces();
    if (!c.at_end()) return -1;
    radians = sign * (degrees + minutes / 60 + seconds * kSecondsToDegrees) * kDegreesToRadians;
    return 0;
}

int parse_utm_zone(std::string_view text, int& zone, char& band) {
    Cursor c{text};
    c.skip_spaces();
    if (!c.digit()) return -2;
    int count = 0;
    const int64_t z = c.integer_below(61, count);
    if (z < 0) return -1;
    if (z == 0) return -2;
    c.skip_spaces();
    char b = c.peek();
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (c.at_end() || b < 'B' || b > 'X' || b == 'I' || b == 'O') return -3;
    ++c.pos;
    c.skip_spaces();
    if (!c.at_end()) return -4;
    zone = static_cast<int>(z);
    band = b;
    return 0;
}

int parse_metres(std::string_view text, double& metres) {
    Cursor c{text};
    c.skip_spaces();
    if (c.at_end()) return -4;
    const char first = c.peek();
    if (first != '+' && first != '-' && !c.digit()) return -1;
    double sign = 1.0;
    if (c.take('-'))
        sign = -1.0;
    else
        c.take('+');
    if (!c.digit()) return -4;
    int64_t v = 0;
    while (c.digit()) {
        if (v > 214748364) return -2;
        v = v * 10 + (c.text[c.pos] - '0');
        ++c.pos;
    }
    double value = static_cast<double>(v);
    if (c.take_decimal_mark()) value += c.fraction();
    c.skip_spaces();
    if (!c.at_end()) return -4;
    metres = sign * value;
    return 0;
}

int parse_iso_time(std::string_view text, uint32_t& seconds, bool& zoned) {
    Cursor c{text};
    // Each field: a digit run no longer than the field holds.
    auto field = [&c](int max_digits, char after, int64_t& out) {
        int count = 0;
        out = 0;
        while (c.digit()) {
            if (++count > max_digits) return false;
            out = out * 10 + (c.text[c.pos] - '0');
            ++c.pos;
        }
        return count > 0 && (after == '\0' || c.take(after));
    };
    int64_t year, month, day, hour, minute, second;
    if (!field(4, '-', year) || !field(2, '-', month) || !field(2, 'T', day) || !field(2, ':', hour) ||
        !field(2, ':', minute) || !field(2, '\0', second))
        return -1;
    if (month < 1 || month > 12 || day < 1 || day > 31) return -1;

    int64_t round_up = 0;
    if (c.take('.')) {
        if (!c.digit()) return -1;
        round_up = c.peek() >= '5' ? 1 : 0;
        while (c.digit()) ++c.pos;
    }

    bool has_zone = false;
    int64_t offset = 0;
    if (c.take('Z')) {
        has_zone = true;
    } else if (c.peek() == '+' || c.peek() == '-') {
        const int64_t sign = c.peek() == '+' ? 1 : -1;
        ++c.pos;
        auto two = [&c](int64_t& out) {
            if (c.pos + 2 > c.text.size()) return false;
            const char a = c.text[c.pos], b = c.text[c.pos + 1];
            if (a < '0' || a > '9' || b < '0' || b > '9') return false;
            out = (a - '0') * 10 + (b - '0');
            c.pos += 2;
            return true;
        };
        int64_t h = 0, m = 0, s = 0;
        if (!two(h)) return -1;
        if (c.take(':')) {
            if (!two(m)) return -1;
            if (c.take(':') && !two(s)) return -1;
        }
        offset = sign * (h * 3600 + m * 60 + s);
        has_zone = true;
    }
    if (!c.at_end()) return -1;

    const int64_t t = seconds_from_calendar(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                                            static_cast<int>(hour), static_cast<int>(minute),
                                            static_cast<int>(second)) +
                      round_up - offset;
    // A date the 32-bit stamp cannot hold would wrap into a wrong one.
    if (t < 0 || t > 0xFFFFFFFFll) return -1;
    seconds = static_cast<uint32_t>(t);
    zoned = has_zone;
    return 0;
}

int parse_seeyou_coord(std::string_view text, Axis axis, double& radians) {
    Cursor c{text};
    c.skip_spaces();
    int count = 0;
    // 9000.000 and 18000.000 are the limits themselves, checked below.
    const int64_t ddmm = c.integer_below(degree_limit(axis) * 100 + 1, count);
    if (ddmm < 0 || count == 0 || !c.take('.')) return -1;
    const double minutes = static_cast<double>(ddmm / 100 * 60 + ddmm % 100) + c.fraction();
    const int sign = hemisphere_sign(c.peek(), axis);
    if (sign == 0) return -1;
    ++c.pos;
    c.skip_spaces();
    if (!c.at_end()) return -1;
    // Minutes 60-99 are not refused, but the angle may not pass the pole or the date line.
    if (minutes > degree_limit(axis) * 60.0) return -1;
    radians = sign * minutes * kRadiansPerArcMinute;
    return 0;
}

int parse_ddmm(std::string_view text, double& radians) {
    Cursor c{text};
    c.skip_spaces();
    int count = 0;
    const int64_t ddmm = c.integer_below(18001, count);
    if (ddmm < 0 || count == 0) return -1;
    double minutes = static_cast<double>(ddmm / 100 * 60 + ddmm % 100);
    if (c.take('.')) minutes += c.fraction();
    c.skip_spaces();
    if (!c.at_end()) return -1;
    if (minutes > 180.0 * 60.0) return -1;
    radians = minutes * kRadiansPerArcMinute;
    return 0;
}

int parse_hhmmss(std::string_view text, int& seconds_of_day, double& fraction) {
    Cursor c{text};
    int count = 0;
    const int64_t v = c.integer_below(236000, count);
    if (v < 0 || count == 0 || v > 235959) return -1;
    double frac = 0.0;
    if (c.take('.')) frac = c.fraction();
    c.skip_spaces();
    if (!c.at_end()) return -1;
    seconds_of_day = static_cast<int>(v / 10000 * 3600 + v / 100 % 100 * 60 + v % 100);
    fraction = frac;
    return 0;
}

int parse_hemisphere_coord(std::string_view text, Axis axis, double& degrees, std::size_t& end) {
    Cursor c{text};
    const int sign = hemisphere_sign(c.peek(), axis);
    if (sign == 0) return -1;
    ++c.pos;
    c.skip_spaces();
    int count = 0;
    const int64_t deg = c.integer_below(degree_limit(axis) + 1, count);
    if (deg < 0 || count == 0) return -1;
    double value = static_cast<double>(deg);

    // Minutes and seconds follow after blanks only when digits come next; otherwise
    // the coordinate ended and the blanks belong to the rest of the line.
    auto next_number_after_spaces = [&c]() {
        std::size_t look = c.pos;
        while (look < c.text.size() && c.text[look] == ' ') ++look;
        if (look == c.pos || look >= c.text.size() || c.text[look] < '0' || c.text[look] > '9') return false;
        c.pos = look;
        return true;
    };
    if (c.take_decimal_mark()) {
        value += c.fraction();
    } else if (next_number_after_spaces()) {
        const int64_t min = c.integer_below(60, count);
        if (min < 0) return -1;
        value += min / 60.0;
        if (c.take_decimal_mark()) {
            value += c.fraction() / 60.0;
        } else if (next_number_after_spaces()) {
            const int64_t sec = c.integer_below(60, count);
            if (sec < 0) return -1;
            double s = static_cast<double>(sec);
            if (c.take_decimal_mark()) s += c.fraction();
            value += s / 3600.0;
        }
    }
    // The pole and the date line themselves are written by the writers' rounding.
    if (value > static_cast<double>(degree_limit(axis))) return -1;
    degrees = sign * value;
    end = c.pos;
    return 0;
}

}  // namespace orlogix
