#include "protocols/logit/session.hpp"

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/mlr/link_session.hpp"
#include "protocols/mlr/sentences.hpp"

namespace orlogix::logit {

namespace {

using namespace orlogix::mlr;

constexpr int kAttemptMs = 2000;
constexpr int kStopWaitMs = 100;
constexpr int kAfterReplyMs = 200;
constexpr int kCountWaitMs = 10000;
constexpr std::size_t kLabelMax = 50;
constexpr const char* kCountCaption = "Read track point count";

int stopped(JobContext& ctx, int rc) {
    write_text(ctx, kStopSentence);
    return rc;
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

}  // namespace

int identify(JobContext& ctx, std::vector<std::string>& fields) {
    if (connect_serial(ctx, kCommandBaud, false) < 0) return -1;
    ctx.link().set_trace_input(true);
    if (write_text(ctx, kStopSentence) < 0) {
        job_error(ctx, "COM port write error", "Requesting GPS product data");
        return -1;
    }
    if (!ctx.pause_ms(kStopWaitMs)) return stopped(ctx, job_aborted(ctx));
    const int attempts = identification_attempts(ctx.options.timeout_seconds);
    for (int left = attempts; left > 0; --left) {
        if (left < attempts) {
            write_text(ctx, kStopSentence);
            if (!ctx.pause_ms(kStopWaitMs)) return stopped(ctx, job_aborted(ctx));
        }
        job_status(ctx, format_counts("Requesting product info (%)", left));
        if (write_text(ctx, kProductRequest) < 0) {
            job_error(ctx, "COM port write error", "Requesting GPS product data");
            return -1;
        }
        ProductReplyReader reader(kLogItProductLimits, "1.02");
        bool taken = false;
        const ReadEnd end = read_instrument(ctx, kReadChunk, 0, kAttemptMs, [&](uint8_t b) {
            taken = reader.feed(static_cast<char>(b));
            return !taken;
        });
        if (end == ReadEnd::Aborted) return stopped(ctx, job_aborted(ctx));
        if (end == ReadEnd::Error) {
            job_error(ctx, "COM port read error", "Reading product data");
            return stopped(ctx, -1);
        }
        if (!taken) continue;
        if (write_text(ctx, kStopSentence) < 0) {
            job_error(ctx, "COM port write error", "Requesting GPS product data");
            return -1;
        }
        job_status(ctx, "Product data read");
        fields.clear();
        for (const std::string& f : reader.fields()) fields.push_back(trimmed(f));
        job_product(ctx, fields[0] + ' ' + fields[3].substr(0, 4) + " (" + fields[1] + ')');
        ctx.result.product_name = fields[0];
        ctx.result.instrument_description = fields[0];
        ctx.result.device_identity = (fields[0] + ": " + fields[2]).substr(0, kLabelMax);
        return ctx.pause_ms(kAfterReplyMs) ? 0 : stopped(ctx, job_aborted(ctx));
    }
    job_error(ctx, "No valid response from GPS", "Get GPS product data");
    return -1;
}

int read_point_count(JobContext& ctx, long& count) {
    job_status(ctx, "Requesting track point count");
    if (write_text(ctx, kCountRequest) < 0) {
        job_error(ctx, "E500 COM port write error", kCountCaption);
        return -1;
    }
    CountReplyReader reader;
    CountReplyReader::Result got = CountReplyReader::Result::More;
    const ReadEnd end = read_instrument(ctx, kReadChunk, 0, kCountWaitMs, [&](uint8_t b) {
        got = reader.feed(static_cast<char>(b));
        return got == CountReplyReader::Result::More;
    });
    if (end == ReadEnd::Aborted) return stopped(ctx, job_aborted(ctx));
    if (end == ReadEnd::Error) {
        job_error(ctx, "E502 COM port read error", kCountCaption);
        return stopped(ctx, -1);
    }
    if (got == CountReplyReader::Result::Error) {
        job_error(ctx, format_counts("E503 Format error %", reader.error()), kCountCaption);
        return stopped(ctx, -1);
    }
    if (got != CountReplyReader::Result::Count) {
        job_error(ctx, "E501 Track point count request timeout", kCountCaption);
        return stopped(ctx, -1);
    }
    count = reader.count();
    job_status(ctx, "Track point count read");
    return ctx.pause_ms(kAfterReplyMs) ? 0 : stopped(ctx, job_aborted(ctx));
}

}  // namespace orlogix::logit
