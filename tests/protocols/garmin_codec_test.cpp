// Link layer bytes written out by hand from the documented frame layout:
// DLE, id, size, data, checksum (two's complement of the byte sum), DLE ETX,
// with DLE bytes in size, data and checksum sent twice.
#include <gtest/gtest.h>

#include <vector>

#include "protocols/garmin/link_codec.hpp"

namespace orlogix::garmin {
namespace {

using Bytes = std::vector<uint8_t>;

// Feeds bytes one at a time; returns the packets completed and counts drops.
std::vector<Packet> feed_all(FrameReceiver& rx, const Bytes& bytes, int* dropped = nullptr) {
    std::vector<Packet> out;
    for (uint8_t b : bytes) {
        FeedResult r = rx.feed(b);
        if (r == FeedResult::Complete) out.push_back(rx.packet());
        if (r == FeedResult::Dropped && dropped) ++*dropped;
    }
    return out;
}

TEST(GarminFrame, ProductRequestIsSixBytes) {
    // 254 + 0 = 254; checksum 256 - 254 = 2.
    EXPECT_EQ(encode_frame(kPidProductRequest, {}), (Bytes{0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}));
}

TEST(GarminFrame, AcknowledgementOfProductRequest) {
    // 6 + 2 + 254 + 0 = 262 = 6 mod 256; checksum 250.
    EXPECT_EQ(encode_frame(make_ack(kPidProductRequest)), (Bytes{0x10, 0x06, 0x02, 0xFE, 0x00, 0xFA, 0x10, 0x03}));
}

TEST(GarminFrame, CommandTransferTrackLog) {
    // 10 + 2 + 6 + 0 = 18; checksum 238.
    EXPECT_EQ(encode_frame(make_u16_packet(kPidCommand, kCmdTransferTrack)),
              (Bytes{0x10, 0x0A, 0x02, 0x06, 0x00, 0xEE, 0x10, 0x03}));
}

TEST(GarminFrame, DleInDataAndChecksumIsDoubled) {
    // Data 0x10 0xD4: 10 + 2 + 16 + 212 = 240, checksum 16: both doubled.
    const Bytes data{0x10, 0xD4};
    const Bytes wire{0x10, 0x0A, 0x02, 0x10, 0x10, 0xD4, 0x10, 0x10, 0x10, 0x03};
    EXPECT_EQ(encode_frame(kPidCommand, data), wire);

    FrameReceiver rx;
    auto got = feed_all(rx, wire);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, 10);
    ASSERT_EQ(got[0].size, 2u);
    EXPECT_EQ(got[0].data[0], 0x10);
    EXPECT_EQ(got[0].data[1], 0xD4);
}

TEST(GarminFrame, SizeSixteenIsDoubledButIdSixteenIsNot) {
    Bytes data(16, 0);
    Bytes wire = encode_frame(kDle, data);
    // DLE, id 16 (single), size 16 (doubled), 16 zero bytes, checksum.
    ASSERT_GE(wire.size(), 5u);
    EXPECT_EQ(wire[1], 0x10);
    EXPECT_EQ(wire[2], 0x10);
    EXPECT_EQ(wire[3], 0x10);
    EXPECT_EQ(wire[4], 0x00);
    // 16 + 16 = 32, checksum 224; the frame is 3 + 1 + 16 + 1 + 2 bytes.
    EXPECT_EQ(wire.size(), 23u);
    EXPECT_EQ(wire[20], 0xE0);
}

TEST(GarminFrame, ChecksumMakesTheSumZero) {
    const Bytes data{1, 2, 3, 250, 77};
    const uint8_t c = frame_checksum(35, data);
    unsigned sum = 35 + 5 + c;
    for (uint8_t b : data) sum += b;
    EXPECT_EQ(sum % 256, 0u);
}

TEST(GarminReceive, WrongChecksumDropsTheFrameSilently) {
    FrameReceiver rx;
    int dropped = 0;
    auto got = feed_all(rx, {0x10, 0xFE, 0x00, 0x03, 0x10, 0x03}, &dropped);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(dropped, 1);
    // The receiver hunts again and takes the next good frame.
    got = feed_all(rx, {0x10, 0xFE, 0x00, 0x02, 0x10, 0x03});
    EXPECT_EQ(got.size(), 1u);
}

TEST(GarminReceive, LoneDleInsideFrameDropsIt) {
    FrameReceiver rx;
    int dropped = 0;
    // Data byte 16 not doubled, followed by another byte.
    auto got = feed_all(rx, {0x10, 0x0A, 0x02, 0x10, 0xD4, 0x10, 0x10, 0x10, 0x03}, &dropped);
    EXPECT_TRUE(got.empty());
    EXPECT_GE(dropped, 1);
}

TEST(GarminReceive, BadTrailerDropsTheFrame) {
    FrameReceiver rx;
    int dropped = 0;
    EXPECT_TRUE(feed_all(rx, {0x10, 0xFE, 0x00, 0x02, 0x11, 0x03}, &dropped).empty());
    EXPECT_TRUE(feed_all(rx, {0x10, 0xFE, 0x00, 0x02, 0x10, 0x04}, &dropped).empty());
    EXPECT_EQ(dropped, 2);
}

TEST(GarminReceive, NoiseBeforeFrameAndDleEtxAsIdAreSkipped) {
    FrameReceiver rx;
    auto got = feed_all(rx, {0x00, 0x55, 0x10, 0x03, 0x10, 0x10, 0x10, 0xFE, 0x00, 0x02, 0x10, 0x03});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, 0xFE);
    EXPECT_EQ(got[0].size, 0u);
}

