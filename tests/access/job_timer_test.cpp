// The job's timing object and the headless main loop.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "access/event_loop.hpp"
#include "access/job_timer.hpp"

namespace orlogix {
namespace {

using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

TEST(JobTimer, PauseRunsItsTimeWithoutAbort) {
    JobTimer t;
    auto t0 = Clock::now();
    EXPECT_TRUE(t.pause_ms(120));
    EXPECT_GE(ms_since(t0), 115);
    EXPECT_FALSE(t.aborted());
}

TEST(JobTimer, AbortWakesALongPauseAtOnce) {
    JobTimer t;
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        t.abort();
    });
    auto t0 = Clock::now();
    EXPECT_FALSE(t.pause_ms(20000));
    EXPECT_LT(ms_since(t0), 2000);
    aborter.join();
    // Once aborted, every later wait returns at once.
    t0 = Clock::now();
    EXPECT_FALSE(t.pause_ms(5000));
    EXPECT_FALSE(t.pause_until(Deadline(5000)));
    EXPECT_LT(ms_since(t0), 500);
}

TEST(Deadline, ExpiresAndRestartsForSilenceTimeOuts) {
    Deadline d(60);
    EXPECT_FALSE(d.expired());
    EXPECT_GT(d.remaining_ms(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_TRUE(d.expired());
    EXPECT_EQ(d.remaining_ms(), 0);
    d.restart();   // bytes arrived: the silence count starts again
    EXPECT_FALSE(d.expired());
    JobTimer t;
    auto t0 = Clock::now();
    EXPECT_TRUE(t.pause_until(d));
    EXPECT_TRUE(d.expired());
    EXPECT_GE(ms_since(t0), 40);
}

TEST(JobTimer, OnASimulatedClockPausesMoveTheClock) {
    ManualClock clock;
    JobTimer t;
    t.set_clock(clock);
    EXPECT_TRUE(t.pause_ms(30000));
    EXPECT_EQ(clock.now_ms(), 30000);
    Deadline d = t.deadline(10000);
    EXPECT_FALSE(d.expired());
    EXPECT_EQ(d.remaining_ms(), 10000);
    EXPECT_TRUE(t.pause_until(d));
    EXPECT_TRUE(d.expired());
    EXPECT_EQ(t.now_ms(), 40000);
    // An aborted job's pause takes no time.
    t.abort();
    EXPECT_FALSE(t.pause_ms(5000));
    EXPECT_EQ(clock.now_ms(), 40000);
}

TEST(JobTimer, IdentificationAttemptsEveryTwoSeconds) {
    EXPECT_EQ(identification_attempts(0), 15);
    EXPECT_EQ(identification_attempts(-3), 15);
    EXPECT_EQ(identification_attempts(10), 5);
    EXPECT_EQ(identification_attempts(1), 1);
    // An odd budget rounds up: TIMEOUT=5 gives three attempts.
    EXPECT_EQ(identification_attempts(5), 3);
    EXPECT_EQ(identification_attempts(3), 2);
}

TEST(HeadlessEventLoop, RunsPostedWorkOnTheLoopThread) {
    HeadlessEventLoop loop;
    std::thread::id ran_on;
    int order = 0;
    int first = 0, second = 0;
    std::thread poster([&] {
        loop.post([&] { first = ++order; });
        loop.post([&] {
            second = ++order;
            ran_on = std::this_thread::get_id();
        });
    });
    poster.join();
    EXPECT_TRUE(loop.run_until([&] { return second != 0; }, std::chrono::milliseconds(2000)));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(ran_on, std::this_thread::get_id());
    EXPECT_EQ(loop.runner(), std::this_thread::get_id());
    EXPECT_FALSE(loop.run_one(std::chrono::milliseconds(10)));
    EXPECT_EQ(loop.run_pending(), 0);
}

TEST(HeadlessEventLoop, RunEndsOnQuit) {
    HeadlessEventLoop loop;
    int n = 0;
    loop.post([&] { ++n; });
    loop.post([&] { loop.quit(); });
    loop.run();
    EXPECT_EQ(n, 1);
    EXPECT_FALSE(loop.run_until([] { return false; }, std::chrono::milliseconds(20)));
}

}  // namespace
}  // namespace orlogix
