#include "protocols/flytec/iq_basic_session.hpp"

#include <algorithm>
#include <cstdint>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/flytec/iq_basic_lines.hpp"
#include "protocols/flytec/sentences.hpp"

namespace orlogix::flytec {

namespace {

constexpr int kAttemptMs = 2000;
constexpr int kReplyMs = 2000;
constexpr int kAfterSerialMs = 200;
constexpr const char* kDataTitle = "Request product data";
constexpr const char* kLinkTitle = "Request PA data";

enum class Asked { Value, NoLine, Wrong, Malformed, Aborted, ReadError, WriteError };

// One parameter read: the first reply line within limit_ms decides.
Asked ask(JobContext& ctx, std::string_view request, int parameter, int limit_ms, uint32_t& value) {
    if (write_text(ctx, request) < 0) return Asked::WriteError;
    Asked got = Asked::NoLine;
    const ReadEnd end = iq_read_lines(ctx, 0, limit_ms, [&](std::string_view line) {
        switch (parse_rpa_reply(line, parameter, value)) {
        case RpaReply::Value: got = Asked::Value; break;
        case RpaReply::WrongReply: got = Asked::Wrong; break;
        case RpaReply::BadValue: got = Asked::Malformed; break;
        }
        return false;
    });
    if (end == ReadEnd::Aborted) return Asked::Aborted;
    if (end == ReadEnd::Error) return Asked::ReadError;
    return got;
}

// The reply to RPA_01 or RPA_02 after the serial number: anything but a
// value ends the job. 0, or -1 after reporting.
int ask_after_serial(JobContext& ctx, std::string_view request, int parameter, const char* wrong, const char* malformed,
                     uint32_t& value) {
    switch (ask(ctx, request, parameter, kReplyMs, value)) {
    case Asked::Value: return 0;
    case Asked::NoLine: job_error(ctx, "Response timeout", kDataTitle); return -1;
    case Asked::Wrong: job_error(ctx, wrong, kDataTitle); return -1;
    case Asked::Malformed: job_error(ctx, malformed, kDataTitle); return -1;
    case Asked::Aborted: return job_aborted(ctx);
    case Asked::ReadError: job_error(ctx, "COM port read error", kLinkTitle); return -1;
    case Asked::WriteError: job_error(ctx, "COM port write error", kLinkTitle); return -1;
    }
    return -1;
}

}  // namespace

ReadEnd iq_read(JobContext& ctx, int silence_ms, int limit_ms, bool drop_flow_control,
                const std::function<bool(char)>& take) {
    const Deadline limit = ctx.timer.deadline(limit_ms);
    Deadline quiet = ctx.timer.deadline(silence_ms);
    for (;;) {
        if (ctx.aborted()) return ReadEnd::Aborted;
        uint8_t chunk[400];
        const int n = read_bytes(ctx, chunk, sizeof chunk);
        if (n < 0) return ReadEnd::Error;
        for (int i = 0; i < n; ++i) {
            const char c = static_cast<char>(chunk[i]);
            if (drop_flow_control && is_flow_control(c)) continue;
            quiet.restart();
            if (!take(c)) return ReadEnd::Stopped;
        }
        if (limit_ms > 0 && limit.expired()) return ReadEnd::Limit;
        if (silence_ms > 0 && quiet.expired()) return ReadEnd::Silence;
    }
}

ReadEnd iq_read_lines(JobContext& ctx, int silence_ms, int limit_ms, const std::function<bool(std::string_view)>& line) {
    IqLineAssembler lines;
    return iq_read(ctx, silence_ms, limit_ms, false, [&](char c) { return !lines.feed(c) || line(lines.line()); });
}

int iq_open_and_identify(JobContext& ctx, IqProduct& product) {
    if (connect_serial(ctx, kBaud, false) < 0) return -1;
    ctx.link().set_trace_input(true);
    for (int left = identification_attempts(ctx.options.timeout_seconds); left > 0; --left) {
        job_status(ctx, format_counts("Requesting product info (%)", left));
        const Deadline attempt = ctx.timer.deadline(kAttemptMs);
        const Asked serial = ask(ctx, kIqSerialRequest, 0, kReplyMs, product.serial);
        if (serial == Asked::Aborted) return job_aborted(ctx);
        if (serial == Asked::WriteError || serial == Asked::ReadError) {
            job_error(ctx, serial == Asked::WriteError ? "COM port write error" : "COM port read error", kLinkTitle);
            return -1;
        }
        if (serial != Asked::Value) {
            // A wrong or spoiled reply: the rest of the attempt's time is
            // left to pass, so that attempts stay 2 s apart.
            if (!ctx.timer.pause_until(attempt)) return job_aborted(ctx);
            continue;
        }
        if (!ctx.pause_ms(kAfterSerialMs)) return job_aborted(ctx);
        if (ask_after_serial(ctx, kIqTypeRequest, 1, "Device type response error", "Device type format error",
                             product.device_type) < 0 ||
            ask_after_serial(ctx, kIqVersionRequest, 2, "Software version response error",
                             "Software version format error", product.version) < 0)
            return -1;
        const std::string name = iq_product_name(product), identity = iq_device_identity(product);
        ctx.result.product_name = name;
        ctx.result.instrument_description = name;
        ctx.result.device_identity = identity;
        job_status(ctx, "Product data read");
        job_product(ctx, identity);
        return 0;
    }
    job_error(ctx, "No valid response from GPS", "Get GPS product data");
    return -1;
}

}  // namespace orlogix::flytec
