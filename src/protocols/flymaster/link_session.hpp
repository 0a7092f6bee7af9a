#pragma once
// The Flymaster instrument on the job's link: bytes in (traced, nothing
// dropped: the binary track blocks may hold any byte), "$" lines collected
// within their limits, and the identification every job starts with.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "protocols/flymaster/sentences.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flymaster {

inline constexpr int kBaud = 57600;

enum class ReadEnd { Silence, Limit, Stopped, Aborted, Error };

// Reads in chunks of up to chunk bytes and hands each byte to take (false:
// stop at once). Ends after silence_ms without a byte (0: never) or
// limit_ms after the call (0: no limit).
ReadEnd read_instrument(JobContext& ctx, std::size_t chunk, int silence_ms, int limit_ms,
                        const std::function<bool(uint8_t)>& take);

// Collects lines that begin with prefix (matched byte by byte; a mismatch
// starts over) up to the carriage return, completed by the line feed. At
// most max characters after the "$" are kept; a longer line is dropped, or
// with cut kept cut and marked.
class LineCollector {
public:
    LineCollector(std::string_view prefix, std::size_t max, bool cut) : prefix_(prefix), max_(max), cut_(cut) {}
    // True when byte completed a line; line() (from "$" to before the CR)
    // holds it until the next feed.
    bool feed(char byte);
    std::string_view line() const { return line_; }
    bool was_cut() const { return over_; }

private:
    enum class State { Prefix, Body, Cr };
    void restart(char byte);
    std::string prefix_;
    std::size_t max_;
    bool cut_;
    State state_ = State::Prefix;
    std::string line_;
    bool over_ = false;
};

// Opens the port and asks for the product data until the budget of the
// job's TIMEOUT is spent; fills the job's product texts and shows the info
// line. 0, or -1 after reporting.
int open_and_identify(JobContext& ctx, Product& product);

}  // namespace orlogix::flymaster