TEST(GarminReceive, StateSurvivesSplitReadsAndLeftoverIsKept) {
    // Two frames in one read, the second cut in the middle.
    Bytes first = encode_frame(make_ack(kPidRecords));
    Bytes second = encode_frame(make_u16_packet(kPidRecords, 4660));
    Bytes chunk = first;
    chunk.insert(chunk.end(), second.begin(), second.begin() + 4);

    LinkReceiver rx;
    rx.load(chunk);
    ASSERT_TRUE(rx.process());
    EXPECT_TRUE(is_ack_of(rx.packet(), kPidRecords));
    EXPECT_TRUE(rx.has_pending());
    EXPECT_FALSE(rx.process());
    EXPECT_FALSE(rx.has_pending());

    rx.load(Bytes(second.begin() + 4, second.end()));
    ASSERT_TRUE(rx.process());
    EXPECT_EQ(rx.packet().id, kPidRecords);
    EXPECT_EQ(packet_u16(rx.packet()), 4660);
}

TEST(GarminReceive, FullSizeRecordRoundTrips) {
    Bytes data(255);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    FrameReceiver rx;
    auto got = feed_all(rx, encode_frame(kPidWaypoint, data));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(Bytes(got[0].bytes().begin(), got[0].bytes().end()), data);
}

TEST(GarminAck, OnlyAProperAcknowledgementCounts) {
    EXPECT_TRUE(is_ack_of(make_ack(34), 34));
    EXPECT_FALSE(is_ack_of(make_ack(35), 34));
    Packet second_byte_set = make_ack(34);
    second_byte_set.data[1] = 1;
    EXPECT_FALSE(is_ack_of(second_byte_set, 34));
    Packet short_ack = make_packet(kPidAck, Bytes{34});
    EXPECT_FALSE(is_ack_of(short_ack, 34));
    Packet nak = make_ack(34);
    nak.id = 21;
    EXPECT_FALSE(is_ack_of(nak, 34));
    // Longer acknowledgements (some receivers send 4 bytes) are fine.
    EXPECT_TRUE(is_ack_of(make_packet(kPidAck, Bytes{34, 0, 0, 0}), 34));
}

}  // namespace
}  // namespace orlogix::garmin
