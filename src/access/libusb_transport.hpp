#pragma once
// The Garmin USB receiver through libusb: found by vendor 0x091E product
// 0x0003, named "usb:BUS:ADDRESS", the kernel's garmin_gps driver detached,
// interface 0 claimed and its three endpoints taken from the descriptors.
// One libusb context per transport, so each job has its own.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "access/usb_transport.hpp"

struct libusb_context;
struct libusb_device_handle;

namespace orlogix {

inline constexpr uint16_t kGarminUsbVendor = 0x091E;
inline constexpr uint16_t kGarminUsbProduct = 0x0003;

// "usb:BUS:ADDRESS" from the numbers, and back (false when path has another form).
std::string usb_device_path(int bus, int address);
bool parse_usb_device_path(const std::string& path, int& bus, int& address);

class LibusbTransport : public UsbTransport {
public:
    LibusbTransport();
    ~LibusbTransport() override;
    LibusbTransport(const LibusbTransport&) = delete;
    LibusbTransport& operator=(const LibusbTransport&) = delete;

    // Polled between the slices of every wait (at most 250 ms each).
    void set_abort(std::function<bool()> aborted) { aborted_ = std::move(aborted); }
    // "libusb 1.0.26" for the trace.
    static std::string version_text();

    int find_devices(std::vector<std::string>& paths, std::string& why) override;
    int open(const std::string& path, std::string& why) override;
    void close() override;
    bool is_open() const override { return handle_ != nullptr; }

    UsbTransfer bulk_write(const uint8_t* data, std::size_t count, int timeout_ms) override;
    UsbTransfer bulk_read(uint8_t* buffer, std::size_t max, int timeout_ms) override;
    UsbTransfer interrupt_read(uint8_t* buffer, std::size_t max, int timeout_ms) override;
    Clock& clock() override;

private:
    UsbTransfer transfer(unsigned char endpoint, bool interrupt, uint8_t* data, std::size_t count, int timeout_ms);

    libusb_context* context_ = nullptr;
    int init_result_ = 0;
    libusb_device_handle* handle_ = nullptr;
    bool claimed_ = false;
    unsigned char bulk_in_ = 0, bulk_out_ = 0, interrupt_in_ = 0;
    std::function<bool()> aborted_;
};

}  // namespace orlogix
