#pragma once
// Collects the lines a family reports, from the runner's thread, for a test
// (or anyone) to read and wait on.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "sim/instrument.hpp"

namespace orlogix::sim {

class UploadLog {
public:
    // A sink that appends to this log; the log must outlive its users.
    ReportSink sink();
    std::vector<std::string> lines() const;
    // Waits until at least n lines arrived; false on time-out.
    bool wait_for(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> lines_;
};

}  // namespace orlogix::sim
