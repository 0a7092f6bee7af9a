// The rules of jobs started from the window and the command line: one at a
// time, the checks of a start, abort, the busy and failure flags, and the
// completion step that installs results on the main loop's thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "access/event_loop.hpp"
#include "access/job_framework.hpp"
#include "access/job_runner.hpp"
#include "core/current_data.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

using namespace std::chrono_literals;

std::vector<TrackPosition> positions(std::initializer_list<uint32_t> times) {
    std::vector<TrackPosition> out;
    for (uint32_t t : times) {
        TrackPosition p;
        p.time = t;
        p.latitude = static_cast<int32_t>(t * 100);
        out.push_back(p);
    }
    return out;
}

int wait_for_abort(JobContext& ctx) {
    while (ctx.pause_ms(20)) {
    }
    return job_aborted(ctx);
}

class Jobs : public ::testing::Test {
protected:
    void SetUp() override {
        fw_ = std::make_unique<JobFramework>(ui_, loop_, data_, reg_);
        fw_->init_jobs();
        data_.track_log.positions = positions({100, 101, 102});
        data_.track_log.header.product_name = "OLD";
        data_.raw_igc.bytes = "AOLD\r\n";
    }

    // Waits until the job has ended and its completion ran on this thread.
    void finish_job() {
        auto until = std::chrono::steady_clock::now() + 5s;
        while (fw_->job_registered() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
        ASSERT_FALSE(fw_->job_registered());
        ASSERT_TRUE(loop_.run_one(5000ms));
    }

    void start_blocking(AccessType a = AccessType::ReadTrackLog, ProtocolType p = ProtocolType::GarminSerial) {
        reg_.add(a, dispatch_routine(a, p), wait_for_abort);
        ASSERT_EQ(fw_->start_job(a, p, Completion::TrackLog), 0);
    }

    test::RecordingReporter ui_;
    HeadlessEventLoop loop_;
    CurrentData data_;
    RoutineRegistry reg_;
    std::unique_ptr<JobFramework> fw_;
};

TEST_F(Jobs, SecondJobIsRefusedAndTheFirstRunsOn) {
    start_blocking();
    EXPECT_TRUE(fw_->busy());
    EXPECT_LT(fw_->start_job(AccessType::ReadWaypoints, ProtocolType::GarminSerial, Completion::WaypointsRead), 0);
    EXPECT_EQ(ui_.last_error().text, "Port/USB is being used");
    EXPECT_EQ(ui_.last_error().title, "GPS access");
    EXPECT_TRUE(fw_->job_registered());
    EXPECT_TRUE(fw_->busy());
    fw_->abort_transfer();
    finish_job();
    EXPECT_FALSE(fw_->busy());
}

TEST_F(Jobs, BadCellsAreRefusedBeforeAnythingStarts) {
    struct Case {
        int access, protocol;
        const char* text;
    } cases[] = {{2, 4, "Unsupported access function"}, {9, 0, "Bad access type"}, {-1, 0, "Bad access type"},
                 {1, 17, "Bad protocol type"}, {6, 1, "Unsupported access function"}};
    for (const auto& c : cases) {
        EXPECT_LT(fw_->start_job(static_cast<AccessType>(c.access), static_cast<ProtocolType>(c.protocol),
                                 Completion::None),
                  0);
        EXPECT_EQ(ui_.last_error().text, c.text) << c.access << "/" << c.protocol;
        EXPECT_EQ(ui_.last_error().title, "GPS access");
        EXPECT_FALSE(fw_->job_registered());
        EXPECT_FALSE(fw_->busy());
    }
}

TEST_F(Jobs, AbortWithoutJob) {
    EXPECT_LT(fw_->abort_job(), 0);
    EXPECT_EQ(ui_.last_error().text, "Port not in use");
    EXPECT_EQ(ui_.last_error().title, "Abort GPS access");
}

TEST_F(Jobs, AbortReportsThroughTheJobAndWakesIt) {
    start_blocking();
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(fw_->abort_job(), 0);
    finish_job();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    auto s = ui_.statuses();
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s[s.size() - 2], "Aborting transfer");
    EXPECT_EQ(s.back(), "Transfer aborted");
    EXPECT_TRUE(fw_->failed());
}

TEST_F(Jobs, FailureFlagFollowsTheLastJob) {
    start_blocking();
    fw_->abort_transfer();
    finish_job();
    EXPECT_TRUE(fw_->failed());
    reg_.add(AccessType::ReadWaypoints, Routine::Garmin, [](JobContext& c) {
        c.result.waypoints.resize(2);
        return 2;
    });
    ASSERT_EQ(fw_->start_job(AccessType::ReadWaypoints, ProtocolType::GarminSerial, Completion::WaypointsRead), 0);
    EXPECT_FALSE(fw_->failed());   // cleared by the start
    finish_job();
    EXPECT_FALSE(fw_->failed());
    EXPECT_EQ(data_.waypoints.size(), 2u);
    EXPECT_EQ(data_.waypoints.capacity(), 2u);
}

