#pragma once
// The binary track download of a Flymaster: a byte-by-byte block decoder
// (type, type again, length, data, checksum; 0xA3 0xA3 ends) and the
// assembler that turns flight information, key positions and delta records
// into track positions.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/records.hpp"

namespace orlogix::flymaster {

inline constexpr uint8_t kFlightInfo = 0xA0;
inline constexpr uint8_t kKeyPosition = 0xA1;
inline constexpr uint8_t kDeltas = 0xA2;
inline constexpr uint8_t kEnd = 0xA3;

// Seconds from the instruments' epoch (2000-01-01 00:00 UTC) to ours.
inline constexpr uint32_t kEpochOffset = 315619200;

enum class BlockEvent { None, Block, EndMark, BadChecksum };

class BlockDecoder {
public:
    BlockEvent feed(uint8_t byte);
    uint8_t type() const { return type_; }
    const std::vector<uint8_t>& data() const { return data_; }

private:
    enum class State { Type, Again, Length, Data, Checksum };
    State state_ = State::Type;
    uint8_t type_ = 0;
    uint8_t length_ = 0;
    std::vector<uint8_t> data_;
};

struct FlightInformation {
    int major = 0, minor = 0;
    uint32_t serial = 0;
    std::string comp_number;   // 7 characters at offset 8
    std::string pilot;         // 14 characters at offset 16
    std::string text;          // at offset 46: 14 characters (7 on a B1NAV)
};

class TrackAssembler {
public:
    explicit TrackAssembler(bool b1nav = false) : b1nav_(b1nav) {}

    // One complete block of the download: nullptr when it is good (the
    // instrument gets 0xB1), else the error text (it gets 0xB3). A block of
    // type 0xA3 or any other type ends the download like the end mark.
    const char* add(uint8_t type, std::span<const uint8_t> data);
    // The end mark: nullptr, or "E205 Missing flight info block".
    const char* finish() const;
    bool ended() const { return ended_; }

    const std::vector<TrackPosition>& positions() const { return positions_; }
    std::vector<TrackPosition>& positions() { return positions_; }
    const FlightInformation& flight() const { return flight_; }
    bool has_flight_information() const { return has_flight_; }
    // "Flymaster F1, V%d.%d, S/N %u".
    std::string description() const;

private:
    const char* store();

    bool b1nav_;
    bool has_flight_ = false, has_key_ = false, ended_ = false;
    FlightInformation flight_;
    int64_t latitude_ = 0, longitude_ = 0;   // 1/60000 degree, longitude west positive
    int32_t altitude_ = 0, pressure_ = 0;    // metres, tenths of a hectopascal
    uint32_t time_ = 0;                       // seconds since 2000
    std::vector<TrackPosition> positions_;
};

// Tenths of a hectopascal as metres of the standard atmosphere, as the
// instrument's log means them.
int32_t pressure_altitude(int32_t tenths_hpa);

}  // namespace orlogix::flymaster
