// The track choice of the track-list families in a session: the list goes to
// the client, and the job waits (polling) for a track=n naming a listed track.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "control/server/session_reporter.hpp"

namespace orlogix {
namespace {

using namespace std::chrono_literals;

class TrackChoice : public ::testing::Test {
protected:
    TrackChoice() {
        ctx.track_list[0] = {1000, 60};
        ctx.track_list[2] = {3000, 120};
        ctx.track_list[4] = {5000, 30};
        reporter.set_context(&ctx);
    }
    // What a track-list family does, on a job thread of its own.
    void offer() {
        job = std::thread([this] {
            chosen = reporter.choose_many("Track List", {}, {"01", "03", "05"}, 2);
            done = true;
        });
        while (!sent) std::this_thread::sleep_for(5ms);
    }

    std::string reply;
    std::atomic<bool> sent{false}, done{false};
    SessionReporter reporter{[this](std::string r) {
        reply = std::move(r);
        sent = true;
    }};
    JobContext ctx{reporter, AccessType::ReadTrackLog, ProtocolType::FlytecIq, "COM1"};
    std::vector<int> chosen{-7};
    std::thread job;
};

TEST_F(TrackChoice, TrackNNamesListIndexNMinusOneAndOnlyAListedOneEndsTheWait) {
    offer();
    EXPECT_EQ(reply, std::string("$Orlogix TrackList 1000,60\n0,0\n3000,120\n0,0\n5000,30") + '\0');
    ctx.selected_track = 2;   // not listed
    std::this_thread::sleep_for(1200ms);
    EXPECT_FALSE(done);
    ctx.selected_track = 3;
    job.join();
    EXPECT_EQ(chosen, std::vector<int>{1});
}

TEST_F(TrackChoice, AnAbortEndsTheWaitWithNothingChosen) {
    offer();
    ctx.timer.abort();
    job.join();
    EXPECT_TRUE(chosen.empty());
}

}  // namespace
}  // namespace orlogix
