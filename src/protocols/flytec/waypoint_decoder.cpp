#include "protocols/flytec/waypoint_decoder.hpp"

#include <cctype>
#include <string_view>

#include "core/names.hpp"
#include "core/units.hpp"
#include "protocols/flytec/fields.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::flytec {

namespace {

constexpr std::string_view kPrefix = "PBRWPS,";
constexpr double kMinutesToRadians = 3.14159265358979323846 / 10800.0;
constexpr std::size_t kIdentifierMax = 6, kLongNameMax = 17;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Error numbers of the two coordinates: too large, bad integer part, bad
// fraction, bad hemisphere letter, no comma after the letter.
struct CoordErrors {
    int range, integer, fraction, letter, comma;
    uint32_t max_before_digit;
};
constexpr CoordErrors kLat{1, 2, 3, 4, 5, 895};
constexpr CoordErrors kLon{6, 7, 8, 9, 10, 1795};

}  // namespace

void WaypointDecoder::reset() {
    state_ = State::Hunt;
    matched_ = 0;
}

int WaypointDecoder::fail(int error) {
    reset();
    return -error;
}

void WaypointDecoder::finish_coordinate(bool longitude) {
    const double minutes = (whole_ % 100) + 60.0 * (whole_ / 100) + fraction_;
    (longitude ? out_.longitude : out_.latitude) = minutes * kMinutesToRadians;
}

int WaypointDecoder::coordinate(char byte, bool fraction, bool longitude) {
    const CoordErrors& e = longitude ? kLon : kLat;
    if (is_digit(byte)) {
        if (fraction) {
            fraction_ += (byte - '0') * scale_;
            scale_ *= 0.1;
        } else {
            if (whole_ > e.max_before_digit) return fail(e.range);
            whole_ = whole_ * 10 + static_cast<uint32_t>(byte - '0');
        }
        return 0;
    }
    if (!fraction && (byte == '.' || byte == ',')) {
        if (whole_ % 100 >= 60) return fail(e.range);   // minutes of 60 or more
        if (byte == '.') {
            state_ = longitude ? State::LonFrac : State::LatFrac;
            return 0;
        }
    } else if (byte != ',') {
        return fail(fraction ? e.fraction : e.integer);
    }
    finish_coordinate(longitude);
    state_ = longitude ? State::LonHemi : State::LatHemi;
    return 0;
}

int WaypointDecoder::hemisphere(char byte, bool longitude) {
    const CoordErrors& e = longitude ? kLon : kLat;
    const State next = longitude ? State::Identifier : State::LonInt;
    double& value = longitude ? out_.longitude : out_.latitude;
    if (byte == ',') {
        state_ = next;
    } else if (byte == (longitude ? 'E' : 'N') || byte == (longitude ? 'W' : 'S')) {
        if (byte == 'S' || byte == 'W') value = -value;
        state_ = longitude ? State::LonComma : State::LatComma;
    } else {
        return fail(e.letter);
    }
    if (state_ == next) {
        whole_ = 0;
        fraction_ = 0.0;
        scale_ = 0.1;
    }
    return 0;
}

int WaypointDecoder::feed(char byte) {
    if (state_ == State::Hunt || state_ == State::Prefix) {
        if (byte == '$') {
            state_ = State::Prefix;
            matched_ = 0;
            sum_ = 0;
            return 0;
        }
        if (state_ == State::Hunt) return 0;
        if (byte != kPrefix[matched_]) {
            reset();
            return 0;
        }
        sum_ ^= static_cast<uint8_t>(byte);
        if (++matched_ == kPrefix.size()) {
            out_ = WaypointSentence{};
            whole_ = 0;
            fraction_ = 0.0;
            scale_ = 0.1;
            altitude_.clear();
            state_ = State::LatInt;
        }
        return 0;
    }
    if (state_ < State::Star) sum_ ^= static_cast<uint8_t>(byte);
    switch (state_) {
    case State::LatInt: return coordinate(byte, false, false);
    case State::LatFrac: return coordinate(byte, true, false);
    case State::LatHemi: return hemisphere(byte, false);
    case State::LatComma:
        if (byte != ',') return fail(kLat.comma);
        state_ = State::LonInt;
        whole_ = 0;
        fraction_ = 0.0;
        scale_ = 0.1;
        return 0;
    case State::LonInt: return coordinate(byte, false, true);
    case State::LonFrac: return coordinate(byte, true, true);
    case State::LonHemi: return hemisphere(byte, true);
    case State::LonComma:
        if (byte != ',') return fail(kLon.comma);
        state_ = State::Identifier;
        return 0;
    case State::Identifier:
        if (byte == '\r' || byte == '\n') return fail(11);
        if (byte == ',') {
            state_ = State::LongName;
        } else if (byte == '*') {
            sum_ ^= static_cast<uint8_t>(byte);   // "*" is not part of the sum
            state_ = State::Digit1;
        } else {
            if (out_.identifier.size() == kIdentifierMax) return fail(12);
            out_.identifier += byte;
        }
        return 0;
    case State::LongName:
        if (byte == '\r' || byte == '\n') return fail(13);
        if (byte == ',') {
            state_ = State::Altitude;
        } else {
            if (out_.long_name.size() == kLongNameMax) return fail(14);
            out_.long_name += byte;
        }
        return 0;
    case State::Altitude: {
        const bool sign_place = altitude_.empty() && byte == '-';
        if (!is_digit(byte) && !sign_place) return fail(15);
        altitude_ += byte;
        if (altitude_.size() == 4) {
            const bool negative = altitude_[0] == '-';
            int v = 0;
            for (char c : std::string_view(altitude_).substr(negative ? 1 : 0)) v = v * 10 + (c - '0');
            out_.altitude = negative ? -v : v;
            state_ = State::Star;
        }
        return 0;
    }
    case State::Star:
        if (byte != '*') return fail(16);
        state_ = State::Digit1;
        return 0;
    case State::Digit1:
    case State::Digit2: {
        const int d = hex_digit(byte, false);  // upper case only
        if (d < 0) return fail(state_ == State::Digit1 ? 17 : 18);
        received_ = state_ == State::Digit1 ? static_cast<unsigned>(d) << 4 : received_ | static_cast<unsigned>(d);
        state_ = state_ == State::Digit1 ? State::Digit2 : State::Cr;
        return 0;
    }
    case State::Cr:
        if (byte != '\r') return fail(19);
        if (received_ != sum_) return fail(20);
        state_ = State::Lf;
        return 0;
    case State::Lf:
        if (byte != '\n') return fail(21);
        reset();
        return 1;
    case State::Hunt:
    case State::Prefix:
        break;
    }
    return 0;
}

Waypoint waypoint_from_sentence(const WaypointSentence& s, uint32_t time) {
    Waypoint w;
    SemicirclePair sc;
    radians_to_semicircles(GeoPosition{s.latitude, s.longitude}, sc);   // in range by the decoder's limits
    w.latitude = sc.latitude;
    w.longitude = sc.longitude;
    w.height = s.altitude;
    w.time = time;
    std::string comment = collapse_blanks(s.long_name);
    for (char& c : comment) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string from_id = collapse_blanks(s.identifier);
    normalise_id(from_id.empty() ? comment : from_id, IdMode::Lenient, w.identifier);
    if (w.identifier.empty()) w.identifier = "Z";
    w.comment = std::move(comment);
    return w;
}

}  // namespace orlogix::flytec
