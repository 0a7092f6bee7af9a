// The MTK job routines against the simulated logger on the in-memory link,
// on simulated time (the job thread reads the link itself there), and the
// kit's fault sweep over one download.
#include <gtest/gtest.h>

#include <cstdlib>

#include "access/job_runner.hpp"
#include "protocols/mtk/jobs.hpp"
#include "protocols/mtk/replies.hpp"
#include "sim/mtk/mtk_logger.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::mtk {
namespace {

sim::MtkConfig logger(std::vector<TrackPosition> positions, bool logging = true) {
    sim::MtkConfig c;
    c.positions = std::move(positions);
    c.logging = logging;
    return c;
}

std::vector<TrackPosition> first_fixes(std::size_t n) {
    std::vector<TrackPosition> all = test::load_flight("flights/line.igc");
    all.resize(n);
    return all;
}

struct JobRig {
    explicit JobRig(sim::MtkConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : instrument(new sim::MtkLogger(std::move(c))),
          sim(std::unique_ptr<sim::Instrument>(instrument), faults),
          ctx(sim.job(reporter, access, ProtocolType::Mtk)) {
        ctx->options.timeout_seconds = 3;
        ctx->port_name = "/dev/ttyS0";
        sim.instrument().set_report_sink(sim.uploads.sink());
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }
    std::string sent() const { return sim.link().from_program(); }
    bool ends_logging_on() const {
        const std::string s = sent();
        return s.size() >= kLoggingOnCommand.size() && s.substr(s.size() - kLoggingOnCommand.size()) == kLoggingOnCommand;
    }

    test::RecordingReporter reporter;
    sim::MtkLogger* instrument;   // owned by sim
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(MtkJobs, RealFlightComesDownWithEveryFixAndLoggingOnAgain) {
    const std::vector<TrackPosition> served = test::load_flight("flights/tri.igc");
    sim::MtkConfig c = logger(served);
    c.stream = true;   // its GGA sentences between the answers are not replies
    JobRig rig(c);
    ASSERT_EQ(rig.run(read_track_log_job), 0) << rig.reporter.last_error().text;
    const std::vector<TrackPosition>& got = rig.ctx->result.track_log.positions;
    ASSERT_EQ(got.size(), served.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(got[i].time == served[i].time && std::abs(got[i].latitude - served[i].latitude) <= 1 &&
                    std::abs(got[i].longitude - served[i].longitude) <= 1 &&
                    got[i].gps_altitude == served[i].gps_altitude && got[i].baro_altitude == 0)
            << i;
    const TrackLogHeader& h = rig.ctx->result.track_log.header;
    EXPECT_EQ(h.instrument_family, InstrumentFamily::Mtk);
    EXPECT_EQ(h.track_log_source, 1u);
    EXPECT_EQ(h.times_in_utc, 1u);
    EXPECT_EQ(h.baro_present, 0u);
    EXPECT_EQ(rig.reporter.products(), std::vector<std::string>{"Pentagram: AXN_0.3-B_1.3_C01,0001"});
    for (const char* s : {"Get product information", "Product data read", "Get logging status", "Turn off logging",
                          "Get memory used", "Turn on logging", "4514 points received"})
        EXPECT_TRUE(rig.reporter.has_status(s)) << s;
    // Two sectors in 256-byte chunks, then logging on again.
    const std::string sent = rig.sent();
    EXPECT_NE(sent.find(std::string(kLoggingOffCommand) + std::string(kMemoryUsedCommand) + chunk_command(0, 256)),
              std::string::npos);
    EXPECT_NE(sent.find(chunk_command(0x10000, 256)), std::string::npos);
    EXPECT_TRUE(rig.ends_logging_on());
    EXPECT_EQ(rig.sim.uploads.lines(), (std::vector<std::string>{"logging off", "logging on"}));
    EXPECT_EQ(rig.sim.link().settings().front(), std::make_pair(115200, false));
}

// Replies: product 1-2 (the first is lost before the reader's first line
// feed), status 3-4, logging off 5, memory used 6-7, then each chunk's data
// sentence and read acknowledgement from 8 on.
TEST(MtkJobs, FaultsFailWithTheirTextsAndLoggingIsRestored) {
    struct Case {
        const char* name;
        sim::FaultSettings faults;
        bool read_failure;
        const char* text;    // empty: the download succeeds
        const char* title;
        bool restored;       // logging on was the last command
    };
    sim::FaultSettings cut;
    cut.cut_after = 500;
    const Case cases[] = {
        {"silent", test::silent(), false, "No product data received", "Get product information", false},
        {"read error", {}, true, "COM port read error", "Get product information", false},
        {"status dropped", test::drop_reply(3), false, "No logging status response", "Get logging status", false},
        {"off dropped", test::drop_reply(5), false, "No response received", "Turn off logging", true},
        {"memory spoiled", test::corrupt_reply(6), false, "No response received", "Get memory used", true},
        {"chunk spoiled", test::corrupt_reply(8), false, "", "", true},
        {"chunk dropped", test::drop_reply(8), false, "", "", true},
        {"cut in the chunk", cut, false, "No response for data chunk", "Read log data", true},
    };
    for (const Case& c : cases) {
        JobRig rig(logger(first_fixes(3)), c.faults);
        rig.sim.link().set_read_failure(c.read_failure);
        const int rc = rig.run(read_track_log_job);
        if (*c.text == 0) {
            EXPECT_EQ(rc, 0) << c.name << ": " << rig.reporter.last_error().text;
            EXPECT_EQ(rig.ctx->result.track_log.positions.size(), 3u) << c.name;
            // The chunk was asked again.
            const std::string chunk = chunk_command(0, 256);
            EXPECT_NE(rig.sent().find(chunk + chunk), std::string::npos) << c.name;
        } else {
            EXPECT_EQ(rc, -1) << c.name;
            EXPECT_EQ(rig.reporter.last_error().text, c.text) << c.name;
            EXPECT_EQ(rig.reporter.last_error().title, c.title) << c.name;
            EXPECT_TRUE(rig.ctx->result.track_log.positions.empty()) << c.name;
        }
        EXPECT_EQ(rig.ends_logging_on(), c.restored) << c.name;
    }
    // Three attempts per chunk, 500 ms each; the product had its budget of 3 s.
    JobRig dead(logger(first_fixes(3)), cut);
    dead.run(read_track_log_job);
    std::size_t asked = 0;
    for (std::size_t at = 0; (at = dead.sent().find(chunk_command(0, 256), at)) != std::string::npos; ++at) ++asked;
    EXPECT_EQ(asked, 3u);
}

TEST(MtkJobs, AbortAndEmptyLogStillSwitchLoggingOnAndOffStaysOff) {
    JobRig off(logger(first_fixes(10), false));
    ASSERT_EQ(off.run(read_track_log_job), 0) << off.reporter.last_error().text;
    EXPECT_EQ(off.sent().find(kLoggingOnCommand), std::string::npos);


    JobRig aborted(logger(first_fixes(3)));
    aborted.sim.link().watch(400, [&] { aborted.ctx->timer.abort(); });
    EXPECT_EQ(aborted.run(read_track_log_job), -1);
    EXPECT_TRUE(aborted.reporter.has_status("Transfer aborted"));
    EXPECT_TRUE(aborted.ends_logging_on());
    EXPECT_TRUE(aborted.ctx->result.track_log.positions.empty());

    JobRig empty(logger({}));
    EXPECT_EQ(empty.run(read_track_log_job), -1);
    EXPECT_EQ(empty.reporter.last_error().text, "Zero used memory");
    EXPECT_EQ(empty.reporter.last_error().title, "Get memory used");
    EXPECT_TRUE(empty.ends_logging_on());
    EXPECT_TRUE(empty.instrument->logging());
}

TEST(MtkJobs, LostLoggingOnAfterACompleteReadIsToldAndTheLogKept) {
    JobRig clean(logger(first_fixes(3)));
    ASSERT_EQ(clean.run(read_track_log_job), 0);
    JobRig rig(logger(first_fixes(3)), test::drop_reply(clean.instrument->reply_count()));
    ASSERT_EQ(rig.run(read_track_log_job), 0) << rig.reporter.last_error().text;
    EXPECT_EQ(rig.ctx->result.track_log.positions.size(), 3u);
    const std::vector<test::Box> boxes = rig.reporter.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, "warning");
    EXPECT_EQ(boxes[0].title, "Turn on logging");
    EXPECT_EQ(boxes[0].text, "No response received");
}

TEST(MtkJobs, EraseWaitsForTheAnswerThreeOnly) {
    JobRig rig(logger(first_fixes(3)), {}, AccessType::EraseTrackLog);
    ASSERT_EQ(rig.run(erase_log_job), 0) << rig.reporter.last_error().text;
    EXPECT_TRUE(rig.reporter.has_status("Erasing (30)"));
    EXPECT_TRUE(rig.reporter.has_status("Erasing (29)"));   // the flash takes 2 s
    EXPECT_TRUE(rig.reporter.has_status("Erase completed"));
    EXPECT_EQ(rig.sim.uploads.lines(), (std::vector<std::string>{"logging off", "log erased", "logging on"}));
    EXPECT_NE(rig.sent().find(kEraseCommand), std::string::npos);

    sim::MtkConfig refusing = logger(first_fixes(3));
    refusing.erase_answer = '2';
    JobRig refused(refusing, {}, AccessType::EraseTrackLog);
    EXPECT_EQ(refused.run(erase_log_job), -1);
    EXPECT_EQ(refused.reporter.last_error().text, "No response received");
    EXPECT_EQ(refused.reporter.last_error().title, "Erase log");
    EXPECT_FALSE(refused.reporter.has_status("Erase completed"));
    EXPECT_TRUE(refused.ends_logging_on());
}

const RoutineRegistry& mtk_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_mtk_jobs(routines), true);
    (void)registered;
    return routines;
}

TEST(MtkJobs, FaultSweepOverOneDownload) {
    test::SweepCase k;
    k.instrument = [] { return std::make_unique<sim::MtkLogger>(logger(first_fixes(30))); };
    k.routines = &mtk_routines();
    k.access = AccessType::ReadTrackLog;
    k.protocol = ProtocolType::Mtk;
    k.completion = Completion::TrackLog;
    k.options.timeout_seconds = 2;
    k.complete = [](const CurrentData& d, const std::vector<std::string>&) {
        return d.track_log.positions.size() == 30;
    };
    const test::FaultSweep sweep(k);
    const std::string exchange = sweep.run().exchange;
    // Up to the end of the last data sentence (the reader ends a line at its
    // CR): the read's acknowledgement after it is not awaited, and a lost
    // answer to logging on is a warning after a complete read (the test
    // above), not a failed download.
    const std::size_t last_ack = exchange.rfind("$PMTK001,182,7,3");
    ASSERT_NE(last_ack, std::string::npos);
    EXPECT_EQ(sweep.sweep(test::sweep_positions(0, last_ack - 1), true), std::vector<std::string>{});
}

}  // namespace
}  // namespace orlogix::mtk
