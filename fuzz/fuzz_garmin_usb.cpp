// The Garmin USB packet layer on arbitrary pipe contents: the input is cut
// into chunks (each led by a byte giving its pipe, status and length) and
// packets are received until the pipes run dry. No crash, no hang, and every
// packet handed out is whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "access/clock.hpp"
#include "protocols/garmin/usb_link.hpp"

using namespace orlogix;
using namespace orlogix::garmin;

namespace {

struct Chunk {
    UsbStatus status;
    std::vector<uint8_t> bytes;
};

class FuzzUsb : public UsbTransport {
public:
    int find_devices(std::vector<std::string>&, std::string&) override { return 0; }
    int open(const std::string&, std::string&) override { return 0; }
    void close() override {}
    bool is_open() const override { return true; }
    UsbTransfer bulk_write(const uint8_t*, std::size_t count, int) override { return {UsbStatus::Done, count}; }
    UsbTransfer bulk_read(uint8_t* b, std::size_t max, int t) override { return next(bulk, b, max, t); }
    UsbTransfer interrupt_read(uint8_t* b, std::size_t max, int t) override { return next(interrupt, b, max, t); }
    Clock& clock() override { return clock_; }
    std::deque<Chunk> interrupt, bulk;
    ManualClock clock_;

private:
    UsbTransfer next(std::deque<Chunk>& pipe, uint8_t* b, std::size_t max, int t) {
        if (pipe.empty()) {
            clock_.advance(t);
            return {UsbStatus::TimedOut, 0};
        }
        Chunk c = std::move(pipe.front());
        pipe.pop_front();
        const std::size_t n = std::min(max, c.bytes.size());
        std::copy(c.bytes.begin(), c.bytes.begin() + static_cast<long>(n), b);
        clock_.advance(1);
        return {c.status, n};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzUsb usb;
    std::size_t at = 0;
    while (at < size) {
        const uint8_t lead = data[at++];
        const std::size_t n = std::min<std::size_t>(lead >> 3 << 2, size - at);  // 0..124 bytes
        Chunk c{static_cast<UsbStatus>((lead >> 1) % 6), std::vector<uint8_t>(data + at, data + at + n)};
        at += n;
        ((lead & 1) ? usb.bulk : usb.interrupt).push_back(std::move(c));
    }
    UsbPacketLink link(usb);
    uint32_t unit = 0;
    std::string error;
    link.start_session(unit, error);
    for (int i = 0; i < 64 && (!usb.interrupt.empty() || !usb.bulk.empty()); ++i)
        if (link.receive() == 0 && link.data().size() != link.header().size) std::abort();
    return 0;
}
