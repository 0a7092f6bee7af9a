#include "protocols/mlr/link_session.hpp"

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"

namespace orlogix::mlr {

namespace {

constexpr int kAttemptMs = 2000;
constexpr int kBaudSettleMs = 200;
constexpr std::size_t kDeviceIdentityMax = 50;

// An identification that ends early still leaves the instrument stopped.
int fail_stopped(JobContext& ctx, std::string_view text, std::string_view title) {
    job_error(ctx, text, title);
    write_text(ctx, kStopSentence);
    return -1;
}

}  // namespace

void back_to_command_mode(JobContext& ctx, int wait_ms) {
    set_baud(ctx, kCommandBaud);
    // After an abort the rate change's own pause was cut short.
    if (ctx.aborted()) ctx.timer.settle_ms(kBaudSettleMs);
    ctx.timer.settle_ms(wait_ms);
    write_text(ctx, kStopSentence);
}

int identify_mlr(JobContext& ctx, MlrProduct& product) {
    if (connect_serial(ctx, kCommandBaud, false) < 0) return -1;
    ctx.link().set_trace_input(true);
    for (int left = identification_attempts(ctx.options.timeout_seconds); left > 0; --left) {
        job_status(ctx, format_counts("Requesting product info (%)", left));
        if (write_text(ctx, kProductRequest) < 0) {
            job_error(ctx, "COM port write error", "Requesting GPS product data");
            return -1;
        }
        ProductReplyReader reader(kMlrProductLimits);
        bool taken = false;
        const ReadEnd end = read_instrument(ctx, kReadChunk, 0, kAttemptMs, [&](uint8_t b) {
            taken = reader.feed(static_cast<char>(b));
            return !taken;
        });
        if (end == ReadEnd::Aborted) {
            job_aborted(ctx);
            write_text(ctx, kStopSentence);
            return -1;
        }
        if (end == ReadEnd::Error) return fail_stopped(ctx, "COM port read error", "Reading product data");
        if (write_text(ctx, kStopSentence) < 0 && taken) {
            job_error(ctx, "COM port write error", "Requesting GPS product data");
            return -1;
        }
        if (!taken) continue;
        product = mlr_product(reader.fields());
        const std::string name = mlr_product_name(product.model);
        ctx.result.instrument_description = product.model;
        ctx.result.product_name = name;
        ctx.result.device_identity = (name + ": " + product.serial).substr(0, kDeviceIdentityMax);
        job_status(ctx, "Product data read");
        job_product(ctx, mlr_info_line(product));
        return 0;
    }
    job_error(ctx, "No valid response from GPS", "Get GPS product data");
    return -1;
}

}  // namespace orlogix::mlr
