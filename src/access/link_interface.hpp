#pragma once
// What a job talks to its instrument through: bytes out, bytes in with a
// time-out, the rate and flow control, a purge, and the clock the link's
// time runs on. The termios serial link is one implementation, the
// in-memory link another; the tracing wrapper feeds the debug trace for both.
#include <cstddef>
#include <cstdint>
#include <string>

#include "access/clock.hpp"
#include "access/port_list.hpp"

namespace orlogix {

inline constexpr int kReadTimeoutMs = 50;

class Link {
public:
    virtual ~Link() = default;

    // The device a configured port name leads to; empty when there is none.
    virtual std::string device_for(const std::string& port_name, const DeviceRoots& roots) const {
        return resolve_port_name(port_name, roots);
    }
    // Opens the device for exclusive use. 0, or -1 with errno (missing
    // device, no permission, used by another program).
    virtual int open(const std::string& device) = 0;
    // Line settings: 8N1 at baud, XON/XOFF both ways as asked. 0, or -1 with errno.
    virtual int configure(int baud, bool xon_xoff) = 0;
    // Drops everything queued in both directions. 0 or -1.
    virtual int purge() = 0;
    // Waits at most timeout_ms for input and returns what arrived: a count,
    // possibly 0, or -1 on a read error.
    virtual int read(uint8_t* buffer, std::size_t max, int timeout_ms = kReadTimeoutMs) = 0;
    // 0 when every byte went out, -1 when the link failed or stopped taking bytes.
    virtual int write(const uint8_t* data, std::size_t count) = 0;
    virtual void close() = 0;

    virtual bool is_open() const = 0;
    virtual int baud() const = 0;
    virtual bool xon_xoff() const = 0;
    // The time this link's waits are measured in.
    virtual Clock& clock() = 0;
};

}  // namespace orlogix
