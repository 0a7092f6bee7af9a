#pragma once
// The USB pipes a Garmin USB job talks through. The libusb implementation
// opens devices named "usb:BUS:ADDRESS"; tests use an in-memory twin.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orlogix {

class UsbTransport {
public:
    virtual ~UsbTransport() = default;

    // The device paths found ("usb:BUS:ADDRESS"); -1 after reporting an error.
    virtual int find_devices(std::vector<std::string>& paths) = 0;
    // 0, or -1 when the device cannot be opened (absent, busy, no permission).
    virtual int open(const std::string& path) = 0;
    virtual void close() = 0;
    virtual bool is_open() const = 0;

    // Bulk OUT: 0 when every byte went out, -1 otherwise.
    virtual int bulk_write(const uint8_t* data, std::size_t count, int timeout_ms) = 0;
    // Bulk IN: the count received (0 on time-out), -1 on failure.
    virtual int bulk_read(uint8_t* buffer, std::size_t max, int timeout_ms) = 0;
    // Interrupt IN: the count received (0 on time-out), -1 on failure.
    virtual int interrupt_read(uint8_t* buffer, std::size_t max, int timeout_ms) = 0;
};

}  // namespace orlogix
