#pragma once
// A Garmin receiver on USB, in memory: a UsbTransport whose far end answers
// like the receiver of a GarminConfig, in USB packets and without
// acknowledgements, on a simulated clock. Its replies come on the interrupt
// pipe, or after a "data available" packet on the bulk pipe (bulk mode);
// uploads are reported line by line.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "access/clock.hpp"
#include "access/usb_transport.hpp"
#include "sim/garmin/garmin_receiver.hpp"

namespace orlogix::sim {

struct GarminUsbConfig {
    GarminConfig receiver;
    bool bulk = false;            // announce "data available" and answer on the bulk pipe
    uint32_t unit_id = 3456789;
    bool zero_length = false;     // close every full chunk with a zero-length packet
    // Faults.
    bool endless_248 = false;         // packet 248 for ever in place of the capabilities
    bool odd_capabilities = false;    // one byte too many in the capability array
    bool bulk_reads_fail = false;     // every bulk read after the session start fails
};

class GarminUsbReceiver : public UsbTransport {
public:
    explicit GarminUsbReceiver(GarminUsbConfig config);

    int find_devices(std::vector<std::string>& paths, std::string& why) override;
    int open(const std::string& path, std::string& why) override;
    void close() override { open_ = false; }
    bool is_open() const override { return open_; }
    UsbTransfer bulk_write(const uint8_t* data, std::size_t count, int timeout_ms) override;
    UsbTransfer bulk_read(uint8_t* buffer, std::size_t max, int timeout_ms) override;
    UsbTransfer interrupt_read(uint8_t* buffer, std::size_t max, int timeout_ms) override;
    Clock& clock() override { return clock_; }

    // "waypoint ID LAT LON", "records N", "track point LAT LON", "transfer complete C", "power off"...
    std::vector<std::string> reports;

private:
    struct Chunk {
        bool zero_length = false;
        std::vector<uint8_t> bytes;
    };
    void handle(uint8_t type, uint16_t id, std::span<const uint8_t> data);
    void reply(uint16_t id, std::span<const uint8_t> data);
    void reply_usb_layer(uint16_t id, std::span<const uint8_t> data);
    void queue(std::deque<Chunk>& pipe, const std::vector<uint8_t>& packet, std::size_t chunk);
    UsbTransfer take(std::deque<Chunk>& pipe, uint8_t* buffer, std::size_t max, int timeout_ms);

    GarminUsbConfig config_;
    ManualClock clock_;
    bool open_ = false;
    bool session_started_ = false;
    std::deque<Chunk> interrupt_, bulk_;
};

}  // namespace orlogix::sim