TEST_F(Jobs, ResultsOfAnAbortedTransferAreDropped) {
    // The routine finishes its download successfully just after the user aborted.
    reg_.add(AccessType::ReadTrackLog, Routine::Garmin, [](JobContext& c) {
        while (c.pause_ms(20)) {
        }
        c.result.track_log.positions = positions({1, 2, 3, 4, 5});
        c.result.track_log.header.instrument_family = InstrumentFamily::FlytecIq;
        c.result.raw_igc.bytes = "ANEW\r\n";
        c.result.product_name = "NEW";
        return 0;
    });
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog), 0);
    fw_->abort_transfer();
    EXPECT_FALSE(fw_->busy());
    finish_job();
    EXPECT_EQ(data_.track_log.positions.size(), 3u);
    EXPECT_EQ(data_.track_log.header.product_name, "OLD");
    EXPECT_EQ(data_.raw_igc.bytes, "AOLD\r\n");
    // Nothing was installed, so the transfer failed.
    EXPECT_TRUE(fw_->failed());
}

TEST_F(Jobs, AbortAfterTheJobEndedButBeforeItsCompletionDropsTheResult) {
    reg_.add(AccessType::ReadTrackLog, Routine::Garmin, [](JobContext& c) {
        c.result.track_log.positions = positions({1, 2, 3, 4, 5});
        return 0;
    });
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog), 0);
    while (fw_->job_registered()) std::this_thread::sleep_for(5ms);
    fw_->abort_transfer();
    ASSERT_TRUE(loop_.run_one(5000ms));
    EXPECT_EQ(ui_.count("error"), 0);
    EXPECT_EQ(data_.track_log.positions.size(), 3u);
    // Dropped results are a failed transfer: a command line must not write
    // the previous data as its output.
    EXPECT_TRUE(fw_->failed());
}

TEST_F(Jobs, TrackLogIsInstalledOnTheMainLoopThread) {
    std::atomic<bool> routine_done{false};
    std::thread::id job_thread;
    reg_.add(AccessType::ReadTrackLog, Routine::Iq, [&](JobContext& c) {
        job_thread = std::this_thread::get_id();
        c.result.track_log.positions = positions({10, 20, 15, 30});
        auto& h = c.result.track_log.header;
        h.instrument_family = InstrumentFamily::FlytecIq;
        h.times_in_utc = 1;
        h.track_log_source = 1;
        h.baro_present = 1;
        c.result.raw_igc.bytes = "AFLY06138\r\n";
        c.result.raw_igc.maker = "FLY";
        c.result.product_name = "COMPEO";
        c.result.device_identity = "Compeo 12345";
        routine_done = true;
        return 0;
    });
    std::thread::id refreshed_on;
    int refreshes = 0;
    fw_->hooks().refresh_view = [&](DataView v) {
        EXPECT_EQ(v, DataView::TrackLog);
        refreshed_on = std::this_thread::get_id();
        ++refreshes;
    };
    data_.raw_topnav.bytes = "stale";
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::FlytecIq, Completion::TrackLog), 0);
    while (fw_->job_registered()) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(routine_done);
    // Nothing reaches the current data before the main loop runs.
    EXPECT_EQ(data_.track_log.positions.size(), 3u);
    EXPECT_TRUE(fw_->busy());
    ASSERT_TRUE(loop_.run_one(5000ms));
    EXPECT_FALSE(fw_->busy());
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(refreshed_on, std::this_thread::get_id());
    EXPECT_NE(job_thread, std::this_thread::get_id());

    const auto& log = data_.track_log;
    ASSERT_EQ(log.positions.size(), 4u);
    EXPECT_EQ(log.positions[2].time, 15u);
    EXPECT_EQ(log.header.instrument_family, InstrumentFamily::FlytecIq);
    EXPECT_EQ(log.header.times_in_utc, 1u);
    EXPECT_EQ(log.header.baro_present, 1u);
    EXPECT_EQ(log.header.track_log_source, 1u);
    EXPECT_EQ(log.header.source_protocol_type, 4);
    EXPECT_EQ(log.header.product_name, "COMPEO");
    EXPECT_EQ(log.header.device_identity, "Compeo 12345");
    EXPECT_GE(log.header.download_time.year, 2020);
    // The IGC file of this family stays with its positions; the Top Navigator log goes.
    EXPECT_EQ(data_.raw_igc.bytes, "AFLY06138\r\n");
    EXPECT_EQ(data_.raw_igc.maker, "FLY");
    EXPECT_TRUE(data_.raw_topnav.empty());
    ASSERT_EQ(ui_.count("warning"), 1);
    EXPECT_EQ(ui_.boxes().back().title, "Analyze track");
    EXPECT_EQ(ui_.boxes().back().text, "One or more points (the first at pos. 3) go backwards in time");
}

