#pragma once
// Serves one instrument on the master side of a pseudo-terminal: reads what
// the program writes, feeds it to the instrument and writes its replies back,
// either on its own thread (start/stop) or one step at a time on the
// caller's thread (step). Keeps a transcript of both directions.
//
// Unpaced (the default), bytes cross as fast as the pseudo-terminal moves
// them. Paced, every byte takes its time on the wire as on a real serial
// line, ten bits (start, eight data, stop) at the line's rate, both ways:
// the instrument hears the program's bytes only once they have crossed, and
// its replies reach the program no faster than the rate allows. Tests and
// benchmarks that stand for real instruments (many at once, each bound by
// its line, not by the simulator's speed) pace.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/instrument.hpp"

namespace orlogix::sim {

struct TranscriptEntry {
    bool from_program = false;  // true: bytes the program wrote; false: bytes the instrument sent
    std::string bytes;
    int rate = 0;               // the program's line rate while they crossed
};

enum class Pacing { Off, LineRate };

// How long one byte takes on a line at this rate: ten bits.
constexpr std::chrono::nanoseconds byte_time(int baud) {
    return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

class Runner {
public:
    // Neither the instrument nor the fd is owned; both must outlive the runner.
    Runner(Instrument& instrument, int master_fd, Pacing pacing = Pacing::Off);
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Starts the serving thread. 0, or -1 with errno set.
    int start();
    // Stops and joins the thread; safe to call twice.
    void stop();
    bool running() const { return thread_.joinable(); }
    // CPU time the serving thread has used so far; zero when it does not run.
    std::chrono::nanoseconds cpu_time();

    // One round on the caller's thread: waits at most `wait` for input,
    // handles it and sends what is due. Not to be mixed with start().
    void step(std::chrono::milliseconds wait);

    std::vector<TranscriptEntry> transcript() const;
    std::string received() const;  // all bytes the program wrote
    std::string sent() const;      // all bytes the instrument sent
    // Wait until at least n bytes went the given way; false on time-out.
    bool wait_received(std::size_t n, std::chrono::milliseconds timeout) const;
    bool wait_sent(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    using Clock = std::chrono::steady_clock;

    void loop();
    void read_input(bool& no_slave);
    // Hands the instrument what the program wrote, as much as has crossed the line by now.
    void deliver_input();
    void write_output();
    // The rate bytes cross at when paced (0: not paced), the program's unless given.
    int wire_rate(int instrument_rate = 0) const;
    void record(bool from_program, std::string_view bytes, int rate);
    int poll_timeout_ms(Clock::time_point now) const;

    Instrument& instrument_;
    int master_;
    bool packet_mode_ = false;   // reads carry a status byte first (TIOCPKT)
    const Pacing pacing_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    // Output being written: the current chunk, from `written_`, not before `due_`.
    std::string pending_;
    std::size_t written_ = 0;
    int pending_rate_ = 0;      // the rate the instrument sends the current chunk at
    Clock::time_point due_{};
    Clock::time_point next_tick_{};
    // Paced: when the last byte sent has crossed the line; what the program
    // wrote that has not crossed yet, and when the last one handed on had.
    Clock::time_point out_crossed_{};
    std::string inbound_;
    Clock::time_point in_crossed_{};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<TranscriptEntry> transcript_;
    std::size_t received_total_ = 0;
    std::size_t sent_total_ = 0;
};

}  // namespace orlogix::sim
