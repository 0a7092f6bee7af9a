#pragma once
// Serves one instrument over an in-memory link, on the link's clock: what
// the program writes reaches the instrument at once, its replies come due
// after their pauses, and its ticks run as the link's time passes. The
// pseudo-terminal runner does the same in real time.
#include <cstdint>
#include <deque>
#include <string>

#include "access/link_peer.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {

class MemoryRunner : public LinkPeer {
public:
    // The instrument is not owned and must outlive the runner.
    explicit MemoryRunner(Instrument& instrument) : instrument_(instrument) {}

    void from_program(std::string_view bytes, int64_t now_ms) override;
    std::size_t to_program(char* buffer, std::size_t max, int64_t now_ms) override;
    int64_t next_due_ms(int64_t now_ms) override;
    void purge(int64_t now_ms) override;
    // Bytes cross garbled both ways while this differs from the instrument's rate.
    void set_line_rate(int baud) override { program_rate_ = baud; }

private:
    struct Due {
        int64_t at = 0;
        std::string bytes;
        int rate = 0;
    };
    // Takes the instrument's new replies into the queue, each due after its pause.
    void collect(int64_t now_ms);
    void run_ticks(int64_t now_ms);

    Instrument& instrument_;
    std::deque<Due> queue_;
    int64_t last_due_ = 0;
    int64_t next_tick_ = -1;
    int program_rate_ = 0;
};

}  // namespace orlogix::sim
