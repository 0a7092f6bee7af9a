#pragma once
// The fast binary frames the MLR receivers and the LogIt loggers send:
// 0x8B, a sentence number, the transfer letter and number, the kind
// ("DEBUT", "FIN", "RESTART" or 0x00 with a record count and the records),
// the 16-bit sum of everything from the 0x8B on (high byte first) and CR LF.
// All numbers big-endian.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/records.hpp"

namespace orlogix::mlr {

inline constexpr uint8_t kFrameMark = 0x8B;
inline constexpr std::size_t kTrackRecordSize = 18;
inline constexpr std::size_t kWaypointRecordSize = 22;
// Seconds from 1980-01-06 (the instruments' clock) to the program's epoch.
inline constexpr uint32_t kEpochOffset = 315100800;
// An SP24 with old firmware runs 14 s ahead.
inline constexpr uint32_t kSp24Offset = 14;

enum class FrameKind { Start, End, Restart, Data };

// What a transfer's frames look like.
struct FrameRules {
    char letter = 'T';
    uint8_t number = 1;
    int max_count = 27;
    std::size_t record_size = kTrackRecordSize;
    bool restart = false;        // "RESTART" frames are known
    bool hunt_on_mismatch = true;   // another transfer's letter or number: look for the next 0x8B
};
inline constexpr FrameRules kMlrTrackFrames{'T', 1, 27, kTrackRecordSize, false, true};
inline constexpr FrameRules kMlrWaypointFrames{'W', 2, 23, kWaypointRecordSize, false, true};
inline constexpr FrameRules kLogItFrames{'T', 1, 16, kTrackRecordSize, true, false};

enum class FrameError {
    None,
    Letter,        // not the transfer's letter
    Number,        // not the transfer's number
    Kind,          // no known kind
    StartText,     // "DEBUT" broken
    EndText,       // "FIN" broken
    RestartText,   // "RESTART" broken
    Count,         // a record count of 0 or above the transfer's maximum
    Checksum,
    NoCr,
    NoLf,
};

struct Frame {
    FrameKind kind = FrameKind::Data;
    uint8_t sequence = 0;
    int count = 0;
    std::vector<uint8_t> records;   // count * record size bytes
};

// Byte-at-a-time frame reader. A frame counts only once its sum, CR and
// LF have passed; after an error it hunts for the next 0x8B.
class FrameDecoder {
public:
    enum class Result { More, Frame, Error };
    explicit FrameDecoder(const FrameRules& rules) : rules_(rules) {}
    Result feed(uint8_t byte);
    const Frame& frame() const { return frame_; }
    FrameError error() const { return error_; }
    void reset() { state_ = State::Hunt; }

private:
    enum class State { Hunt, Sequence, Letter, Number, Kind, Text, Count, Records, SumHigh, SumLow, Cr, Lf };
    Result fail(FrameError e);
    FrameRules rules_;
    State state_ = State::Hunt;
    Frame frame_;
    FrameError error_ = FrameError::None;
    const char* text_ = nullptr;   // the rest of the kind's text still to come
    uint16_t sum_ = 0;
    uint16_t received_ = 0;
};

// The MLR and LogIt numbers of the frame errors.
int mlr_error_code(FrameError e);
int logit_error_code(FrameError e);

// One track record as sent.
struct TrackRecord {
    uint16_t point = 0;
    uint32_t time = 0;          // seconds since 1980-01-06
    int32_t latitude = 0;       // semicircles
    int32_t longitude = 0;
    int32_t altitude = 0;       // 24-bit signed
    uint8_t flags = 0;
};
TrackRecord track_record(std::span<const uint8_t, kTrackRecordSize> bytes);

// One waypoint record: six identifier characters and a track record's last 16 bytes.
struct WaypointRecord {
    std::string identifier;
    uint32_t time = 0;
    int32_t latitude = 0;
    int32_t longitude = 0;
    int32_t altitude = 0;       // decimetres
};
WaypointRecord waypoint_record(std::span<const uint8_t, kWaypointRecordSize> bytes);

// The instrument's time as the program's time stamp: 0 for any time before the epoch.
uint32_t program_time(uint32_t instrument_time, uint32_t offset = kEpochOffset);

// The instrument side: frames and records in the same layout.
std::vector<uint8_t> encode_frame(const FrameRules& rules, uint8_t sequence, FrameKind kind,
                                  std::span<const uint8_t> records = {}, int count = 0);
std::vector<uint8_t> encode_track_record(const TrackRecord& r);
std::vector<uint8_t> encode_waypoint_record(const WaypointRecord& r);

}  // namespace orlogix::mlr
