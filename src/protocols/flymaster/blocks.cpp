#include "protocols/flymaster/blocks.hpp"

#include <cmath>

#include "core/report.hpp"
#include "core/units.hpp"

namespace orlogix::flymaster {

namespace {

constexpr int64_t kLatitudeMax = 5400000;    // 90 degrees in 1/60000
constexpr int64_t kLongitudeMax = 10800000;  // 180 degrees

bool is_type(uint8_t b) { return b >= kFlightInfo && b <= kEnd; }

uint32_t le32(std::span<const uint8_t> d, std::size_t at) {
    return static_cast<uint32_t>(d[at]) | static_cast<uint32_t>(d[at + 1]) << 8 |
           static_cast<uint32_t>(d[at + 2]) << 16 | static_cast<uint32_t>(d[at + 3]) << 24;
}

int16_t le16(std::span<const uint8_t> d, std::size_t at) {
    return static_cast<int16_t>(static_cast<uint16_t>(d[at] | d[at + 1] << 8));
}

// Fixed-width text up to its first NUL.
std::string text_at(std::span<const uint8_t> d, std::size_t at, std::size_t width) {
    std::string out;
    for (std::size_t i = at; i < at + width && i < d.size() && d[i] != 0; ++i) out += static_cast<char>(d[i]);
    return out;
}

// 1/60000 degree to semicircles, in 64 bits and wrapped: 180 degrees east
// and west are one meridian.
int32_t to_semicircles(int64_t milliminutes) {
    const int64_t s = round_half_away(static_cast<double>(milliminutes) * kMilliminutesToSemicircles);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(s)));
}

}  // namespace

BlockEvent BlockDecoder::feed(uint8_t byte) {
    switch (state_) {
        case State::Type:
            if (is_type(byte)) {
                type_ = byte;
                state_ = State::Again;
            }
            return BlockEvent::None;
        case State::Again:
            if (!is_type(byte)) {
                state_ = State::Type;
                return BlockEvent::None;
            }
            if (type_ == kEnd && byte == kEnd) {
                state_ = State::Type;
                return BlockEvent::EndMark;
            }
            state_ = State::Length;
            return BlockEvent::None;
        case State::Length:
            length_ = byte;
            data_.clear();
            state_ = length_ == 0 ? State::Checksum : State::Data;
            return BlockEvent::None;
        case State::Data:
            data_.push_back(byte);
            if (data_.size() == length_) state_ = State::Checksum;
            return BlockEvent::None;
        case State::Checksum: {
            uint8_t sum = length_;
            for (const uint8_t b : data_) sum ^= b;
            state_ = State::Type;
            return sum == byte ? BlockEvent::Block : BlockEvent::BadChecksum;
        }
    }
    return BlockEvent::None;
}

int32_t pressure_altitude(int32_t tenths_hpa) {
    const double atmospheres = std::fabs(tenths_hpa * 0.1 * 0.0009869232667160128);
    return static_cast<int32_t>((1.0 - std::pow(atmospheres, 0.190284)) * 44307.69 + 0.5);
}

const char* TrackAssembler::store() {
    TrackPosition p;
    p.flags = positions_.empty() ? kSegmentStart : 0;
    p.latitude = to_semicircles(latitude_);
    p.longitude = to_semicircles(-longitude_);
    p.gps_altitude = altitude_ * 10;
    p.baro_altitude = pressure_altitude(pressure_);
    p.time = time_ + kEpochOffset;
    try {
        positions_.push_back(p);
    } catch (const std::bad_alloc&) {
        return "E205 Memory allocation error";
    }
    return nullptr;
}

const char* TrackAssembler::add(uint8_t type, std::span<const uint8_t> d) {
    switch (type) {
        case kFlightInfo:
            if (d.size() < 63) return "E205 Bad flight info block length";
            flight_.major = d[0];
            flight_.minor = d[1];
            flight_.serial = le32(d, 4);
            flight_.comp_number = text_at(d, 8, 7);
            flight_.pilot = text_at(d, 16, 14);
            flight_.text = text_at(d, 46, b1nav_ ? 7 : 14);
            has_flight_ = true;
            return nullptr;
        case kKeyPosition: {
            if (d.size() < 17) return "E205 Bad key track position block length";
            const int64_t lat = static_cast<int32_t>(le32(d, 1)), lon = static_cast<int32_t>(le32(d, 5));
            if (lat > kLatitudeMax || lat < -kLatitudeMax) return "E205 Latitude outside valid range";
            if (lon > kLongitudeMax || lon < -kLongitudeMax) return "E205 Longitude value outside valid range";
            latitude_ = lat;
            longitude_ = lon;
            altitude_ = le16(d, 9);
            pressure_ = le16(d, 11);
            time_ = le32(d, 13);
            has_key_ = true;
            return store();
        }
        case kDeltas:
            if (!has_key_) return "E205 Missing key track position block";
            if (d.empty() || d.size() % 6 != 0) return "E205 Bad track position block length";
            for (std::size_t at = 0; at < d.size(); at += 6) {
                const int64_t lat = latitude_ + static_cast<int8_t>(d[at + 1]);
                if (lat > kLatitudeMax || lat < -kLatitudeMax) return "E205 Latitude outside valid range";
                int64_t lon = longitude_ + static_cast<int8_t>(d[at + 2]);
                // Over the date line the meridian wraps.
                if (lon > kLongitudeMax) lon -= 2 * kLongitudeMax;
                if (lon < -kLongitudeMax) lon += 2 * kLongitudeMax;
                latitude_ = lat;
                longitude_ = lon;
                altitude_ += static_cast<int8_t>(d[at + 3]);
                pressure_ += static_cast<int8_t>(d[at + 4]);
                time_ += d[at + 5];
                if (const char* e = store()) return e;
            }
            return nullptr;
        default:
            ended_ = true;
            return finish();
    }
}

const char* TrackAssembler::finish() const {
    return has_flight_ ? nullptr : "E205 Missing flight info block";
}

std::string TrackAssembler::description() const {
    return strformat("Flymaster F1, V%d.%d, S/N %u", flight_.major, flight_.minor, flight_.serial);
}

}  // namespace orlogix::flymaster
