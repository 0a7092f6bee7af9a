#include "protocols/mtk/link_session.hpp"

#include <algorithm>

#include "access/job_context.hpp"
#include "access/link.hpp"

namespace orlogix::mtk {

namespace {

constexpr std::size_t kReadBlock = 2000;
constexpr int64_t kWakeMs = 50;
constexpr int64_t kSettleMs = 200;

}  // namespace

LoggerLink::LoggerLink(JobContext& ctx) : ctx_(ctx), pumped_(&ctx.timer.clock() != &steady_clock()) {}

int LoggerLink::open() {
    if (connect_serial(ctx_, kBaud, false) < 0) return -1;
    open_ = true;
    if (pumped_) return 0;
    const int started = ctx_.reader.start(
        ctx_.link(), ctx_.timer, [this](const uint8_t* d, std::size_t n) { channel_.feed(d, n); }, kReadBlock);
    if (started < 0) {
        job_error(ctx_, "Error creating COM port read thread", "GPS access");
        return -1;
    }
    return 0;
}

Outcome LoggerLink::send(Pending pending, std::string_view command, uint32_t offset) {
    channel_.expect(pending, offset);
    return write_text(ctx_, command) < 0 ? Outcome::WriteError : Outcome::Sent;
}

Outcome LoggerLink::await(int64_t ms) {
    const Deadline until = ctx_.timer.deadline(ms);
    if (pumped_) {
        uint8_t buffer[kReadBlock];
        for (;;) {
            if (ctx_.aborted()) return Outcome::Aborted;
            const int n = read_bytes(ctx_, buffer, sizeof buffer);
            if (n < 0) return Outcome::ReadError;
            channel_.feed(buffer, static_cast<std::size_t>(n));
            if (channel_.take_event()) return Outcome::Reply;
            if (until.expired()) return Outcome::NoReply;
        }
    }
    for (;;) {
        const bool got = channel_.wait(std::min(until.remaining_ms(), kWakeMs));
        if (ctx_.aborted()) return Outcome::Aborted;
        if (ctx_.reader.failed()) return Outcome::ReadError;
        if (got) return Outcome::Reply;
        if (until.expired()) return Outcome::NoReply;
    }
}

void LoggerLink::close() {
    if (!open_) return;
    open_ = false;
    ctx_.reader.stop();
    ctx_.pause_ms(kSettleMs);
}

}  // namespace orlogix::mtk
