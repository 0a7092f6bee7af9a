#include "protocols/garmin/usb_link.hpp"

#include <vector>

#include "access/clock.hpp"
#include "access/debug_trace.hpp"
#include "core/report.hpp"

namespace orlogix::garmin {

namespace {

constexpr int kWriteTimeoutMs = 500;
constexpr int kInterruptTimeoutMs = 500;
constexpr int kBulkTimeoutMs = 3000;
constexpr std::size_t kInterruptChunk = 64;
constexpr std::size_t kBulkChunk = 4096;
constexpr int kEmptyReadsMax = 50;
constexpr int64_t kSessionStartMs = 9999;

void trace_line(std::string_view text) {
    trace_text(text);
    trace_text("\r\n");
}

void trace_chunk(std::string_view caption, const uint8_t* data, std::size_t n) {
    trace_line(caption);
    trace_hex(data, n);
}

}  // namespace

int UsbPacketLink::send(uint8_t type, uint16_t id, std::span<const uint8_t> data) {
    const std::vector<uint8_t> packet = encode_usb_packet(type, id, data);
    trace_chunk("Bulk OUT pipe:", packet.data(), packet.size());
    const UsbTransfer t = usb_.bulk_write(packet.data(), packet.size(), kWriteTimeoutMs);
    const char* failure = nullptr;
    switch (t.status) {
        case UsbStatus::Done: failure = t.bytes < packet.size() ? "Bulk OUT error 4" : nullptr; break;
        case UsbStatus::NoDevice: failure = "Bulk OUT error 3"; break;
        case UsbStatus::TimedOut: failure = "Bulk OUT error 2"; break;
        default: failure = "Bulk OUT error 1"; break;
    }
    if (!failure) return 0;
    trace_line(failure);
    return -1;
}

void UsbPacketLink::set_bulk(bool on) {
    bulk_ = on;
    trace_line(on ? "Bulk pipe TRUE" : "Bulk pipe FALSE");
}

bool UsbPacketLink::gather(const uint8_t* chunk, std::size_t n) {
    if (got_ + n > area_.size()) return false;
    for (std::size_t i = 0; i < n; ++i) area_[got_ + i] = chunk[i];
    got_ += n;
    return true;
}

bool UsbPacketLink::packet_ended() const {
    UsbHeader h;
    return decode_usb_header({area_.data(), got_}, h) && got_ >= kUsbHeaderSize + h.size;
}

bool UsbPacketLink::take_header() {
    header_ = UsbHeader{};
    const bool whole = complete_usb_packet({area_.data(), got_});
    decode_usb_header({area_.data(), got_}, header_);
    if (!whole) header_.size = 0;
    return whole;
}

// How each pipe is read and what each way of failing traces and returns.
struct Failure {
    const char* trace;
    int result;
};
struct PipeRead {
    bool bulk;
    std::size_t chunk;
    int timeout_ms;
    const char* caption;
    Failure no_device, timed_out, failed, only_empty, overflow;
};

constexpr PipeRead kInterruptPipe{false,
                                  kInterruptChunk,
                                  kInterruptTimeoutMs,
                                  "Interrupt IN pipe:",
                                  {"INT pipe error 3", -1},
                                  {"INT pipe error 2", -1},
                                  {"INT pipe error 1", -1},
                                  {"INT pipe error 5", -1},
                                  {"INT pipe overflow", -1}};
constexpr PipeRead kBulkPipe{true,
                             kBulkChunk,
                             kBulkTimeoutMs,
                             "Bulk IN pipe:",
                             {"Bulk IN error 5", -5},
                             {"Bulk IN error 2", -2},
                             {"Bulk IN error 1", -1},
                             {"Bulk IN error 5", -7},
                             {"Bulk IN error 1", -1}};

int UsbPacketLink::read_interrupt() { return read_pipe(kInterruptPipe); }
int UsbPacketLink::read_bulk() { return read_pipe(kBulkPipe); }

int UsbPacketLink::read_pipe(const PipeRead& pipe) {
    got_ = 0;
    int empty = 0;
    std::vector<uint8_t> chunk(pipe.chunk);
    auto fail = [](const Failure& f) {
        trace_line(f.trace);
        return f.result;
    };
    for (;;) {
        const UsbTransfer t = pipe.bulk ? usb_.bulk_read(chunk.data(), chunk.size(), pipe.timeout_ms)
                                        : usb_.interrupt_read(chunk.data(), chunk.size(), pipe.timeout_ms);
        if (t.bytes > 0) {
            trace_chunk(pipe.caption, chunk.data(), t.bytes);
            if (!gather(chunk.data(), t.bytes)) return fail(pipe.overflow);
        }
        switch (t.status) {
            case UsbStatus::NoDevice: return fail(pipe.no_device);
            case UsbStatus::TimedOut:
                // libusb hands over what came before a time-out.
                if (got_ > 0 && packet_ended()) return static_cast<int>(got_);
                return fail(pipe.timed_out);
            case UsbStatus::Failed:
            case UsbStatus::Overflow: return fail(pipe.failed);
            case UsbStatus::Done:
            case UsbStatus::ZeroLength: break;
        }
        if (t.bytes == 0) {
            if (got_ > 0) return static_cast<int>(got_);  // the closing zero-length packet
            if (++empty >= kEmptyReadsMax) return fail(pipe.only_empty);
            continue;
        }
        if (packet_ended() || t.bytes < pipe.chunk) return static_cast<int>(got_);
    }
}

int UsbPacketLink::receive() {
    if (bulk_) {
        if (read_bulk() < 0) return -7;
        const bool whole = take_header();
        if (header_.type != kUsbApplicationLayer) return -8;
        return whole ? 0 : -9;
    }
    if (read_interrupt() < 0) return -1;
    if (!take_header()) return -1;
    if (header_.type == kUsbProtocolLayer) {
        if (header_.id != kUsbDataAvailable || header_.size != 0) return -2;
        set_bulk(true);
        if (read_bulk() < 0) return -3;
        const bool whole = take_header();
        if (header_.type != kUsbApplicationLayer) return -4;
        return whole ? 0 : -5;
    }
    return header_.type == kUsbApplicationLayer ? 0 : -6;
}

int UsbPacketLink::start_session(uint32_t& unit_id, std::string& error) {
    set_bulk(false);
    if (send(kUsbProtocolLayer, kUsbStartSession) != 0) {
        error = "E001 Bulk OUT error";
        return -1;
    }
    Clock& clock = usb_.clock();
    const int64_t start = clock.now_ms();
    while (clock.now_ms() - start < kSessionStartMs) {
        if (bulk_) {
            const int r = read_bulk();
            if (r == -2) {
                // The receiver went quiet on the bulk pipe: back to the interrupt pipe.
                set_bulk(false);
                if (read_interrupt() < 0) {
                    error = "E008 Start session error";
                    return -1;
                }
            } else if (r < 0) {
                error = strformat("E003 Start session error (%d)", -r);
                return -1;
            }
        } else if (read_interrupt() < 0) {
            error = "E002 Start session error";
            return -1;
        }
        UsbHeader h;
        decode_usb_header({area_.data(), got_}, h);
        if (h.type == kUsbApplicationLayer) continue;
        if (h.id == kUsbSessionStarted) {
            if (got_ != 16 || !complete_usb_packet({area_.data(), got_})) {
                error = "E004 Start session error";
                return -1;
            }
            unit_id = static_cast<uint32_t>(area_[12]) | static_cast<uint32_t>(area_[13]) << 8 |
                      static_cast<uint32_t>(area_[14]) << 16 | static_cast<uint32_t>(area_[15]) << 24;
            trace_line("Session started");
            return 0;
        }
        if (h.id == kUsbDataAvailable) {
            if (got_ != kUsbHeaderSize || h.size != 0) {
                error = "E005 Start session error";
                return -1;
            }
            set_bulk(true);
            continue;
        }
        error = "E006 Start session error";
        return -1;
    }
    error = "E007 Start session error";
    return -1;
}

}  // namespace orlogix::garmin