TEST_F(Jobs, OtherFamiliesReleaseTheRawLogsAndKeepOldProductTexts) {
    reg_.add(AccessType::ReadTrackLog, Routine::TopNav, [](JobContext& c) {
        c.result.track_log.positions = positions({1, 2});
        c.result.track_log.header.instrument_family = InstrumentFamily::TopNavigator;
        c.result.raw_topnav.bytes = "TNC";
        c.result.raw_igc.bytes = "ignored";
        return 0;
    });
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::TopNavigator, Completion::TrackLog), 0);
    finish_job();
    EXPECT_EQ(data_.track_log.positions.size(), 2u);
    EXPECT_TRUE(data_.raw_igc.empty());
    EXPECT_EQ(data_.raw_topnav.bytes, "TNC");
    EXPECT_EQ(data_.track_log.header.product_name, "OLD");
    EXPECT_EQ(ui_.count("warning"), 0);
}

TEST_F(Jobs, CellWithoutItsFamilyFailsPlainly) {
    std::vector<std::pair<int, int>> calls;
    fw_->hooks().completion_message = [&](int code, int param) { calls.emplace_back(code, param); };
    JobOptions o;
    o.origin = JobOrigin::CommandLine;
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::Dsx, Completion::TrackLog, {}, o), 0);
    finish_job();
    EXPECT_EQ(ui_.last_error().text, "This instrument family is not built yet");
    EXPECT_EQ(ui_.last_error().title, "GPS access");
    EXPECT_TRUE(fw_->failed());
    EXPECT_FALSE(fw_->busy());
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 0}}));
    EXPECT_EQ(data_.track_log.positions.size(), 3u);
}

TEST_F(Jobs, CommandLineContinuesWithANewJobOnTheSamePort) {
    // The port is free again when the completion runs: the next step opens it at once.
    reg_.add(AccessType::ReadTrackLog, Routine::Garmin, [](JobContext& c) {
        if (c.link().open("/dev/null") != 0) return -1;   // something the job holds open
        c.result.track_log.positions = positions({5});
        return 0;
    });
    reg_.add(AccessType::ReadWaypoints, Routine::Garmin, [](JobContext& c) {
        if (c.link().open("/dev/null") != 0) return -1;   // exclusive: fails while the first still holds it
        c.result.waypoints.resize(4);
        return 4;
    });
    std::vector<std::pair<int, int>> calls;
    JobOptions o;
    o.origin = JobOrigin::CommandLine;
    fw_->hooks().completion_message = [&](int code, int param) {
        calls.emplace_back(code, param);
        if (calls.size() == 1) {
            EXPECT_EQ(fw_->start_job(AccessType::ReadWaypoints, ProtocolType::GarminSerial, Completion::WaypointsRead,
                                     {}, o),
                      0);
        }
    };
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog, {}, o), 0);
    finish_job();
    finish_job();
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 1}, {1, 1}}));
    EXPECT_EQ(data_.track_log.positions.size(), 1u);
    EXPECT_EQ(data_.waypoints.size(), 4u);
    EXPECT_FALSE(fw_->failed());
}

TEST_F(Jobs, CommandLineWithExitSkipsTheViewRefresh) {
    reg_.add(AccessType::ReadWaypoints, Routine::Garmin, [](JobContext& c) {
        c.result.waypoints.resize(1);
        return 1;
    });
    int refreshes = 0;
    fw_->hooks().refresh_view = [&](DataView) { ++refreshes; };
    JobOptions o;
    o.origin = JobOrigin::CommandLine;
    o.command_line_exit = true;
    ASSERT_EQ(fw_->start_job(AccessType::ReadWaypoints, ProtocolType::GarminSerial, Completion::WaypointsRead, {}, o), 0);
    finish_job();
    EXPECT_EQ(data_.waypoints.size(), 1u);
    EXPECT_EQ(refreshes, 0);
}

