#include "access/event_loop.hpp"

namespace orlogix {

void HeadlessEventLoop::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
    }
    ready_.notify_all();
}

bool HeadlessEventLoop::take(std::function<void()>& fn, std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_until(lock, until, [this] { return !queue_.empty(); })) return false;
    if (queue_.empty()) return false;
    fn = std::move(queue_.front());
    queue_.pop_front();
    runner_ = std::this_thread::get_id();
    return true;
}

bool HeadlessEventLoop::run_one(std::chrono::milliseconds timeout) {
    std::function<void()> fn;
    if (!take(fn, std::chrono::steady_clock::now() + timeout)) return false;
    fn();
    return true;
}

bool HeadlessEventLoop::run_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        std::function<void()> fn;
        if (!take(fn, until)) return done();
        fn();
    }
    return true;
}

int HeadlessEventLoop::run_pending() {
    int n = 0;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return n;
            fn = std::move(queue_.front());
            queue_.pop_front();
            runner_ = std::this_thread::get_id();
        }
        fn();
        ++n;
    }
}

void HeadlessEventLoop::run() {
    for (;;) {
        std::function<void()> fn;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return !queue_.empty() || quit_; });
            if (quit_ && queue_.empty()) {
                quit_ = false;
                return;
            }
            fn = std::move(queue_.front());
            queue_.pop_front();
            runner_ = std::this_thread::get_id();
        }
        fn();
    }
}

void HeadlessEventLoop::quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    ready_.notify_all();
}

std::thread::id HeadlessEventLoop::runner() const {
    std::lock_guard lock(mutex_);
    return runner_;
}

}  // namespace orlogix
