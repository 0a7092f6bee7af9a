#pragma once
// The Garmin USB packet layer over a UsbTransport: sending a packet, reading
// one from the interrupt pipe or, once the receiver announced "data
// available", from the bulk pipe, and the session start. Failures carry the
// numbers the callers turn into "E%d Packet read error" and leave their line
// in the debug trace.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "access/usb_transport.hpp"
#include "protocols/garmin/usb_packet.hpp"

namespace orlogix::garmin {

class UsbPacketLink {
public:
    explicit UsbPacketLink(UsbTransport& usb) : usb_(usb) {}

    // The packet with its header, written whole within 500 ms. 0, or -1
    // after its trace line ("Bulk OUT error 1" to "4").
    int send(uint8_t type, uint16_t id, std::span<const uint8_t> data = {});

    // One packet into the receive area: 0, or
    //  bulk mode: -7 read failed, -8 not an application packet, -9 short;
    //  interrupt: -1 read failed or short, -2 another USB-layer packet,
    //  -6 an unknown type; after "data available" on the interrupt pipe the
    //  packet comes from the bulk pipe: -3 read failed, -4 not an
    //  application packet, -5 short. Bulk mode, once on, stays on.
    int receive();

    // The session start: bulk mode off, packet 5 out, then packets until the
    // receiver's 6 gives the unit ID (application packets are skipped, a
    // "data available" turns bulk mode on). 0, or -1 with error set to the
    // message ("E001 Bulk OUT error", "E002 Start session error" ...).
    int start_session(uint32_t& unit_id, std::string& error);

    const UsbHeader& header() const { return header_; }
    std::span<const uint8_t> data() const { return {area_.data() + kUsbHeaderSize, header_.size}; }
    bool bulk_mode() const { return bulk_; }

    // The raw reads: the bytes gathered, or a negative failure (interrupt:
    // -1; bulk: -1 failed completion, -2 time-out, -5 no device, -7 only
    // empty reads). A packet ends when its header's size is reached or a
    // short chunk came; more than 267 bytes fail.
    int read_interrupt();
    int read_bulk();

private:
    int read_pipe(const struct PipeRead& pipe);
    void set_bulk(bool on);
    // Appends a chunk; false when the packet would pass 267 bytes.
    bool gather(const uint8_t* chunk, std::size_t n);
    bool packet_ended() const;
    // After a read: the header, and whether the packet is whole.
    bool take_header();

    UsbTransport& usb_;
    std::array<uint8_t, kUsbPacketMax> area_{};
    std::size_t got_ = 0;
    UsbHeader header_;
    bool bulk_ = false;
};

}  // namespace orlogix::garmin
