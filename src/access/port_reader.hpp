#pragma once
// A second thread that reads a job's link while the job thread
// writes (the MTK logger streams while it is being commanded). The job's
// context owns one; end_job stops and joins it before the port closes.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

namespace orlogix {

class Link;
class JobTimer;

class PortReader {
public:
    // Called on the reader thread with each block that arrived.
    using Sink = std::function<void(const uint8_t* data, std::size_t count)>;

    PortReader() = default;
    ~PortReader() { stop(); }
    PortReader(const PortReader&) = delete;
    PortReader& operator=(const PortReader&) = delete;

    // Starts reading; the thread ends on stop(), on abort or on a read error.
    // 0, or -1 when a reader already runs or the port is closed.
    int start(Link& link, JobTimer& timer, Sink sink, std::size_t block = 1024);
    // Asks the thread to end and joins it (at most one read time-out later).
    void stop();
    bool running() const { return thread_.joinable(); }
    // True when a read error ended the thread.
    bool failed() const { return failed_.load(); }

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> failed_{false};
};

}  // namespace orlogix
