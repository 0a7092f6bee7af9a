#include "protocols/dsx/link_session.hpp"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/dsx/commands.hpp"

namespace orlogix::dsx {

namespace {

constexpr const char* kOpenTitle = "Opening connection to DSX";
constexpr int kAttemptMs = 2000;
constexpr int kSettleMs = 200;

// A pause on the job's clock that an abort does not end early: the link
// moves the simulated clock on, the steady clock is waited out.
void uncut_pause(JobContext& ctx, int ms) {
    const Deadline end = ctx.timer.deadline(ms);
    uint8_t scratch[64];
    while (!end.expired()) {
        if (ctx.link().read(scratch, sizeof scratch, static_cast<int>(std::min<int64_t>(end.remaining_ms(), 50))) < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(end.remaining_ms(), 50)));
    }
}

}  // namespace

ReadEnd read_until_silence(JobContext& ctx, const std::function<int()>& silence_ms,
                           const std::function<bool(uint8_t)>& take) {
    Deadline quiet = ctx.timer.deadline(silence_ms());
    uint8_t buffer[100];
    for (;;) {
        if (ctx.aborted()) return ReadEnd::Aborted;
        const int n = read_bytes(ctx, buffer, sizeof buffer);
        if (n < 0) return ReadEnd::Error;
        for (int i = 0; i < n; ++i)
            if (!take(buffer[i])) return ReadEnd::Stopped;
        if (n > 0) quiet = ctx.timer.deadline(silence_ms());
        if (quiet.expired()) return ReadEnd::Silence;
    }
}

int open_connection(JobContext& ctx) {
    if (connect_serial(ctx, kConnectBaud, false) < 0) return -1;
    for (int left = identification_attempts(ctx.options.timeout_seconds); left > 0; --left) {
        job_status(ctx, format_counts("Opening connection (%)", left));
        if (write_text(ctx, kOpen) < 0) return job_error(ctx, "E101 COM port write error", kOpenTitle), -1;
        OpenAnswerMatcher matcher;
        bool answered = false;
        const Deadline attempt = ctx.timer.deadline(kAttemptMs);
        const ReadEnd end = read_until_silence(
            ctx, [&] { return static_cast<int>(std::max<int64_t>(attempt.remaining_ms(), 1)); },
            [&](uint8_t b) { return !(answered = matcher.feed(b)); });
        if (end == ReadEnd::Aborted) return job_aborted(ctx);
        if (end == ReadEnd::Error) return job_error(ctx, "E102 COM port read error", kOpenTitle), -1;
        if (!answered) continue;
        if (write_text(ctx, kFast) < 0) return job_error(ctx, "E103 COM port write error", kOpenTitle), -1;
        if (!ctx.pause_ms(kSettleMs)) return job_aborted(ctx);
        if (set_baud(ctx, kFastBaud) < 0) return job_error(ctx, "E104 COM port speed set error", kOpenTitle), -1;
        return 0;
    }
    job_error(ctx, "No valid response from GPS", kOpenTitle);
    return -1;
}

void close_connection(JobContext& ctx) {
    if (!ctx.link().is_open()) return;
    write_text(ctx, kClose);
    uncut_pause(ctx, kSettleMs);
    ctx.link().configure(kConnectBaud, false);
}

}  // namespace orlogix::dsx
