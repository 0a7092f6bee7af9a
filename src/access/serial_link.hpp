#pragma once
// A serial port on POSIX: raw 8N1 through termios, XON/XOFF on request, DTR
// and RTS raised, exclusive use, reads that return after at most 50 ms and
// writes bounded by a time budget per byte. One job uses a link; one extra
// reader thread may read while the job writes.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orlogix {

inline constexpr int kReadTimeoutMs = 50;

class SerialLink {
public:
    SerialLink() = default;
    ~SerialLink() { close(); }
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Opens the device for exclusive use. 0, or -1 with errno (missing
    // device, no permission, used by another program).
    int open(const std::string& device);
    // Line settings: raw 8N1 at baud, XON/XOFF both ways as asked, modem
    // lines raised. 0, or -1 with errno.
    int configure(int baud, bool xon_xoff);
    // Drops everything queued in both directions. 0 or -1.
    int purge();
    // Waits at most timeout_ms for input and returns what arrived: a count,
    // possibly 0, or -1 on a read error.
    int read(uint8_t* buffer, std::size_t max, int timeout_ms = kReadTimeoutMs);
    // Writes every byte within the time budget of the current rate. 0, or -1
    // when the device failed or stopped taking bytes (also after an XOFF).
    int write(const uint8_t* data, std::size_t count);
    void close();

    bool is_open() const { return fd_.load() >= 0; }
    int baud() const { return baud_.load(); }
    int fd() const { return fd_.load(); }

    // Input tracing: every byte read goes into the debug trace as well.
    void set_trace_input(bool on) { trace_input_ = on; }

    // Budget of a write of count bytes: 3 ms per byte at 4800 baud, 2 ms at
    // other rates, never below a minimum that covers scheduling delays.
    static int write_budget_ms(int baud, std::size_t count);

private:
    std::atomic<int> fd_{-1};
    std::atomic<int> baud_{0};
    std::atomic<bool> trace_input_{false};
};

// The termios speed for a baud rate, or false when the rate is not supported.
bool termios_speed(int baud, unsigned& speed);

}  // namespace orlogix
