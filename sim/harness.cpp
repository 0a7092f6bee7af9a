#include "sim/harness.hpp"

namespace orlogix::sim {

int Harness::start() {
    if (runner_ && runner_->running()) return 0;
    if (pty_.open() < 0) return -1;
    runner_ = std::make_unique<Runner>(*instrument_, pty_.master_fd(), pacing_);
    return runner_->start();
}

void Harness::stop() {
    // The runner is kept so its transcript can still be read.
    if (runner_) runner_->stop();
}

}  // namespace orlogix::sim
