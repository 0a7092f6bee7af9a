#include "protocols/topnav/push_reader.hpp"

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "protocols/topnav/line_reader.hpp"

namespace orlogix::topnav {

namespace {
constexpr std::size_t kChunk = 200;
}

int PushReader::next(std::string& chunk, int first_ms, int silence_ms) {
    int limit = started_ ? silence_ms : first_ms;
    Deadline until = ctx_.timer.deadline(limit < 0 ? 0 : limit);
    uint8_t buffer[kChunk];
    for (;;) {
        if (ctx_.aborted()) return kAborted;
        const int n = read_bytes(ctx_, buffer, sizeof buffer);
        if (n < 0) return kReadError;
        if (n > 0) {
            started_ = true;
            chunk = without_flow_control(std::string_view(reinterpret_cast<const char*>(buffer),
                                                          static_cast<std::size_t>(n)));
            raw_ += chunk;
            if (!chunk.empty()) return static_cast<int>(chunk.size());
            // Flow control alone is no data, but it is no silence either.
            limit = silence_ms;
            until = ctx_.timer.deadline(limit < 0 ? 0 : limit);
            continue;
        }
        if (limit >= 0 && until.expired()) return kSilence;
    }
}

}  // namespace orlogix::topnav