TEST_F(Jobs, CompetitionDownloadPostsItsOwnCodeAndPilotIds) {
    reg_.add(AccessType::ReadTrackLog, Routine::Garmin, [](JobContext& c) {
        c.result.track_log.positions = positions({1, 2, 3, 4});
        c.result.comp_id = 57;
        return 0;
    });
    std::vector<std::pair<int, int>> calls;
    std::pair<int, int> ids{0, 0};
    fw_->hooks().completion_message = [&](int code, int param) { calls.emplace_back(code, param); };
    fw_->hooks().pilot_ids = [&](int comp, int civl) { ids = {comp, civl}; };
    JobOptions o;
    o.competition_mode = true;
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog, {}, o), 0);
    finish_job();
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 1}}));
    EXPECT_EQ(ids, (std::pair<int, int>{57, -1}));

    // The next pilot's instrument holds no IDs: the hook hears so, rather
    // than keeping the last pilot's number.
    reg_.add(AccessType::ReadTrackLog, Routine::Garmin, [](JobContext& c) {
        c.result.track_log.positions = positions({1, 2, 3, 4});
        return 0;
    });
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog, {}, o), 0);
    finish_job();
    EXPECT_EQ(ids, (std::pair<int, int>{-1, -1}));
}

TEST_F(Jobs, WaypointsWrittenInCompetitionRecordTheDevice) {
    reg_.add(AccessType::WriteWaypoints, Routine::Garmin, [](JobContext& c) {
        EXPECT_EQ(c.params.waypoints.size(), 2u);
        c.result.device_identity = "eTrex 3346";
        return 0;
    });
    std::string recorded;
    fw_->hooks().record_device_identity = [&](const std::string& id) { recorded = id; };
    JobParams params;
    params.waypoints.resize(2);
    JobOptions o;
    o.competition_mode = true;
    ASSERT_EQ(fw_->start_job(AccessType::WriteWaypoints, ProtocolType::GarminSerial, Completion::WaypointsWritten,
                             std::move(params), o),
              0);
    finish_job();
    EXPECT_EQ(recorded, "eTrex 3346");
    EXPECT_FALSE(fw_->busy());
}

TEST_F(Jobs, DownloadedCtrListReplacesTheCurrentOneUnlessTheReadFailed) {
    data_.ctrs.resize(3);
    int code = 0;
    reg_.add(AccessType::ReadCtr, Routine::Iq, [&code](JobContext& c) {
        c.result.ctrs.resize(2);
        c.result.ctrs[1].name = code < 0 ? "PARTIAL" : "CTR B";
        return code;
    });
    std::vector<DataView> refreshed;
    fw_->hooks().refresh_view = [&](DataView v) { refreshed.push_back(v); };
    ASSERT_EQ(fw_->start_job(AccessType::ReadCtr, ProtocolType::FlytecIq, Completion::CtrRead), 0);
    finish_job();
    ASSERT_EQ(data_.ctrs.size(), 2u);
    EXPECT_EQ(data_.ctrs[1].name, "CTR B");
    EXPECT_EQ(refreshed, std::vector<DataView>{DataView::Ctrs});
    code = -1;
    ASSERT_EQ(fw_->start_job(AccessType::ReadCtr, ProtocolType::FlytecIq, Completion::CtrRead), 0);
    finish_job();
    EXPECT_EQ(data_.ctrs[1].name, "CTR B");
    EXPECT_EQ(refreshed.size(), 1u);
}

TEST_F(Jobs, JobsGetTheConfiguredPortExceptOverUsb) {
    std::string seen_serial = "unset", seen_usb = "unset";
    reg_.add(AccessType::ReadWaypoints, Routine::Magellan, [&](JobContext& c) {
        seen_serial = c.port_name;
        return 0;
    });
    reg_.add(AccessType::ReadWaypoints, Routine::GarminUsb, [&](JobContext& c) {
        seen_usb = c.port_name;
        return 0;
    });
    fw_->set_port_name("/dev/ttyUSB3");
    ASSERT_EQ(fw_->start_job(AccessType::ReadWaypoints, ProtocolType::Magellan, Completion::None), 0);
    finish_job();
    ASSERT_EQ(fw_->start_job(AccessType::ReadWaypoints, ProtocolType::GarminUsb, Completion::None), 0);
    finish_job();
    EXPECT_EQ(seen_serial, "/dev/ttyUSB3");
    EXPECT_EQ(seen_usb, "");
}

TEST_F(Jobs, BusyMenuCheck) {
    EXPECT_FALSE(fw_->refuse_when_busy("Read Garmin"));
    start_blocking();
    EXPECT_TRUE(fw_->refuse_when_busy("Read Garmin"));
    EXPECT_EQ(ui_.last_error().text, "Busy GPS driver");
    EXPECT_EQ(ui_.last_error().title, "Read Garmin");
    fw_->abort_transfer();
    finish_job();
}

