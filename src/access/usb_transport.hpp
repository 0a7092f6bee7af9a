#pragma once
// The USB pipes a Garmin USB job talks through. The libusb implementation
// opens devices named "usb:BUS:ADDRESS"; tests and the simulator use an
// in-memory twin on a simulated clock, so its time-outs pass without waiting.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orlogix {

class Clock;

// How one transfer ended. Every status comes with the bytes moved: libusb
// reports a partial transfer with a time-out too.
enum class UsbStatus {
    Done,        // the transfer completed (a read may be shorter than asked)
    TimedOut,
    ZeroLength,  // a read completed with a zero-length packet
    Overflow,    // the device sent more than the buffer holds
    NoDevice,    // gone, or never opened: the call failed at once
    Failed,      // the transfer completed with an error
};

struct UsbTransfer {
    UsbStatus status = UsbStatus::Failed;
    std::size_t bytes = 0;
};

class UsbTransport {
public:
    virtual ~UsbTransport() = default;

    // The device paths found ("usb:BUS:ADDRESS"), 0; or -1 with why set to
    // the reason, for the caller to report.
    virtual int find_devices(std::vector<std::string>& paths, std::string& why) = 0;
    // 0, or -1 with why set (absent, busy, no permission).
    virtual int open(const std::string& path, std::string& why) = 0;
    virtual void close() = 0;
    virtual bool is_open() const = 0;

    virtual UsbTransfer bulk_write(const uint8_t* data, std::size_t count, int timeout_ms) = 0;
    virtual UsbTransfer bulk_read(uint8_t* buffer, std::size_t max, int timeout_ms) = 0;
    virtual UsbTransfer interrupt_read(uint8_t* buffer, std::size_t max, int timeout_ms) = 0;

    // The clock the transport's waits run on.
    virtual Clock& clock() = 0;
};

}  // namespace orlogix
