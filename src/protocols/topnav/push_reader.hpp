#pragma once
// Reading an instrument that pushes: chunks of up to 200 bytes from the
// job's link with XON and XOFF dropped, a wait for the first byte and a
// silence time-out after it, and the raw copy of everything received that
// a successful track download hands over as the Top Navigator log.
#include <cstdint>
#include <string>

namespace orlogix {
class JobContext;
}

namespace orlogix::topnav {

inline constexpr int kForever = -1;

class PushReader {
public:
    enum : int { kSilence = 0, kReadError = -1, kAborted = -2 };

    explicit PushReader(JobContext& ctx) : ctx_(ctx) {}
    // The next bytes: a count above 0, or kSilence when nothing came for
    // first_ms before the first byte or silence_ms after it (kForever: no
    // limit), kReadError, kAborted.
    int next(std::string& chunk, int first_ms, int silence_ms);
    bool started() const { return started_; }
    std::string take_raw() { return std::move(raw_); }

private:
    JobContext& ctx_;
    bool started_ = false;
    std::string raw_;
};

}  // namespace orlogix::topnav
