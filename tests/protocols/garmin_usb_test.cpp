// The Garmin USB packet layer over a scripted pair of pipes: the header
// bytes, packet boundaries, bulk mode, the failure numbers and the session
// start.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "access/clock.hpp"
#include "access/debug_trace.hpp"
#include "protocols/garmin/usb_link.hpp"

namespace orlogix::garmin {
namespace {

using Bytes = std::vector<uint8_t>;

struct Reply {
    UsbStatus status = UsbStatus::Done;
    Bytes bytes;
};

// Each read takes the next reply of its pipe; an empty pipe times out and
// lets the time-out pass on the simulated clock.
class ScriptedUsb : public UsbTransport {
public:
    int find_devices(std::vector<std::string>& paths, std::string&) override {
        paths = {"usb:001:002"};
        return 0;
    }
    int open(const std::string&, std::string&) override { return 0; }
    void close() override {}
    bool is_open() const override { return true; }
    UsbTransfer bulk_write(const uint8_t* data, std::size_t count, int timeout_ms) override {
        if (write_status != UsbStatus::Done) {
            clock_.advance(timeout_ms);
            return {write_status, 0};
        }
        written.emplace_back(data, data + count);
        return {UsbStatus::Done, count};
    }
    UsbTransfer bulk_read(uint8_t* buffer, std::size_t max, int timeout_ms) override {
        return next(bulk, buffer, max, timeout_ms);
    }
    UsbTransfer interrupt_read(uint8_t* buffer, std::size_t max, int timeout_ms) override {
        return next(interrupt, buffer, max, timeout_ms);
    }
    Clock& clock() override { return clock_; }

