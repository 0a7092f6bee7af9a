#pragma once
// The base a family's simulated instrument plugs into. The runner feeds it
// what the program wrote (on_bytes); the family answers with reply(), one
// call per logical reply, because that is the unit the fault switches count.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orlogix::sim {

// Faults a test or the orlogix-sim command line switches on. Reply numbers
// are 1-based; 0 leaves the switch off.
struct FaultSettings {
    bool silent = false;                  // never answer
    std::size_t corrupt_reply = 0;        // spoil one byte of this reply
    std::size_t drop_reply = 0;           // leave this reply out
    std::optional<std::size_t> cut_after; // stop answering after this many bytes in total
};

// Where a family reports what the program uploaded (one line per item).
using ReportSink = std::function<void(std::string_view line)>;

// One piece of output: bytes to send once pause_before has elapsed.
struct OutputChunk {
    std::string bytes;
    std::chrono::milliseconds pause_before{0};
    int rate = 0;   // the line rate it goes out at; 0: any
};

// What bytes sent at one line rate become when read at another: every byte
// turns into 0xFF, as the receiver sees only framing errors.
std::string garbled(std::string_view bytes);
// Whether a byte stream crossing between these rates arrives garbled (0: any rate).
inline bool rates_differ(int instrument_rate, int program_rate) {
    return instrument_rate != 0 && instrument_rate != program_rate;
}

class Instrument {
public:
    virtual ~Instrument() = default;

    void set_faults(const FaultSettings& faults) { faults_ = faults; }
    const FaultSettings& faults() const { return faults_; }
    void set_report_sink(ReportSink sink) { sink_ = std::move(sink); }

    // Driver side (the runner, or a test driving the instrument directly).
    void receive(std::string_view bytes) { on_bytes(bytes); }
    void tick() { on_tick(); }
    // The program purged the port's queues (instruments that push start then).
    void purged() { on_purge(); }
    bool has_output() const { return !output_.empty(); }
    OutputChunk take_chunk();
    // Everything queued, pauses ignored.
    std::string take_all_output();

    // reply() calls so far, and bytes let through after faults.
    std::size_t reply_count() const { return replies_; }
    std::size_t bytes_queued() const { return bytes_queued_; }

    // The rate the instrument listens at and sends its next replies at; 0
    // (the default): any, the line's rate is not checked.
    int line_rate() const { return rate_; }

    // How often on_tick runs while the runner serves; zero (the default): never.
    virtual std::chrono::milliseconds tick_interval() const { return std::chrono::milliseconds{0}; }
    // True for an instrument that wants to hear of purges: the pseudo-terminal
    // runner then serves it in packet mode, where a purge arrives as a status byte.
    virtual bool notices_purge() const { return false; }

protected:
    // The bytes the program wrote, as they arrive (any split is possible).
    virtual void on_bytes(std::string_view bytes) = 0;
    // Periodic hook for unsolicited data, e.g. a receiver streaming sentences.
    virtual void on_tick() {}
    virtual void on_purge() {}

    // One logical reply (or one unsolicited message); faults apply here.
    void reply(std::string_view bytes);
    void reply(std::span<const std::uint8_t> bytes);
    // From now on the instrument talks at this rate (its next replies and what it hears).
    void talk_at(int baud) { rate_ = baud; }
    // Holds back the next reply for this long, as a slow instrument would.
    void pause(std::chrono::milliseconds duration) { pending_pause_ += duration; }
    // Reports an upload (waypoint, airspace, pilot data) as one line.
    void report(std::string_view line) const;

private:
    FaultSettings faults_;
    ReportSink sink_;
    std::deque<OutputChunk> output_;
    std::chrono::milliseconds pending_pause_{0};
    std::size_t replies_ = 0;
    std::size_t bytes_queued_ = 0;
    int rate_ = 0;
};

}  // namespace orlogix::sim
