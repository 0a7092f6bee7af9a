#include "protocols/garmin/usb_packet.hpp"

namespace orlogix::garmin {

namespace {

void put_le(std::vector<uint8_t>& out, std::size_t at, uint32_t v, int width) {
    for (int i = 0; i < width; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get_le(std::span<const uint8_t> b, std::size_t at, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

}  // namespace

std::vector<uint8_t> encode_usb_packet(uint8_t type, uint16_t id, std::span<const uint8_t> data) {
    std::vector<uint8_t> out(kUsbHeaderSize + data.size(), 0);
    out[0] = type;
    put_le(out, 4, id, 2);
    put_le(out, 8, static_cast<uint32_t>(data.size()), 4);
    for (std::size_t i = 0; i < data.size(); ++i) out[kUsbHeaderSize + i] = data[i];
    return out;
}

bool decode_usb_header(std::span<const uint8_t> bytes, UsbHeader& out) {
    if (bytes.size() < kUsbHeaderSize) return false;
    out.type = bytes[0];
    out.id = static_cast<uint16_t>(get_le(bytes, 4, 2));
    out.size = get_le(bytes, 8, 4);
    return true;
}

bool complete_usb_packet(std::span<const uint8_t> bytes) {
    UsbHeader h;
    return decode_usb_header(bytes, h) && h.size <= kUsbDataMax && bytes.size() == kUsbHeaderSize + h.size;
}

}  // namespace orlogix::garmin
