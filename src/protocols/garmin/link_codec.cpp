#include "protocols/garmin/link_codec.hpp"

#include <algorithm>

namespace orlogix::garmin {

Packet make_packet(uint8_t id, std::span<const uint8_t> data) {
    Packet p;
    p.id = id;
    p.size = std::min(data.size(), kMaxData);
    std::copy_n(data.begin(), p.size, p.data.begin());
    return p;
}

Packet make_u16_packet(uint8_t id, uint16_t value) {
    Packet p;
    p.id = id;
    p.size = 2;
    p.data[0] = static_cast<uint8_t>(value & 0xFF);
    p.data[1] = static_cast<uint8_t>(value >> 8);
    return p;
}

Packet make_ack(uint8_t acknowledged_id) {
    Packet p;
    p.id = kPidAck;
    p.size = 2;
    p.data[0] = acknowledged_id;
    p.data[1] = 0;
    return p;
}

uint8_t frame_checksum(uint8_t id, std::span<const uint8_t> data) {
    unsigned sum = id + static_cast<unsigned>(std::min(data.size(), kMaxData));
    for (std::size_t i = 0; i < data.size() && i < kMaxData; ++i) sum += data[i];
    return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

std::vector<uint8_t> encode_frame(uint8_t id, std::span<const uint8_t> data) {
    if (data.size() > kMaxData) data = data.first(kMaxData);
    std::vector<uint8_t> out;
    out.reserve(2 * data.size() + 10);
    auto put_stuffed = [&out](uint8_t b) {
        out.push_back(b);
        if (b == kDle) out.push_back(b);
    };
    out.push_back(kDle);
    out.push_back(id);
    put_stuffed(static_cast<uint8_t>(data.size()));
    for (uint8_t b : data) put_stuffed(b);
    put_stuffed(frame_checksum(id, data));
    out.push_back(kDle);
    out.push_back(kEtx);
    return out;
}

bool is_ack_of(const Packet& p, uint8_t expected_id) {
    return p.id == kPidAck && p.size >= 2 && p.data[0] == expected_id && p.data[1] == 0;
}

int packet_u16(const Packet& p) {
    if (p.size < 2) return -1;
    return p.data[0] | (p.data[1] << 8);
}

void FrameReceiver::reset() {
    state_ = 0;
    escape_ = false;
    sum_ = 0;
    count_ = 0;
}

// Shared DLE handling of the size, data and checksum states: a first DLE
// only arms the escape; the byte after it must be a second DLE.
// Returns false when the frame is broken (a lone DLE).
bool FrameReceiver::unescape(uint8_t byte, bool& take) {
    take = false;
    if (byte == kDle && !escape_) {
        escape_ = true;
        return true;
    }
    if (escape_ && byte != kDle) return false;
    escape_ = false;
    take = true;
    return true;
}

FeedResult FrameReceiver::feed(uint8_t byte) {
    bool take = false;
    switch (state_) {
    case 0:
        if (byte == kDle) state_ = 1;
        return FeedResult::More;
    case 1:
        if (byte == kDle || byte == kEtx) {
            state_ = 0;
            return FeedResult::More;
        }
        packet_.id = byte;
        sum_ = byte;
        escape_ = false;
        state_ = 2;
        return FeedResult::More;
    case 2:
        if (!unescape(byte, take)) break;
        if (!take) return FeedResult::More;
        packet_.size = byte;
        sum_ = static_cast<uint8_t>(sum_ + byte);
        count_ = 0;
        packet_.data.fill(0);
        state_ = byte == 0 ? 4 : 3;
        return FeedResult::More;
    case 3:
        if (!unescape(byte, take)) break;
        if (!take) return FeedResult::More;
        packet_.data[count_++] = byte;
        sum_ = static_cast<uint8_t>(sum_ + byte);
        if (count_ >= packet_.size) state_ = 4;
        return FeedResult::More;
    case 4:
        if (!unescape(byte, take)) break;
        if (!take) return FeedResult::More;
        sum_ = static_cast<uint8_t>(sum_ + byte);
        if (sum_ != 0) break;
        state_ = 5;
        return FeedResult::More;
    case 5:
        if (byte != kDle) break;
        state_ = 6;
        return FeedResult::More;
    case 6:
        if (byte != kEtx) break;
        state_ = 0;
        return FeedResult::Complete;
    default:
        break;
    }
    state_ = 0;
    escape_ = false;
    return FeedResult::Dropped;
}

void LinkReceiver::load(std::span<const uint8_t> bytes) {
    len_ = std::min(bytes.size(), kChunk);
    std::copy_n(bytes.begin(), len_, chunk_.begin());
    pos_ = 0;
}

bool LinkReceiver::process() {
    while (pos_ < len_) {
        if (frames_.feed(chunk_[pos_++]) == FeedResult::Complete) return true;
    }
    return false;
}

void LinkReceiver::reset() {
    frames_.reset();
    len_ = pos_ = 0;
}

}  // namespace orlogix::garmin
