#pragma once
// Where the job thread and the port reader meet: the awaited reply, the
// requested chunk offset and the reply fields, all under one lock, and the
// auto-reset reply event. The reader feeds every byte it read; the job sets
// what it awaits (which resets the event) before each send and then waits.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "protocols/mtk/replies.hpp"

namespace orlogix::mtk {

class ReplyChannel {
public:
    // Job side: awaits this reply from now on; a reply to an earlier
    // command that arrives late is ignored.
    void expect(Pending pending, uint32_t offset = 0);
    // Waits up to ms on the steady clock; true when the awaited reply was accepted.
    bool wait(int64_t ms);
    // True (once) when the awaited reply has been accepted, without waiting.
    bool take_event();
    ReplyData data() const;

    // Reader side: the bytes as they came; the trace gets each line.
    void feed(const uint8_t* bytes, std::size_t count);

private:
    mutable std::mutex mutex_;
    std::condition_variable event_cv_;
    bool event_ = false;
    Pending pending_ = Pending::None;
    uint32_t requested_offset_ = 0;
    ReplyData data_;
    LineReader lines_;
};

}  // namespace orlogix::mtk
