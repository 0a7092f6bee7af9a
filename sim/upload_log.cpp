#include "sim/upload_log.hpp"

namespace orlogix::sim {

ReportSink UploadLog::sink() {
    return [this](std::string_view line) {
        {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        }
        changed_.notify_all();
    };
}

std::vector<std::string> UploadLog::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool UploadLog::wait_for(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return lines_.size() >= n; });
}

}  // namespace orlogix::sim
