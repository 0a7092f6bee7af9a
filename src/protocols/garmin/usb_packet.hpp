#pragma once
// The 12-byte header that wraps every packet on a Garmin's USB pipes:
// type, three zero bytes, packet ID, two zero bytes, data size, all
// little-endian, then the data.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orlogix::garmin {

inline constexpr uint8_t kUsbProtocolLayer = 0;
inline constexpr uint8_t kUsbApplicationLayer = 20;

// USB protocol layer packet IDs.
inline constexpr uint16_t kUsbDataAvailable = 2;   // interrupt pipe: the next packets come on bulk IN
inline constexpr uint16_t kUsbStartSession = 5;    // to the receiver, no data
inline constexpr uint16_t kUsbSessionStarted = 6;  // data: the 32-bit unit ID

inline constexpr std::size_t kUsbHeaderSize = 12;
inline constexpr std::size_t kUsbDataMax = 255;
inline constexpr std::size_t kUsbPacketMax = kUsbHeaderSize + kUsbDataMax;   // 267

struct UsbHeader {
    uint8_t type = 0;
    uint16_t id = 0;
    uint32_t size = 0;
};

std::vector<uint8_t> encode_usb_packet(uint8_t type, uint16_t id, std::span<const uint8_t> data = {});

// The header of the first 12 bytes; false when fewer came.
bool decode_usb_header(std::span<const uint8_t> bytes, UsbHeader& out);

// Whether bytes hold one whole packet: a header, a size of at most 255 and
// exactly that many data bytes after it.
bool complete_usb_packet(std::span<const uint8_t> bytes);

}  // namespace orlogix::garmin
