#include "protocols/mtk/reply_channel.hpp"

#include <chrono>
#include <utility>

#include "access/debug_trace.hpp"

namespace orlogix::mtk {

void ReplyChannel::expect(Pending pending, uint32_t offset) {
    std::lock_guard lock(mutex_);
    pending_ = pending;
    requested_offset_ = offset;
    event_ = false;
}

bool ReplyChannel::wait(int64_t ms) {
    std::unique_lock lock(mutex_);
    event_cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return event_; });
    return std::exchange(event_, false);
}

bool ReplyChannel::take_event() {
    std::lock_guard lock(mutex_);
    return std::exchange(event_, false);
}

ReplyData ReplyChannel::data() const {
    std::lock_guard lock(mutex_);
    return data_;
}

void ReplyChannel::feed(const uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count; ++i) {
        if (!lines_.feed(static_cast<char>(bytes[i])) || pending_ == Pending::None) continue;
        trace_text(lines_.line());
        trace_text("\r\n");
        const ParsedLine parsed = parse_line(lines_.line());
        if (parsed.bad_checksum) trace_text("Bad checksum\r\n");
        if (!parsed.ok || !match_reply(pending_, requested_offset_, parsed.fields, data_)) continue;
        pending_ = Pending::None;
        event_ = true;
        event_cv_.notify_all();
    }
}

}  // namespace orlogix::mtk
