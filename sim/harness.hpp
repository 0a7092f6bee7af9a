#pragma once
// A simulated instrument ready for a test: its own pseudo-terminal, the
// instrument and a runner serving it on a thread.
#include <memory>
#include <string>

#include "sim/instrument.hpp"
#include "sim/pty.hpp"
#include "sim/runner.hpp"

namespace orlogix::sim {

class Harness {
public:
    explicit Harness(std::unique_ptr<Instrument> instrument, Pacing pacing = Pacing::Off)
        : instrument_(std::move(instrument)), pacing_(pacing) {}
    ~Harness() { stop(); }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    // Opens the pty and starts serving. 0, or -1 with errno set.
    int start();
    void stop();

    // The path the program opens like a serial port.
    const std::string& device_path() const { return pty_.device_path(); }
    // Touch the instrument only before start() or after stop().
    Instrument& instrument() { return *instrument_; }
    // Transcript and waits; valid once started.
    Runner& runner() { return *runner_; }

private:
    std::unique_ptr<Instrument> instrument_;
    Pacing pacing_;
    PtyPair pty_;
    std::unique_ptr<Runner> runner_;
};

}  // namespace orlogix::sim