TEST_F(Jobs, ShutdownAbortsAndJoinsBeforeDataAreReleased) {
    std::atomic<bool> ended{false};
    reg_.add(AccessType::ReadTrackLog, Routine::Garmin, [&](JobContext& c) {
        while (c.pause_ms(20)) {
        }
        c.result.track_log.positions = positions({7, 8});
        ended = true;
        return 0;
    });
    ASSERT_EQ(fw_->start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog), 0);
    fw_->shutdown();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(fw_->job_registered());
    EXPECT_FALSE(fw_->busy());
    // The job's late event changes nothing, even after the framework is gone.
    fw_.reset();
    loop_.run_pending();
    EXPECT_EQ(data_.track_log.positions.size(), 3u);
}

TEST_F(Jobs, WaitForJobEndIsBounded) {
    EXPECT_TRUE(fw_->wait_for_job_end(0));
    start_blocking();
    EXPECT_FALSE(fw_->wait_for_job_end(100));
    EXPECT_TRUE(fw_->job_registered());
    fw_->abort_job();
    EXPECT_TRUE(fw_->wait_for_job_end(5000));
    ASSERT_TRUE(loop_.run_one(5000ms));
    EXPECT_FALSE(fw_->busy());
}

TEST_F(Jobs, ReleasedRunnerNeverRunsItsRoutine) {
    std::atomic<bool> ran{false};
    auto ctx = std::make_shared<JobContext>(ui_, AccessType::ReadTrackLog, ProtocolType::GarminSerial);
    auto runner = JobRunner::create(ctx, [&](JobContext&) {
        ran = true;
        return 0;
    }, loop_, {});
    runner->cancel();
    runner->join();
    EXPECT_FALSE(ran);
}

TEST(SessionJobs, RunInParallelOnTheirOwnContexts) {
    test::RecordingReporter a_rep, b_rep;
    HeadlessEventLoop loop;
    RoutineRegistry reg;
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    reg.add(AccessType::ReadTrackLog, Routine::Flymaster, [&](JobContext& c) {
        int now = ++running;
        int m = most.load();
        while (now > m && !most.compare_exchange_weak(m, now)) {
        }
        job_status(c, "Reading " + c.port_name);
        while (c.pause_ms(10) && most.load() < 2) {
        }
        --running;
        c.result.track_log.positions = positions({1});
        return c.session ? 0 : -1;
    });
    std::vector<std::shared_ptr<JobContext>> done;
    auto make = [&](test::RecordingReporter& rep, const char* port) {
        auto ctx = std::make_shared<JobContext>(rep, AccessType::ReadTrackLog, ProtocolType::Flymaster, port);
        ctx->session = true;
        return start_job_runner(ctx, reg, loop,
                                [&](const std::shared_ptr<JobRunner>& r) { done.push_back(r->shared_context()); });
    };
    auto a = make(a_rep, "/dev/ttyUSB0");
    auto b = make(b_rep, "/dev/ttyUSB1");
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(loop.run_until([&] { return done.size() == 2; }, 5000ms));
    EXPECT_EQ(most.load(), 2);
    a->join();
    b->join();
    for (auto& ctx : done) EXPECT_EQ(ctx->result.code, 0);
    EXPECT_EQ(a_rep.statuses(), std::vector<std::string>{"Reading /dev/ttyUSB0"});
    EXPECT_EQ(b_rep.statuses(), std::vector<std::string>{"Reading /dev/ttyUSB1"});
    // A bad cell is reported to the session and nothing starts.
    auto bad = std::make_shared<JobContext>(a_rep, AccessType::EraseTrackLog, ProtocolType::Flymaster);
    EXPECT_EQ(start_job_runner(bad, reg, loop, {}), nullptr);
    EXPECT_EQ(a_rep.last_error().text, "Unsupported access function");
}

TEST(InlineJobs, RunTheRoutineAndReleaseTheLink) {
    test::RecordingReporter rep;
    JobContext ctx(rep, AccessType::ReadWaypoints, ProtocolType::Magellan, "/dev/null");
    int r = run_job_inline(ctx, [](JobContext& c) {
        EXPECT_EQ(c.link().open("/dev/null"), 0);
        return 12;
    });
    EXPECT_EQ(r, 12);
    EXPECT_EQ(ctx.result.code, 12);
    EXPECT_FALSE(ctx.link().is_open());
    EXPECT_LT(run_job_inline(ctx, {}), 0);
    EXPECT_EQ(rep.last_error().text, "This instrument family is not built yet");
}

}  // namespace
}  // namespace orlogix
