#include "access/port_reader.hpp"

#include <vector>

#include "access/job_timer.hpp"
#include "access/link_interface.hpp"

namespace orlogix {

int PortReader::start(Link& link, JobTimer& timer, Sink sink, std::size_t block) {
    if (thread_.joinable() || !link.is_open() || block == 0) return -1;
    stop_ = false;
    failed_ = false;
    thread_ = std::thread([this, &link, &timer, sink = std::move(sink), block] {
        std::vector<uint8_t> buffer(block);
        while (!stop_.load() && !timer.aborted()) {
            int n = link.read(buffer.data(), buffer.size());
            if (n < 0) {
                failed_ = true;
                return;
            }
            if (n > 0 && sink) sink(buffer.data(), static_cast<std::size_t>(n));
        }
    });
    return 0;
}

void PortReader::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace orlogix
