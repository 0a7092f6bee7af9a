#pragma once
// Garmin link layer as a pure codec: framing, DLE stuffing, checksum,
// acknowledgements and a byte-at-a-time receiver. No I/O here; the serial
// and USB transports feed it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orlogix::garmin {

inline constexpr uint8_t kDle = 16;
inline constexpr uint8_t kEtx = 3;

// Packet IDs.
inline constexpr uint8_t kPidAck = 6;
inline constexpr uint8_t kPidCommand = 10;
inline constexpr uint8_t kPidTransferComplete = 12;
inline constexpr uint8_t kPidRecords = 27;
inline constexpr uint8_t kPidTrackPoint = 34;
inline constexpr uint8_t kPidWaypoint = 35;
inline constexpr uint8_t kPidTrackHeader = 99;
inline constexpr uint8_t kPidProtocolArray = 253;
inline constexpr uint8_t kPidProductRequest = 254;
inline constexpr uint8_t kPidProductData = 255;

// Command numbers carried by packet 10 (and by 12 to name the transfer).
inline constexpr uint16_t kCmdAbortTransfer = 0;
inline constexpr uint16_t kCmdTransferTrack = 6;
inline constexpr uint16_t kCmdTransferWaypoints = 7;
inline constexpr uint16_t kCmdTurnOff = 8;

inline constexpr std::size_t kMaxData = 255;

struct Packet {
    uint8_t id = 0;
    std::size_t size = 0;
    std::array<uint8_t, 256> data{};

    std::span<const uint8_t> bytes() const { return {data.data(), size}; }
};

Packet make_packet(uint8_t id, std::span<const uint8_t> data);
// A packet whose data is one little-endian 16-bit number (commands, counts, completions).
Packet make_u16_packet(uint8_t id, uint16_t value);
Packet make_ack(uint8_t acknowledged_id);

// Two's complement of the 8-bit sum of id, size and data.
uint8_t frame_checksum(uint8_t id, std::span<const uint8_t> data);

// The wire frame: DLE, id, size, data, checksum, DLE, ETX, with size, data and
// checksum bytes equal to DLE doubled. Data longer than 255 bytes is cut.
std::vector<uint8_t> encode_frame(uint8_t id, std::span<const uint8_t> data);
inline std::vector<uint8_t> encode_frame(const Packet& p) { return encode_frame(p.id, p.bytes()); }

// True for packet 6 of at least 2 bytes acknowledging expected_id (second byte zero).
bool is_ack_of(const Packet& p, uint8_t expected_id);

// 16-bit value at offset 0 when the packet is at least 2 bytes long; -1 otherwise.
int packet_u16(const Packet& p);

enum class FeedResult { More, Complete, Dropped };

// The frame state machine, fed one byte at a time. Keeps its state between
// calls, so a frame may arrive split over any number of reads.
class FrameReceiver {
public:
    FeedResult feed(uint8_t byte);
    // Valid after feed() returned Complete, until the next byte is fed.
    const Packet& packet() const { return packet_; }
    int state() const { return state_; }
    void reset();

private:
    bool unescape(uint8_t byte, bool& take);
    int state_ = 0;
    bool escape_ = false;
    uint8_t sum_ = 0;
    std::size_t count_ = 0;
    Packet packet_;
};

// The receiver plus the leftover of the last port read: bytes after a
// completed packet stay here for the next receive call.
class LinkReceiver {
public:
    static constexpr std::size_t kChunk = 100;

    bool has_pending() const { return pos_ < len_; }
    // Keeps up to kChunk bytes of a fresh read; only call when nothing is pending.
    void load(std::span<const uint8_t> bytes);
    // Runs pending bytes through the state machine; true with the packet in
    // packet() as soon as one completes, false when the bytes ran out.
    bool process();
    const Packet& packet() const { return frames_.packet(); }
    void reset();

private:
    FrameReceiver frames_;
    std::array<uint8_t, kChunk> chunk_{};
    std::size_t len_ = 0;
    std::size_t pos_ = 0;
};

}  // namespace orlogix::garmin
