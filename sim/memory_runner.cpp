#include "sim/memory_runner.hpp"

#include <algorithm>
#include <cstring>

namespace orlogix::sim {

void MemoryRunner::collect(int64_t now_ms) {
    while (instrument_.has_output()) {
        OutputChunk chunk = instrument_.take_chunk();
        // A reply's pause starts once the one before it has gone out.
        const int64_t at = std::max(now_ms, last_due_) + chunk.pause_before.count();
        last_due_ = at;
        queue_.push_back({at, std::move(chunk.bytes), chunk.rate});
    }
}

void MemoryRunner::run_ticks(int64_t now_ms) {
    const int64_t interval = instrument_.tick_interval().count();
    if (interval <= 0) return;
    if (next_tick_ < 0) next_tick_ = now_ms + interval;
    while (next_tick_ <= now_ms) {
        instrument_.tick();
        collect(next_tick_);
        next_tick_ += interval;
    }
}

void MemoryRunner::from_program(std::string_view bytes, int64_t now_ms) {
    run_ticks(now_ms);
    instrument_.receive(rates_differ(instrument_.line_rate(), program_rate_) ? garbled(bytes) : std::string(bytes));
    collect(now_ms);
}

std::size_t MemoryRunner::to_program(char* buffer, std::size_t max, int64_t now_ms) {
    run_ticks(now_ms);
    collect(now_ms);
    std::size_t n = 0;
    while (n < max && !queue_.empty() && queue_.front().at <= now_ms) {
        std::string& front = queue_.front().bytes;
        const std::size_t take = std::min(max - n, front.size());
        if (rates_differ(queue_.front().rate, program_rate_)) std::memset(buffer + n, 0xFF, take);
        else std::memcpy(buffer + n, front.data(), take);
        n += take;
        front.erase(0, take);
        if (front.empty()) queue_.pop_front();
    }
    return n;
}

int64_t MemoryRunner::next_due_ms(int64_t now_ms) {
    run_ticks(now_ms);
    collect(now_ms);
    int64_t due = queue_.empty() ? -1 : queue_.front().at;
    if (instrument_.tick_interval().count() > 0 && (due < 0 || next_tick_ < due)) due = next_tick_;
    return due;
}

void MemoryRunner::purge(int64_t now_ms) {
    run_ticks(now_ms);
    collect(now_ms);
    while (!queue_.empty() && queue_.front().at <= now_ms) queue_.pop_front();
    instrument_.purged();
    collect(now_ms);
}

}  // namespace orlogix::sim
