#pragma once
// How a job hands work to the main thread: a post to the main event loop.
// The GUI implements EventPoster with a queued call; the command line, the
// server and the tests use HeadlessEventLoop.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orlogix {

class EventPoster {
public:
    virtual ~EventPoster() = default;
    // Queues fn to run on the main thread; callable from any thread.
    virtual void post(std::function<void()> fn) = 0;
};

class HeadlessEventLoop : public EventPoster {
public:
    void post(std::function<void()> fn) override;

    // Runs one queued event, waiting at most timeout for it. True when one ran.
    bool run_one(std::chrono::milliseconds timeout);
    // Runs events until done() holds or timeout passes; returns done().
    bool run_until(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Runs what is queued now without waiting; the number run.
    int run_pending();
    // Runs events until quit() is called.
    void run();
    void quit();

    // The thread that last ran an event (for checks that work happens there).
    std::thread::id runner() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
    bool quit_ = false;
    std::thread::id runner_;
    bool take(std::function<void()>& fn, std::chrono::steady_clock::time_point until);
};

}  // namespace orlogix
