#include "formats/airspace/openair_fields.hpp"

#include <cmath>

namespace orlogix::openair {

namespace {

bool is_digit(std::string_view s, std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; }

// A run of digits as an integer; false when there is none. Values are
// capped so that a long run cannot overflow (callers check ranges anyway).
bool read_integer(std::string_view s, std::size_t& i, long& value) {
    if (!is_digit(s, i)) return false;
    value = 0;
    while (is_digit(s, i)) {
        if (value < 100000000) value = value * 10 + (s[i] - '0');
        ++i;
    }
    return true;
}

// The digits after a decimal point, as a fraction; none is 0.
double read_fraction(std::string_view s, std::size_t& i) {
    double value = 0.0, scale = 0.1;
    while (is_digit(s, i)) {
        value += (s[i++] - '0') * scale;
        scale *= 0.1;
    }
    return value;
}

bool decimal_mark(std::string_view s, std::size_t i) { return i < s.size() && (s[i] == '.' || s[i] == ','); }

}  // namespace

void skip_blanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && is_blank(s[i])) ++i;
}

bool parse_coordinate(std::string_view s, std::size_t& i, Axis axis, double& degrees) {
    skip_blanks(s, i);
    long whole = 0;
    // The limits themselves pass here; the value is checked once complete.
    if (!read_integer(s, i, whole) || whole > (axis == Axis::Latitude ? 90 : 180)) return false;
    double value = static_cast<double>(whole);
    if (decimal_mark(s, i)) {
        ++i;
        value += read_fraction(s, i);
    } else if (i < s.size() && s[i] == ':') {
        ++i;
        long minutes = 0;
        if (!read_integer(s, i, minutes) || minutes >= 60) return false;
        double m = static_cast<double>(minutes);
        if (decimal_mark(s, i)) {
            ++i;
            m += read_fraction(s, i);
        } else if (i < s.size() && s[i] == ':') {
            ++i;
            long seconds = 0;
            // Some producers round 59.6 s up to a bare "60"; that value is
            // still unambiguous, so it is taken as a full minute.
            if (!read_integer(s, i, seconds) || seconds > 60) return false;
            double sec = static_cast<double>(seconds);
            if (decimal_mark(s, i)) {
                ++i;
                sec += read_fraction(s, i);
            }
            if (sec > 60.0) return false;
            m += sec / 60.0;
        }
        value += m / 60.0;
    } else {
        return false;
    }
    skip_blanks(s, i);
    if (i >= s.size()) return false;
    const char h = s[i++];
    const bool lat = axis == Axis::Latitude;
    if (h == (lat ? 'N' : 'E') || h == (lat ? 'n' : 'e')) {
        degrees = value;
    } else if (h == (lat ? 'S' : 'W') || h == (lat ? 's' : 'w')) {
        degrees = -value;
    } else {
        return false;
    }
    // A fraction can still carry the value onto the pole or the date line.
    return std::fabs(degrees) <= (lat ? 90.0 : 180.0);
}

bool parse_position(std::string_view s, std::size_t& i, LatLonDegrees& out) {
    if (!parse_coordinate(s, i, Axis::Latitude, out.latitude)) return false;
    if (i >= s.size() || !is_blank(s[i])) return false;
    return parse_coordinate(s, i, Axis::Longitude, out.longitude);
}

bool parse_position_record(std::string_view s, LatLonDegrees& out) {
    std::size_t i = 0;
    if (!parse_position(s, i, out)) return false;
    skip_blanks(s, i);
    return at_record_end(s, i);
}

bool parse_radius(std::string_view s, std::size_t& i, bool comma_decimal, uint32_t& metres) {
    skip_blanks(s, i);
    long whole = 0;
    if (!read_integer(s, i, whole)) return false;
    double value = static_cast<double>(whole);
    if (i < s.size() && (s[i] == '.' || (comma_decimal && s[i] == ','))) {
        ++i;
        value += read_fraction(s, i);
    }
    if (value <= 0.0 || value > 10000.0) return false;
    skip_blanks(s, i);
    double scale = kMetresPerNauticalMile;
    if (i + 1 < s.size() && ((s[i] == 'k' && s[i + 1] == 'm') || (s[i] == 'K' && s[i + 1] == 'M'))) {
        scale = 1000.0;
        i += 2;
    } else if (i + 1 < s.size() && ((s[i] == 'n' && s[i + 1] == 'm') || (s[i] == 'N' && s[i + 1] == 'M'))) {
        i += 2;   // the default unit, said explicitly
    }
    // A radius that rounds to nothing draws nothing and could not be
    // written back either.
    metres = static_cast<uint32_t>(value * scale + 0.5);
    return metres > 0;
}

bool parse_bearing(std::string_view s, std::size_t& i, double& degrees) {
    skip_blanks(s, i);
    long whole = 0;
    if (!read_integer(s, i, whole)) return false;
    double value = static_cast<double>(whole);
    if (i < s.size() && s[i] == '.') {
        ++i;
        value += read_fraction(s, i);
    }
    if (value > 360.0) return false;
    degrees = value;
    return true;
}

}  // namespace orlogix::openair
