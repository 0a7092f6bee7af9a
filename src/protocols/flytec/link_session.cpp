#include "protocols/flytec/link_session.hpp"

#include <algorithm>
#include <cstdint>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/flytec/sentences.hpp"

namespace orlogix::flytec {

namespace {

constexpr int kAttemptMs = 2000;
constexpr int kSettleMs = 1000;

}  // namespace

ReadEnd read_instrument(JobContext& ctx, int silence_ms, int limit_ms, const std::function<bool(char)>& take) {
    const Deadline limit = ctx.timer.deadline(limit_ms);
    Deadline quiet = ctx.timer.deadline(silence_ms);
    for (;;) {
        if (ctx.aborted()) return ReadEnd::Aborted;
        uint8_t chunk[100];
        const int n = read_bytes(ctx, chunk, sizeof chunk);
        if (n < 0) return ReadEnd::Error;
        for (int i = 0; i < n; ++i) {
            const char c = static_cast<char>(chunk[i]);
            if (is_flow_control(c)) continue;
            quiet.restart();
            if (!take(c)) return ReadEnd::Stopped;
        }
        if (limit_ms > 0 && limit.expired()) return ReadEnd::Limit;
        if (silence_ms > 0 && quiet.expired()) return ReadEnd::Silence;
    }
}

int send_request(JobContext& ctx, const std::string& bytes) { return write_text(ctx, bytes); }

int open_and_identify(JobContext& ctx, ProductInfo& info) {
    if (connect_serial(ctx, kBaud, true) < 0) return -1;
    ctx.link().set_trace_input(true);
    for (int left = identification_attempts(ctx.options.timeout_seconds); left > 0; --left) {
        job_status(ctx, format_counts("Requesting product info (%)", left));
        const Deadline attempt = ctx.timer.deadline(kAttemptMs);
        if (send_request(ctx, product_request()) < 0) {
            job_error(ctx, "COM port write error", "Requesting GPS product data");
            return -1;
        }
        // The first whole line decides the attempt; what follows it until
        // the attempt's end is read and dropped.
        LineAssembler lines(80);
        bool decided = false;
        ProductReply reply = ProductReply::NotProduct;
        const ReadEnd end = read_instrument(ctx, 0, static_cast<int>(std::max<int64_t>(1, attempt.remaining_ms())), [&](char c) {
            if (decided || !lines.feed(c)) return true;
            decided = true;
            reply = parse_product_reply(lines.line(), info);
            return reply == ProductReply::NotProduct;
        });
        if (end == ReadEnd::Aborted) return job_aborted(ctx);
        if (end == ReadEnd::Error) {
            job_error(ctx, "COM port read error", "Reading product data");
            return -1;
        }
        if (reply == ProductReply::NoPilot) {
            job_error(ctx, "Bad/missing user name", "Reading product data");
            return -1;
        }
        if (reply != ProductReply::Taken) continue;
        job_status(ctx, "Product data read");
        job_product(ctx, strformat("%s, SN%s, SW%s", info.model.c_str(), info.serial.c_str(), info.version.c_str()));
        ctx.result.product_name = product_name(info.model);
        ctx.result.instrument_description = instrument_description(info);
        ctx.result.device_identity = device_identity(info);
        if (!ctx.pause_ms(kSettleMs)) return job_aborted(ctx);
        return 0;
    }
    job_error(ctx, "No valid response from GPS", "Get GPS product data");
    return -1;
}

}  // namespace orlogix::flytec
