#include "access/libusb_transport.hpp"

#include <algorithm>
#include <cstdio>
#include <span>

#include "access/clock.hpp"
#include "access/libusb_library.hpp"

namespace orlogix {

namespace {

// No wait is longer than this without looking at the abort flag.
constexpr int kSliceMs = 250;

// Only called once the library is loaded (a transport without it fails at init).
const LibusbLibrary& usb() { return *libusb_library(); }

std::string usb_error_text(int code) {
    if (libusb_library() == nullptr) return libusb_load_error();
    return usb().strerror(static_cast<libusb_error>(code));
}

bool is_garmin(libusb_device* device) {
    libusb_device_descriptor d{};
    return usb().get_device_descriptor(device, &d) == 0 && d.idVendor == kGarminUsbVendor &&
           d.idProduct == kGarminUsbProduct;
}

UsbStatus status_of(int code) {
    switch (code) {
        case LIBUSB_ERROR_TIMEOUT: return UsbStatus::TimedOut;
        case LIBUSB_ERROR_OVERFLOW: return UsbStatus::Overflow;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND: return UsbStatus::NoDevice;
        default: return UsbStatus::Failed;
    }
}

// The devices the context sees, released with the list.
class DeviceList {
public:
    explicit DeviceList(libusb_context* context) : count_(usb().get_device_list(context, &list_)) {}
    ~DeviceList() {
        if (count_ >= 0) usb().free_device_list(list_, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    // 0, or the libusb error with why set.
    int check(std::string& why) const {
        if (count_ >= 0) return 0;
        why = "libusb: " + usb_error_text(static_cast<int>(count_));
        return static_cast<int>(count_);
    }
    std::span<libusb_device* const> devices() const {
        return {list_, count_ > 0 ? static_cast<std::size_t>(count_) : 0};
    }

private:
    libusb_device** list_ = nullptr;
    ssize_t count_;
};

}  // namespace

std::string usb_device_path(int bus, int address) {
    char text[32];
    std::snprintf(text, sizeof text, "usb:%03d:%03d", bus, address);
    return text;
}

bool parse_usb_device_path(const std::string& path, int& bus, int& address) {
    unsigned b = 0, a = 0;
    char tail = 0;
    if (std::sscanf(path.c_str(), "usb:%u:%u%c", &b, &a, &tail) != 2 || b > 255 || a > 255) return false;
    bus = static_cast<int>(b);
    address = static_cast<int>(a);
    return true;
}

LibusbTransport::LibusbTransport() {
    init_result_ = libusb_library() != nullptr ? usb().init(&context_) : LIBUSB_ERROR_NOT_SUPPORTED;
}

LibusbTransport::~LibusbTransport() {
    close();
    if (init_result_ == 0) usb().exit(context_);
}

std::string LibusbTransport::version_text() {
    if (libusb_library() == nullptr) return "libusb not loaded: " + libusb_load_error();
    const libusb_version* v = usb().get_version();
    char text[64];
    std::snprintf(text, sizeof text, "libusb %u.%u.%u", v->major, v->minor, v->micro);
    return text;
}

Clock& LibusbTransport::clock() { return steady_clock(); }

int LibusbTransport::find_devices(std::vector<std::string>& paths, std::string& why) {
    paths.clear();
    if (init_result_ != 0) {
        why = "libusb: " + usb_error_text(init_result_);
        return -1;
    }
    const DeviceList list(context_);
    if (list.check(why) != 0) return -1;
    for (libusb_device* d : list.devices())
        if (is_garmin(d)) paths.push_back(usb_device_path(usb().get_bus_number(d), usb().get_device_address(d)));
    return 0;
}

int LibusbTransport::open(const std::string& path, std::string& why) {
    close();
    int bus = 0, address = 0;
    if (init_result_ != 0) {
        why = "libusb: " + usb_error_text(init_result_);
        return -1;
    }
    if (!parse_usb_device_path(path, bus, address)) {
        why = "not a USB device path (usb:BUS:ADDRESS)";
        return -1;
    }
    const DeviceList list(context_);
    if (list.check(why) != 0) return -1;
    libusb_device* device = nullptr;
    for (libusb_device* d : list.devices())
        if (!device && usb().get_bus_number(d) == bus && usb().get_device_address(d) == address && is_garmin(d))
            device = d;
    int r = device ? usb().open(device, &handle_) : LIBUSB_ERROR_NO_DEVICE;
    libusb_config_descriptor* config = nullptr;
    if (r == 0) {
        // The kernel's garmin_gps driver would otherwise hold the interface.
        usb().set_auto_detach_kernel_driver(handle_, 1);
        r = usb().claim_interface(handle_, 0);
        claimed_ = r == 0;
    }
    if (r == 0) r = usb().get_active_config_descriptor(device, &config);
    if (r != 0) {
        why = usb_error_text(r);
        close();
        return -1;
    }
    bulk_in_ = bulk_out_ = interrupt_in_ = 0;
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
        const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[e];
            const int type = ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
            const bool in = (ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
            if (type == LIBUSB_TRANSFER_TYPE_BULK && in && !bulk_in_) bulk_in_ = ep.bEndpointAddress;
            if (type == LIBUSB_TRANSFER_TYPE_BULK && !in && !bulk_out_) bulk_out_ = ep.bEndpointAddress;
            if (type == LIBUSB_TRANSFER_TYPE_INTERRUPT && in && !interrupt_in_) interrupt_in_ = ep.bEndpointAddress;
        }
    }
    usb().free_config_descriptor(config);
    if (!bulk_in_ || !bulk_out_ || !interrupt_in_) {
        why = "the device lacks a bulk or interrupt endpoint";
        close();
        return -1;
    }
    return 0;
}

void LibusbTransport::close() {
    if (!handle_) return;
    if (claimed_) usb().release_interface(handle_, 0);
    claimed_ = false;
    usb().close(handle_);
    handle_ = nullptr;
}

UsbTransfer LibusbTransport::transfer(unsigned char endpoint, bool interrupt, uint8_t* data, std::size_t count,
                                      int timeout_ms) {
    UsbTransfer out;
    if (!handle_) {
        out.status = UsbStatus::NoDevice;
        return out;
    }
    const bool reading = (endpoint & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
    const int64_t start = clock().now_ms();
    for (;;) {
        const int64_t left = timeout_ms - (clock().now_ms() - start);
        const int slice = static_cast<int>(std::clamp<int64_t>(left, 1, kSliceMs));
        int moved = 0;
        unsigned char* at = data + out.bytes;
        const int length = static_cast<int>(count - out.bytes);
        const int r = interrupt ? usb().interrupt_transfer(handle_, endpoint, at, length, &moved, slice)
                                : usb().bulk_transfer(handle_, endpoint, at, length, &moved, slice);
        out.bytes += static_cast<std::size_t>(std::max(moved, 0));
        if (r == 0) {
            out.status = reading && out.bytes == 0 ? UsbStatus::ZeroLength : UsbStatus::Done;
            if (reading || out.bytes >= count) return out;
            continue;   // a write goes on with what is left
        }
        out.status = status_of(r);
        if (r != LIBUSB_ERROR_TIMEOUT) return out;
        // A slice ran out: what came is handed over; with nothing yet, wait on
        // until the whole time-out has passed, unless the job was aborted.
        if (reading && out.bytes > 0) return out;
        if (aborted_ && aborted_()) return out;
        if (clock().now_ms() - start >= timeout_ms) return out;
    }
}

UsbTransfer LibusbTransport::bulk_write(const uint8_t* data, std::size_t count, int timeout_ms) {
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    return transfer(bulk_out_, false, const_cast<uint8_t*>(data), count, timeout_ms);
}

UsbTransfer LibusbTransport::bulk_read(uint8_t* buffer, std::size_t max, int timeout_ms) {
    return transfer(bulk_in_, false, buffer, max, timeout_ms);
}

UsbTransfer LibusbTransport::interrupt_read(uint8_t* buffer, std::size_t max, int timeout_ms) {
    return transfer(interrupt_in_, true, buffer, max, timeout_ms);
}

}  // namespace orlogix
