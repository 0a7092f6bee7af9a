// A session's job reports as replies to its client, and the track choice of
// the track-list families waits for the client's track=n.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "access/job_context.hpp"
#include "control/server/session_reporter.hpp"

namespace orlogix {
namespace {

using namespace std::chrono_literals;

std::string nul(const std::string& text) { return text + '\0'; }

struct Replies {
    std::mutex mutex;
    std::vector<std::string> got;
    SessionReporter::Sink sink() {
        return [this](std::string r) {
            std::lock_guard lock(mutex);
            got.push_back(std::move(r));
        };
    }
    std::size_t size() {
        std::lock_guard lock(mutex);
        return got.size();
    }
};

TEST(SessionReporter, ReportsBecomeNulTerminatedReplies) {
    Replies replies;
    SessionReporter r(replies.sink());
    JobContext ctx(r, AccessType::ReadTrackLog, ProtocolType::GarminSerial, "COM3");
    job_status(ctx, "Requesting track log download");
    job_product(ctx, "eTrex Vista");
    job_error(ctx, "E201 Timeout", "Download track log");
    EXPECT_EQ(r.question_box("Overwrite", "File already exists, overwrite ?"), kBoxCancel);
    ASSERT_EQ(replies.got.size(), 3u);
    EXPECT_EQ(replies.got[0], nul("$Orlogix Status Requesting track log download"));
    EXPECT_EQ(replies.got[1], nul("$Orlogix Product eTrex Vista"));
    EXPECT_EQ(replies.got[2], nul("$Orlogix Error Download track log\nE201 Timeout"));
}

class TrackChoice : public ::testing::Test {
protected:
    TrackChoice() : reporter(replies.sink()), ctx(reporter, AccessType::ReadTrackLog, ProtocolType::FlytecIq, "COM1") {
        ctx.track_list[0] = {1000, 60};
        ctx.track_list[2] = {3000, 120};
        ctx.track_list[4] = {5000, 30};
        reporter.set_context(&ctx);
    }
    // What a track-list family does: offer the listed lines, take the chosen ones.
    std::vector<int> offer() { return reporter.choose_many("Track List", {}, {"01", "03", "05"}, 2); }

    Replies replies;
    SessionReporter reporter;
    JobContext ctx;
};

TEST_F(TrackChoice, TheListIsSentAndTrackNNamesListIndexNMinusOne) {
    std::vector<int> chosen;
    std::atomic<bool> done{false};
    std::thread job([&] {
        chosen = offer();
        done = true;
    });
    while (replies.size() == 0) std::this_thread::sleep_for(5ms);
    // Track 2 is not listed: the wait goes on until a listed one is chosen.
    ctx.selected_track = 2;
    std::this_thread::sleep_for(1200ms);
    EXPECT_FALSE(done);
    ctx.selected_track = 3;
    job.join();
    EXPECT_EQ(chosen, std::vector<int>{1});
    ASSERT_EQ(replies.got.size(), 1u);
    EXPECT_EQ(replies.got[0], nul("$Orlogix TrackList 1000,60\n0,0\n3000,120\n0,0\n5000,30"));
}

TEST_F(TrackChoice, AnAbortEndsTheWaitWithNothingChosen) {
    std::vector<int> chosen{7};
    std::thread job([&] { chosen = offer(); });
    while (replies.size() == 0) std::this_thread::sleep_for(5ms);
    ctx.timer.abort();
    job.join();
    EXPECT_TRUE(chosen.empty());
}

TEST_F(TrackChoice, NoListedTrackSendsNothing) {
    ctx.track_list = {};
    EXPECT_TRUE(offer().empty());
    EXPECT_EQ(replies.size(), 0u);
    EXPECT_EQ(listed_line_of_track(ctx.track_list, 1), -1);
}

}  // namespace
}  // namespace orlogix
