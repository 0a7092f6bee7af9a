#include "protocols/graviter/link_session.hpp"

#include <string>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/records.hpp"
#include "core/report.hpp"
#include "protocols/flymaster/link_session.hpp"
#include "protocols/graviter/product_line.hpp"

namespace orlogix::graviter {

namespace {

constexpr int kAttemptMs = 2000;

}  // namespace

int open_and_identify(JobContext& ctx) {
    if (connect_serial(ctx, kBaud, false) < 0) return -1;
    ctx.link().set_trace_input(true);
    for (int left = identification_attempts(ctx.options.timeout_seconds); left > 0; --left) {
        job_status(ctx, format_counts("Requesting product info (%)", left));
        if (write_text(ctx, kIdentify) < 0) {
            job_error(ctx, "E100 COM port write error", "Requesting GPS product data");
            return -1;
        }
        ProductLineParser parser;
        bool taken = false;
        const flymaster::ReadEnd end = flymaster::read_instrument(ctx, 100, 0, kAttemptMs, [&](uint8_t b) {
            taken = parser.feed(b);
            return !taken;
        });
        if (end == flymaster::ReadEnd::Aborted) return job_aborted(ctx);
        if (end == flymaster::ReadEnd::Error) {
            job_error(ctx, "COM port read error", "Reading product data");
            return -1;
        }
        if (!taken) continue;
        job_status(ctx, "Product data read");
        const std::string line(parser.line());
        job_product(ctx, line);
        ctx.result.product_name = kInstrumentName;
        ctx.result.instrument_description = line;
        ctx.result.device_identity =
            (std::string(kInstrumentName) + ": " + std::string(parser.version())).substr(0, kDeviceIdentityMax);
        return 0;
    }
    job_error(ctx, "No valid response from GPS", "Get GPS product data");
    return -1;
}

}  // namespace orlogix::graviter
