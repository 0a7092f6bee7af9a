#include "protocols/flymaster/link_session.hpp"

#include <algorithm>
#include <vector>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"

namespace orlogix::flymaster {

namespace {

constexpr int kAttemptMs = 2000;
constexpr int kSettleMs = 200;
constexpr std::size_t kProductLineMax = 60;

}  // namespace

ReadEnd read_instrument(JobContext& ctx, std::size_t chunk, int silence_ms, int limit_ms,
                        const std::function<bool(uint8_t)>& take) {
    const Deadline limit = ctx.timer.deadline(limit_ms);
    Deadline quiet = ctx.timer.deadline(silence_ms);
    std::vector<uint8_t> buffer(chunk);
    for (;;) {
        if (ctx.aborted()) return ReadEnd::Aborted;
        const int n = read_bytes(ctx, buffer.data(), buffer.size());
        if (n < 0) return ReadEnd::Error;
        if (n > 0) quiet.restart();
        for (int i = 0; i < n; ++i)
            if (!take(buffer[static_cast<std::size_t>(i)])) return ReadEnd::Stopped;
        if (limit_ms > 0 && limit.expired()) return ReadEnd::Limit;
        if (silence_ms > 0 && quiet.expired()) return ReadEnd::Silence;
    }
}

void LineCollector::restart(char byte) {
    line_.clear();
    over_ = false;
    state_ = State::Prefix;
    if (byte == prefix_[0]) line_ += byte;
    if (line_.size() == prefix_.size()) state_ = State::Body;
}

bool LineCollector::feed(char byte) {
    switch (state_) {
    case State::Prefix:
        if (!line_.empty() && byte == prefix_[line_.size()]) {
            line_ += byte;
            if (line_.size() == prefix_.size()) state_ = State::Body;
        } else {
            restart(byte);
        }
        return false;
    case State::Body:
        if (byte == '$') {
            restart(byte);
        } else if (byte == '\r') {
            state_ = State::Cr;
        } else if (line_.size() - 1 < max_) {
            line_ += byte;
        } else {
            over_ = true;
        }
        return false;
    case State::Cr:
        if (byte == '\n' && (!over_ || cut_)) {
            state_ = State::Prefix;
            return true;
        }
        restart(byte);
        return false;
    }
    return false;
}

int open_and_identify(JobContext& ctx, Product& product) {
    if (connect_serial(ctx, kBaud, false) < 0) return -1;
    ctx.link().set_trace_input(true);
    for (int left = identification_attempts(ctx.options.timeout_seconds); left > 0; --left) {
        job_status(ctx, format_counts("Requesting product info (%)", left));
        if (write_text(ctx, kProductRequest) < 0) {
            job_error(ctx, "COM port write error", "Requesting GPS product data");
            return -1;
        }
        // A line that fails its check is dropped; the attempt goes on.
        LineCollector lines("$", kProductLineMax, false);
        bool taken = false;
        const ReadEnd end = read_instrument(ctx, 200, 0, kAttemptMs, [&](uint8_t b) {
            if (!lines.feed(static_cast<char>(b))) return true;
            taken = parse_product_line(lines.line(), product);
            return !taken;
        });
        if (end == ReadEnd::Aborted) return job_aborted(ctx);
        if (end == ReadEnd::Error) {
            job_error(ctx, "COM port read error", "Reading product data");
            return -1;
        }
        if (!taken) continue;
        job_status(ctx, "Product data read");
        job_product(ctx, info_line(product));
        ctx.result.product_name = kProductName;
        ctx.result.device_identity = device_identity(product);
        if (!ctx.pause_ms(kSettleMs)) return job_aborted(ctx);
        return 0;
    }
    job_error(ctx, "No valid response from GPS", "Get GPS product data");
    return -1;
}

}  // namespace orlogix::flymaster
