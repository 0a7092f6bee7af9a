#pragma once
// A serial port on POSIX: raw 8N1 through termios, XON/XOFF on request, DTR
// and RTS raised, exclusive use, reads that return after at most 50 ms and
// writes bounded by a time budget per byte; real time. One job uses a link;
// one extra reader thread may read while the job writes.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "access/link_interface.hpp"

namespace orlogix {

class SerialLink : public Link {
public:
    SerialLink() = default;
    ~SerialLink() { close(); }
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    int open(const std::string& device) override;
    // Raw 8N1, modem lines raised.
    int configure(int baud, bool xon_xoff) override;
    int purge() override;
    int read(uint8_t* buffer, std::size_t max, int timeout_ms = kReadTimeoutMs) override;
    // Every byte within the time budget of the current rate; -1 also when an
    // XOFF held the output past it.
    int write(const uint8_t* data, std::size_t count) override;
    void close() override;

    bool is_open() const override { return fd_.load() >= 0; }
    int baud() const override { return baud_.load(); }
    bool xon_xoff() const override { return xon_xoff_.load(); }
    Clock& clock() override { return steady_clock(); }
    int fd() const { return fd_.load(); }

    // Budget of a write of count bytes: 3 ms per byte at 4800 baud, 2 ms at
    // other rates, never below a minimum that covers scheduling delays.
    static int write_budget_ms(int baud, std::size_t count);

private:
    std::atomic<int> fd_{-1};
    std::atomic<int> baud_{0};
    std::atomic<bool> xon_xoff_{false};
};

// The termios speed for a baud rate, or false when the rate is not supported.
bool termios_speed(int baud, unsigned& speed);

}  // namespace orlogix
