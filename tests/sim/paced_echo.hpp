#pragma once
// Checks a paced echo on the program's side of a simulated line: a line goes
// out at a rate, its echo comes back, and no byte of the echo may arrive
// before the line and that byte could have crossed the wire at ten bits a
// byte. Times are taken before the write and after each read, so a slow
// machine only makes the check easier, never wrong.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <string>

#include "serial_fd.hpp"
#include "sim/runner.hpp"

namespace orlogix::sim::test {

inline ::testing::AssertionResult echo_keeps_to_the_line(SerialFd& port, speed_t speed, int baud,
                                                         const std::string& line) {
    termios t{};
    if (tcgetattr(port.fd(), &t) != 0 || cfsetspeed(&t, speed) != 0 || tcsetattr(port.fd(), TCSANOW, &t) != 0)
        return ::testing::AssertionFailure() << "cannot set the rate";
    const auto sent = std::chrono::steady_clock::now();
    if (!port.send(line)) return ::testing::AssertionFailure() << "cannot write";
    const auto byte = byte_time(baud);
    std::string got;
    while (got.size() < line.size()) {
        const std::string part = port.read_n(1, std::chrono::seconds(5));
        if (part.empty()) return ::testing::AssertionFailure() << "echo stopped after " << got.size() << " bytes";
        got += part;
        const auto elapsed = std::chrono::steady_clock::now() - sent;
        const auto earliest = static_cast<long long>(line.size() + got.size()) * byte;
        if (elapsed < earliest)
            return ::testing::AssertionFailure()
                   << "byte " << got.size() << " of the echo came after "
                   << std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() << " us, before "
                   << std::chrono::duration_cast<std::chrono::microseconds>(earliest).count() << " us";
    }
    if (got != line) return ::testing::AssertionFailure() << "echo differs: " << got;
    return ::testing::AssertionSuccess();
}

}  // namespace orlogix::sim::test
