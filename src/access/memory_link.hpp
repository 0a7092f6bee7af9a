#pragma once
// A link that joins a job straight to a simulated instrument (a LinkPeer)
// in memory, on a simulated clock: a read that finds nothing due moves the
// clock on to the next reply or to its time-out, so silences cost no real
// time. Line faults (a cut, a spoiled byte) and a failing or absent port
// are switched on by the test; both directions are kept in a transcript.
// Simulated time has one driver: the job thread. A second thread reading
// the link (a PortReader) would move the clock with every empty read, so
// families that read on a second thread test that part on a pseudo-terminal.
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "access/link_interface.hpp"
#include "access/link_peer.hpp"

namespace orlogix {

// Faults of the line itself, counted over the bytes that cross it in
// either direction, in the order they cross.
struct LineFaults {
    std::optional<std::size_t> cut_after;   // nothing crosses once this many bytes have
    std::optional<std::size_t> spoil_at;    // the byte of this index (from 0) crosses inverted
};

struct Crossing {
    bool from_program = false;
    std::string bytes;
};

class MemoryLink : public Link {
public:
    // The peer must outlive the link.
    explicit MemoryLink(LinkPeer& peer) : peer_(peer) {}

    std::string device_for(const std::string& port_name, const DeviceRoots& roots) const override;
    int open(const std::string& device) override;
    int configure(int baud, bool xon_xoff) override;
    int purge() override;
    int read(uint8_t* buffer, std::size_t max, int timeout_ms = kReadTimeoutMs) override;
    int write(const uint8_t* data, std::size_t count) override;
    void close() override;
    bool is_open() const override;
    int baud() const override;
    bool xon_xoff() const override;
    ManualClock& clock() override { return clock_; }

    // Test switches; set them before the job runs.
    void set_faults(const LineFaults& faults);
    void set_present(bool present);       // false: no device to open ("not plugged in")
    void set_read_failure(bool fail);     // reads fail as a broken port's would
    void set_write_failure(bool fail);
    // Calls fn once, on the thread using the link, when the count of bytes
    // crossed reaches after (a test aborts a job there). fn must not use the link.
    void watch(std::size_t after, std::function<void()> fn);

    // Both directions in crossing order, consecutive bytes of one direction joined.
    std::vector<Crossing> transcript() const;
    std::string exchange() const;         // every byte that crossed, both directions
    std::string from_program() const;
    std::string to_program() const;
    std::size_t crossed() const;
    // Every configure() call: rate and XON/XOFF.
    std::vector<std::pair<int, bool>> settings() const;
    int opens() const;

private:
    // Lets bytes cross the line in place: how many get across (a cut drops
    // the rest), spoiled where asked; recorded in the exchange.
    std::size_t cross(char* bytes, std::size_t count, bool from_program);
    std::string one_way(bool from_program) const;

    LinkPeer& peer_;
    ManualClock clock_;
    mutable std::mutex mutex_;
    LineFaults faults_;
    bool present_ = true;
    bool read_failure_ = false;
    bool write_failure_ = false;
    bool open_ = false;
    int opens_ = 0;
    int baud_ = 0;
    bool xon_xoff_ = false;
    std::size_t watch_at_ = 0;
    std::function<void()> watch_;
    std::string exchange_;                              // every byte that crossed
    std::vector<std::pair<std::size_t, bool>> turns_;   // where each direction starts in it
    std::string scratch_;                               // a write's bytes on their way
    std::vector<std::pair<int, bool>> settings_;
};

}  // namespace orlogix
