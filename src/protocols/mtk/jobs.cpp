#include "protocols/mtk/jobs.hpp"

#include <cstdio>
#include <vector>

#include "access/debug_trace.hpp"
#include "access/job_context.hpp"
#include "core/report.hpp"
#include "protocols/identity_sink.hpp"
#include "protocols/mtk/link_session.hpp"
#include "protocols/mtk/log_image.hpp"

namespace orlogix::mtk {

namespace {

constexpr const char* kInstrumentName = "Pentagram";
constexpr std::size_t kProductLineMax = 50;
constexpr int64_t kProductWaitMs = 1000;
constexpr int64_t kReplyWaitMs = 500;
constexpr int64_t kStepPauseMs = 300;
constexpr int64_t kAfterProductMs = 500;
constexpr int kChunkAttempts = 3;
constexpr int kEraseWaits = 30;
constexpr int64_t kEraseWaitMs = 1000;
constexpr uint64_t kMemoryMax = 0x4000000;

// The caption of a step and what its missing reply is called.
struct Step {
    const char* caption;
    const char* no_reply;
};
constexpr Step kProduct{"Get product information", "No product data received"};
constexpr Step kStatus{"Get logging status", "No logging status response"};
constexpr Step kOff{"Turn off logging", "No response received"};
constexpr Step kMemory{"Get memory used", "No response received"};
constexpr Step kChunk{"Read log data", "No response for data chunk"};
constexpr Step kOn{"Turn on logging", "No response received"};
constexpr Step kErase{"Erase log", "No response received"};

const char* outcome_text(const Step& step, Outcome o) {
    switch (o) {
    case Outcome::WriteError: return "COM port write error";
    case Outcome::ReadError: return "COM port read error";
    default: return step.no_reply;
    }
}

int fail(JobContext& ctx, const Step& step, Outcome o) {
    if (o == Outcome::Aborted) return job_aborted(ctx);
    job_error(ctx, outcome_text(step, o), step.caption);
    return -1;
}

// What the common start of both jobs left behind.
struct Start {
    bool was_logging = false;   // logging must be switched on again
};

int identify(LoggerLink& link, JobContext& ctx) {
    Outcome got = Outcome::NoReply;
    for (int left = ctx.options.connect_attempts(); left > 0; --left) {
        job_status(ctx, kProduct.caption);
        trace_text("Get product data\r\n");
        got = link.ask(Pending::Product, kProductCommand, kProductWaitMs);
        if (got != Outcome::NoReply) break;
    }
    if (got != Outcome::Reply) return fail(ctx, kProduct, got);
    job_status(ctx, "Product data read");
    const ReplyData d = link.data();
    std::string line = std::string(kInstrumentName) + ": " + d.release;
    if (line.size() < kProductLineMax) line += ',';
    line += d.model;
    job_product(ctx, line);
    ctx.result.product_name = kInstrumentName;
    ctx.result.instrument_description = line.substr(0, kDescriptionMax);
    // The logger carries no pilot IDs.
    identity_sink(ctx);
    return ctx.pause_ms(kAfterProductMs) ? 0 : job_aborted(ctx);
}

// Identification, the logging status and logging switched off.
int start(LoggerLink& link, JobContext& ctx, Start& s) {
    if (link.open() < 0 || identify(link, ctx) < 0) return -1;
    job_status(ctx, kStatus.caption);
    Outcome got = link.ask(Pending::LoggingStatus, kLoggingStatusCommand, kReplyWaitMs);
    if (got != Outcome::Reply) return fail(ctx, kStatus, got);
    s.was_logging = (link.data().status & kLoggingActive) != 0;
    if (!ctx.pause_ms(kStepPauseMs)) return job_aborted(ctx);
    job_status(ctx, kOff.caption);
    got = link.ask(Pending::LoggingOff, kLoggingOffCommand, kReplyWaitMs);
    if (got != Outcome::Reply) return fail(ctx, kOff, got);
    return ctx.pause_ms(kStepPauseMs) ? 0 : job_aborted(ctx);
}

// Logging on again when it was on. After an abort the command still goes
// out, but nobody waits for its answer. A failure is reported as a warning
// when `tell` (the job's own work was done), else it stays behind the
// error already shown.
void restore_logging(LoggerLink& link, JobContext& ctx, const Start& s, bool tell) {
    if (!s.was_logging) return;
    if (!ctx.aborted()) job_status(ctx, kOn.caption);
    const Outcome got = link.ask(Pending::LoggingOn, kLoggingOnCommand, kReplyWaitMs);
    const bool ok = got == Outcome::Reply && link.data().acknowledged;
    if (!ok && tell) ctx.reporter.warning_box(kOn.caption, outcome_text(kOn, got));
}

int read_memory_used(LoggerLink& link, JobContext& ctx, uint64_t& used) {
    job_status(ctx, kMemory.caption);
    const Outcome got = link.ask(Pending::MemoryUsed, kMemoryUsedCommand, kReplyWaitMs);
    if (got != Outcome::Reply) return fail(ctx, kMemory, got);
    used = link.data().used;
    if (!ctx.pause_ms(kStepPauseMs)) return job_aborted(ctx);
    if (used == 0) return job_error(ctx, "Zero used memory", kMemory.caption), -1;
    if (used > kMemoryMax) return job_error(ctx, "More than 64MB....", kMemory.caption), -1;
    return 0;
}

// Every used chunk into the image (0xFF where no byte came).
int download(LoggerLink& link, JobContext& ctx, uint64_t used, std::vector<uint8_t>& image) {
    image.assign((used + kSectorSize - 1) / kSectorSize * kSectorSize, 0xFF);
    const uint64_t size = (used + kChunkSize - 1) / kChunkSize * kChunkSize;
    const int64_t began = ctx.timer.now_ms();
    int64_t shown = began;
    for (uint64_t offset = 0; offset < size; offset += kChunkSize) {
        const int64_t now = ctx.timer.now_ms();
        if (offset > 0 && now - shown >= 1000) {
            shown = now;
            const int64_t left = (now - began) * static_cast<int64_t>(size - offset) / 1000 / static_cast<int64_t>(offset);
            job_status(ctx, format_counts("Time left (s): %", left));
        }
        char trace[40];
        std::snprintf(trace, sizeof trace, "Request chunk %08X\r\n", static_cast<unsigned>(offset));
        trace_text(trace);
        const std::string command = chunk_command(static_cast<uint32_t>(offset), kChunkSize);
        Outcome got = Outcome::NoReply;
        for (int attempt = 0; attempt < kChunkAttempts && got == Outcome::NoReply; ++attempt)
            got = link.ask(Pending::Chunk, command, kReplyWaitMs, static_cast<uint32_t>(offset));
        if (got != Outcome::Reply) return fail(ctx, kChunk, got);
        const ReplyData d = link.data();
        std::copy(d.chunk.begin(), d.chunk.end(), image.begin() + static_cast<std::ptrdiff_t>(d.chunk_offset));
    }
    return 0;
}

int decode(JobContext& ctx, const std::vector<uint8_t>& image) {
    DecodedLog log = decode_log(image);
    if (log.bad_headers > 0) ctx.reporter.warning_box("Parse log data", "Bad header block");
    if (log.bad_records > 0) ctx.reporter.warning_box("Parse log data", "Bad data block");
    job_status(ctx, format_counts("% points received", static_cast<long long>(log.positions.size())));
    if (log.positions.empty()) return job_error(ctx, "No points detected", "Parse log data"), -1;
    mark_downloaded_track(ctx, {InstrumentFamily::Mtk, true});
    ctx.result.track_log.positions = std::move(log.positions);
    return 0;
}

}  // namespace

int read_track_log_job(JobContext& ctx) {
    LoggerLink link(ctx);
    Start s;
    uint64_t used = 0;
    std::vector<uint8_t> image;
    int rc = start(link, ctx, s);
    if (rc == 0) rc = read_memory_used(link, ctx, used);
    if (rc == 0) rc = download(link, ctx, used, image);
    // The image is complete: a logger that will not log again is told, and the log still comes.
    restore_logging(link, ctx, s, rc == 0);
    link.close();
    if (rc < 0) return -1;
    return decode(ctx, image);
}

int erase_log_job(JobContext& ctx) {
    LoggerLink link(ctx);
    Start s;
    int rc = start(link, ctx, s);
    if (rc == 0) {
        job_status(ctx, "Erasing (30)");
        trace_text("Erasing\r\n");
        Outcome got = link.send(Pending::Erase, kEraseCommand);
        for (int attempt = 0; attempt < kEraseWaits && got != Outcome::WriteError; ++attempt) {
            if (attempt > 0) job_status(ctx, format_counts("Erasing (%)", kEraseWaits - attempt));
            got = link.await(kEraseWaitMs);
            if (got != Outcome::NoReply) break;
        }
        // Only the answer "3" means the log was erased.
        if (got == Outcome::Reply && !link.data().acknowledged) got = Outcome::NoReply;
        if (got != Outcome::Reply) rc = fail(ctx, kErase, got);
        else if (!ctx.pause_ms(kStepPauseMs)) rc = job_aborted(ctx);
    }
    restore_logging(link, ctx, s, rc == 0);
    link.close();
    if (rc < 0) return -1;
    job_status(ctx, "Erase completed");
    return 0;
}

void register_mtk_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadTrackLog, Routine::Mtk, read_track_log_job);
    registry.add(AccessType::EraseTrackLog, Routine::Mtk, erase_log_job);
}

}  // namespace orlogix::mtk