    std::deque<Reply> interrupt, bulk;
    std::vector<Bytes> written;
    UsbStatus write_status = UsbStatus::Done;
    ManualClock clock_;

private:
    UsbTransfer next(std::deque<Reply>& pipe, uint8_t* buffer, std::size_t max, int timeout_ms) {
        if (pipe.empty()) {
            clock_.advance(timeout_ms);
            return {UsbStatus::TimedOut, 0};
        }
        Reply r = pipe.front();
        pipe.pop_front();
        const std::size_t n = std::min(max, r.bytes.size());
        std::copy(r.bytes.begin(), r.bytes.begin() + static_cast<long>(n), buffer);
        if (r.status == UsbStatus::TimedOut) clock_.advance(timeout_ms);
        return {r.status, n};
    }
};

Bytes app(uint16_t id, Bytes data = {}) { return encode_usb_packet(kUsbApplicationLayer, id, data); }
Bytes usb_layer(uint16_t id, Bytes data = {}) { return encode_usb_packet(kUsbProtocolLayer, id, data); }

// A packet cut into the pipe's chunks, with or without the closing zero-length packet.
void queue(std::deque<Reply>& pipe, const Bytes& packet, std::size_t chunk, bool zero_length) {
    for (std::size_t at = 0; at < packet.size(); at += chunk)
        pipe.push_back({UsbStatus::Done, Bytes(packet.begin() + static_cast<long>(at),
                                               packet.begin() + static_cast<long>(std::min(packet.size(), at + chunk)))});
    if (zero_length) pipe.push_back({UsbStatus::ZeroLength, {}});
}

TEST(GarminUsbPacket, HeadersAreLittleEndianWithZeroPadding) {
    EXPECT_EQ(usb_layer(kUsbStartSession), (Bytes{0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(app(254), (Bytes{0x14, 0, 0, 0, 0xFE, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(app(10, {6, 0}), (Bytes{0x14, 0, 0, 0, 0x0A, 0, 0, 0, 2, 0, 0, 0, 6, 0}));
    EXPECT_EQ(usb_layer(kUsbSessionStarted, {0x78, 0x56, 0x34, 0x12}),
              (Bytes{0, 0, 0, 0, 6, 0, 0, 0, 4, 0, 0, 0, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(usb_layer(kUsbDataAvailable), (Bytes{0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}));
    UsbHeader h;
    ASSERT_TRUE(decode_usb_header(Bytes{0x14, 0, 0, 0, 0x34, 0x12, 0, 0, 0xFF, 0, 0, 0}, h));
    EXPECT_EQ(h.id, 0x1234);
    EXPECT_EQ(h.size, 255u);
    EXPECT_FALSE(decode_usb_header(Bytes(11, 0), h));
    Bytes too_big = app(34, Bytes(255, 1));
    EXPECT_TRUE(complete_usb_packet(too_big));
    too_big[8] = 0;
    too_big[9] = 1;  // size 256
    EXPECT_FALSE(complete_usb_packet(too_big));
}

TEST(GarminUsbLink, SendTracesThePacketAndNamesWhatFailed) {
    const struct {
        UsbStatus status;
        const char* trace;
    } cases[] = {{UsbStatus::NoDevice, "Bulk OUT error 3"}, {UsbStatus::TimedOut, "Bulk OUT error 2"},
                 {UsbStatus::Failed, "Bulk OUT error 1"}};
    for (const auto& c : cases) {
        ScriptedUsb usb;
        usb.write_status = c.status;
        UsbPacketLink link(usb);
        clear_trace();
        EXPECT_EQ(link.send(kUsbApplicationLayer, 254), -1);
        EXPECT_NE(trace_snapshot().find(c.trace), std::string::npos) << c.trace;
    }
    ScriptedUsb usb;
    UsbPacketLink link(usb);
    clear_trace();
    ASSERT_EQ(link.send(kUsbApplicationLayer, 10, Bytes{6, 0}), 0);
    EXPECT_EQ(usb.written.back(), app(10, {6, 0}));
    EXPECT_EQ(trace_snapshot(), "Bulk OUT pipe:\r\n 14 00 00 00 0A 00 00 00 02 00 00 00 06 00\r\n");
}

TEST(GarminUsbLink, PacketsEndAtTheirSizeWithOrWithoutAZeroLengthPacket) {
    const Bytes product = app(255, Bytes(70, 'x'));   // 82 bytes: a full chunk and a short one
    const Bytes exact = app(34, Bytes(52, 'y'));      // 64 bytes: exactly one chunk
    for (const bool zlp : {false, true}) {
        ScriptedUsb usb;
        queue(usb.interrupt, product, 64, zlp);
        queue(usb.interrupt, exact, 64, zlp);
        queue(usb.interrupt, app(12, {6, 0}), 64, zlp);
        UsbPacketLink link(usb);
        ASSERT_EQ(link.receive(), 0) << zlp;
        EXPECT_EQ(link.header().id, 255);
        EXPECT_EQ(link.data().size(), 70u);
        ASSERT_EQ(link.receive(), 0) << zlp;
        EXPECT_EQ(link.header().id, 34);  // the 64-byte packet did not swallow the next
        ASSERT_EQ(link.receive(), 0) << zlp;
        EXPECT_EQ(link.header().id, 12);
        EXPECT_FALSE(link.bulk_mode());
    }
}

TEST(GarminUsbLink, DataAvailableMovesToTheBulkPipeForGood) {
    ScriptedUsb usb;
    queue(usb.interrupt, usb_layer(kUsbDataAvailable), 64, false);
    queue(usb.bulk, app(27, {3, 0}), 4096, false);
    queue(usb.bulk, app(34, Bytes(24, 1)), 4096, false);
    UsbPacketLink link(usb);
    clear_trace();
    ASSERT_EQ(link.receive(), 0);
    EXPECT_TRUE(link.bulk_mode());
    EXPECT_EQ(link.header().id, 27);
    EXPECT_NE(trace_snapshot().find("Bulk pipe TRUE\r\n"), std::string::npos);
    ASSERT_EQ(link.receive(), 0);
    EXPECT_EQ(link.header().id, 34);
    EXPECT_EQ(link.receive(), -7);  // nothing more: the bulk read times out
}

TEST(GarminUsbLink, ReceiveFailuresCarryTheirNumbers) {
    Bytes short_packet = app(34, Bytes(10, 0));
    short_packet.resize(16);  // the header promises 10 bytes, 4 came
    const Bytes too_long(300, 0x14);
    const struct {
        const char* what;
        std::vector<Reply> interrupt, bulk;
        bool start_in_bulk;
        int result;
    } cases[] = {
        {"interrupt read fails", {{UsbStatus::Failed, {}}}, {}, false, -1},
        {"interrupt silent", {}, {}, false, -1},
        {"short on the interrupt pipe", {{UsbStatus::Done, short_packet}}, {}, false, -1},
        {"more than 267 bytes", {{UsbStatus::Done, Bytes(too_long.begin(), too_long.begin() + 64)},
                                 {UsbStatus::Done, Bytes(64, 0)}, {UsbStatus::Done, Bytes(64, 0)},
                                 {UsbStatus::Done, Bytes(64, 0)}, {UsbStatus::Done, Bytes(64, 0)}}, {}, false, -1},
        {"another USB-layer packet", {{UsbStatus::Done, usb_layer(7)}}, {}, false, -2},
        {"bulk fails after the switch", {{UsbStatus::Done, usb_layer(2)}}, {{UsbStatus::Failed, {}}}, false, -3},
        {"USB layer on bulk after the switch", {{UsbStatus::Done, usb_layer(2)}}, {{UsbStatus::Done, usb_layer(6)}},
         false, -4},
        {"short on bulk after the switch", {{UsbStatus::Done, usb_layer(2)}}, {{UsbStatus::Done, short_packet}}, false,
         -5},
        {"unknown type", {{UsbStatus::Done, encode_usb_packet(9, 1)}}, {}, false, -6},
        {"bulk mode: only empty reads", {}, std::vector<Reply>(50, Reply{UsbStatus::ZeroLength, {}}), true, -7},
        {"bulk mode: USB layer", {}, {{UsbStatus::Done, usb_layer(6)}}, true, -8},
        {"bulk mode: short", {}, {{UsbStatus::Done, short_packet}}, true, -9},
    };
    for (const auto& c : cases) {
        ScriptedUsb usb;
        UsbPacketLink link(usb);
        if (c.start_in_bulk) {
            queue(usb.interrupt, usb_layer(kUsbDataAvailable), 64, false);
            queue(usb.bulk, app(27, {1, 0}), 4096, false);
            ASSERT_EQ(link.receive(), 0) << c.what;
        }
        usb.interrupt.assign(c.interrupt.begin(), c.interrupt.end());
        usb.bulk.assign(c.bulk.begin(), c.bulk.end());
        EXPECT_EQ(link.receive(), c.result) << c.what;
    }
}

TEST(GarminUsbLink, SessionStartOnEitherPipe) {
    const Bytes started = usb_layer(kUsbSessionStarted, {0x39, 0x30, 0, 0});  // unit 12345
    for (const bool bulk : {false, true}) {
        ScriptedUsb usb;
        queue(usb.interrupt, app(248), 64, false);  // ignored
        if (bulk) {
            queue(usb.interrupt, usb_layer(kUsbDataAvailable), 64, false);
            queue(usb.bulk, started, 4096, false);
        } else {
            queue(usb.interrupt, started, 64, false);
        }
        UsbPacketLink link(usb);
        uint32_t unit = 0;
        std::string error;
        ASSERT_EQ(link.start_session(unit, error), 0) << error;
        EXPECT_EQ(unit, 12345u);
        EXPECT_EQ(link.bulk_mode(), bulk);
        EXPECT_EQ(usb.written.front(), usb_layer(kUsbStartSession));
    }
}

TEST(GarminUsbLink, SessionStartFailures) {
    const Bytes started = usb_layer(kUsbSessionStarted, {1, 2, 3, 4});
    Bytes long_started = usb_layer(kUsbSessionStarted, {1, 2, 3, 4, 5});
    const struct {
        const char* error;
        std::vector<Reply> interrupt, bulk;
        UsbStatus write = UsbStatus::Done;
    } cases[] = {
        {"E001 Bulk OUT error", {}, {}, UsbStatus::Failed},
        {"E002 Start session error", {}, {}},
        {"E003 Start session error (1)", {{UsbStatus::Done, usb_layer(2)}}, {{UsbStatus::Failed, {}}}},
        {"E004 Start session error", {{UsbStatus::Done, long_started}}, {}},
        {"E005 Start session error", {{UsbStatus::Done, usb_layer(2, {0})}}, {}},
        {"E006 Start session error", {{UsbStatus::Done, usb_layer(9)}}, {}},
        // Quiet on bulk: back to the interrupt pipe, which is quiet too.
        {"E008 Start session error", {{UsbStatus::Done, usb_layer(2)}}, {}},
        // Application packets for longer than 10 seconds.
        {"E007 Start session error", std::vector<Reply>(25, Reply{UsbStatus::TimedOut, app(248)}), {}},
    };
    for (const auto& c : cases) {
        ScriptedUsb usb;
        usb.interrupt.assign(c.interrupt.begin(), c.interrupt.end());
        usb.bulk.assign(c.bulk.begin(), c.bulk.end());
        usb.write_status = c.write;
        UsbPacketLink link(usb);
        uint32_t unit = 0;
        std::string error;
        EXPECT_EQ(link.start_session(unit, error), -1) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
}  // namespace orlogix::garmin
