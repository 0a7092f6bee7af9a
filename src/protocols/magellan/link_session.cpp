#include "protocols/magellan/link_session.hpp"

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"

namespace orlogix::magellan {

namespace {

constexpr int kAttemptMs = 2000;
constexpr int kSettleMs = 500;

}  // namespace

ReadEnd read_sentences(JobContext& ctx, SentenceReader& reader, int silence_ms, int limit_ms,
                       const std::function<bool(std::string_view body)>& on_sentence,
                       const std::function<bool(int error)>& on_error) {
    return flymaster::read_instrument(ctx, 100, silence_ms, limit_ms, [&](uint8_t b) {
        const int r = reader.feed(static_cast<char>(b));
        if (r == 0) return true;
        return r > 0 ? on_sentence(reader.body()) : on_error(-r);
    });
}

int open_and_identify(JobContext& ctx, Version& version) {
    if (connect_serial(ctx, kBaud, false) < 0) return -1;
    ctx.link().set_trace_input(true);
    for (int left = identification_attempts(ctx.options.timeout_seconds); left > 0; --left) {
        job_status(ctx, format_counts("Requesting product info (%)", left));
        if (write_text(ctx, kVersionRequest) < 0) {
            job_error(ctx, "COM port write error", "Get GPS product data");
            return -1;
        }
        // Other sentences, broken ones and a $PMGNVER with a bad field are passed over.
        bool taken = false;
        SentenceReader reader;
        const ReadEnd end = read_sentences(
            ctx, reader, 0, kAttemptMs, [&](std::string_view body) { return !(taken = decode_version(body, version)); },
            [](int) { return true; });
        if (end == ReadEnd::Aborted) return job_aborted(ctx);
        if (end == ReadEnd::Error) {
            job_error(ctx, "COM port read error", "Get GPS product data");
            return -1;
        }
        if (!taken) continue;
        job_status(ctx, "Product data read");
        job_product(ctx, product_string(version));
        if (!ctx.pause_ms(kSettleMs)) return job_aborted(ctx);
        ctx.result.product_name = kInstrumentName;
        ctx.result.instrument_description = product_string(version);
        ctx.result.device_identity =
            strformat("%s: %d", kInstrumentName, static_cast<int>(version.product_id)).substr(0, kDeviceIdentityMax);
        return 0;
    }
    job_error(ctx, "No valid response from GPS", "Get GPS product data");
    return -1;
}

void send_stop(JobContext& ctx) { (void)write_text(ctx, kStop); }

}  // namespace orlogix::magellan
