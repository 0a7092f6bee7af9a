// The DSX job routines against the simulated instrument on the in-memory
// link, on simulated time: the handshake and the rates, the list and the
// choice, the IGC download through the shared decoder with its raw log, the
// pilot data, the faults and the fault sweep over a download.
#include <gtest/gtest.h>

#include "access/job_runner.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/dsx/jobs.hpp"
#include "sim/dsx/dsx_instrument.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::dsx {
namespace {

using sim::DsxConfig;
using sim::FlytecTrack;

// A signed track of fixes 10 s apart from start (seconds of the day) on; it may run past midnight.
FlytecTrack track(int start, int fixes, bool g_record = true) {
    std::string igc = "AXDS042\r\nHFDTEDATE:150619,01\r\n";
    for (int i = 0; i < fixes; ++i) {
        const int s = (start + i * 10) % 86400;
        igc += strformat("B%02d%02d%02d4712%03dN01154%03dEA%05d%05d\r\n", s / 3600, s / 60 % 60, s % 60, i % 1000,
                         i * 7 % 1000, 1000 + i, 1050 + i);
    }
    if (g_record) igc += "G0123456789ABCDEF\r\n";
    return {igc, time_from_calendar(2019, 6, 15, 0, 0, 0) + static_cast<uint32_t>(start),
            static_cast<uint32_t>(fixes * 10)};
}

DsxConfig config(std::vector<FlytecTrack> tracks) {
    DsxConfig c;
    c.tracks = std::move(tracks);
    return c;
}

struct JobRig {
    explicit JobRig(DsxConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : sim(std::make_unique<sim::DsxInstrument>(std::move(c)), faults),
          ctx(sim.job(reporter, access, ProtocolType::Dsx)) {
        ctx->options.timeout_seconds = 3;
        ctx->port_name = "/dev/ttyS0";
    }
    int run() {
        return run_job_inline(*ctx, ctx->access_type == AccessType::ReadTrackLog ? read_track_log_job
                                                                                  : write_pilot_data_job);
    }
    std::string sent() const { return sim.link().from_program(); }

    test::RecordingReporter reporter;
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(DsxJobs, HandshakeListChoiceAndTheRawLogOfTheChosenTrack) {
    const FlytecTrack older = track(36000, 30), newer = track(86400 - 50, 12);
    JobRig rig(config({older, newer}));
    ASSERT_EQ(rig.run(), 1) << rig.reporter.last_error().text;
    EXPECT_EQ(rig.sent(), "V1\rV4\rFL\rF002\rV0\r");   // headless: the newest
    const std::vector<std::pair<int, bool>> rates = {{9600, false}, {38400, false}, {9600, false}};
    EXPECT_EQ(rig.sim.link().settings(), rates);
    EXPECT_EQ(rig.reporter.choice_title, "Track List (/dev/ttyS0, DSX)");
    EXPECT_EQ(rig.reporter.choice_lines, (std::vector<std::string>{"002       15", "001       33"}));
    EXPECT_TRUE(rig.reporter.has_status("12 points received"));

    const JobResult& r = rig.ctx->result;
    EXPECT_EQ(r.raw_igc.bytes, newer.igc);   // the end mark is not in it
    EXPECT_EQ(r.raw_igc.maker, "XDS");
    EXPECT_EQ(r.raw_igc.serial, "042");
    EXPECT_EQ(r.track_log.header.instrument_family, InstrumentFamily::Dsx);
    const std::vector<TrackPosition>& p = r.track_log.positions;
    ASSERT_EQ(p.size(), 12u);
    // 23:59:50 on the 15th, then 00:00:00 on the 16th: the day moves on.
    EXPECT_EQ(p[0].time, newer.start);
    EXPECT_EQ(p[5].time, newer.start + 50);

    // The older track by choice.
    JobRig chosen(config({older, newer}));
    chosen.reporter.choice = {{1}};
    ASSERT_EQ(chosen.run(), 1);
    EXPECT_NE(chosen.sent().find("F001\r"), std::string::npos);
    EXPECT_EQ(chosen.ctx->result.track_log.positions.size(), 30u);
}

TEST(DsxJobs, TracksWithoutGRecordsOrPositions) {
    DsxConfig unsigned_text = config({track(36000, 20)});
    unsigned_text.g_records = false;
    JobRig plain(unsigned_text);
    ASSERT_EQ(plain.run(), 0) << plain.reporter.last_error().text;
    EXPECT_EQ(plain.ctx->result.track_log.header.track_log_source, 0);
    EXPECT_EQ(plain.reporter.boxes().back().text, "No G-records found");

    FlytecTrack empty = track(36000, 0);
    JobRig none(config({empty}));
    EXPECT_EQ(none.run(), -1);
    EXPECT_EQ(none.reporter.last_error().text, "No points detected");
    EXPECT_EQ(none.sent().substr(none.sent().size() - 3), "V0\r");
}

TEST(DsxJobs, SilenceSpoiledAndDroppedRepliesAndAnAbort) {
    JobRig silent(config({track(36000, 5)}), test::silent());
    EXPECT_EQ(silent.run(), -1);
    EXPECT_EQ(silent.reporter.last_error().text, "No valid response from GPS");
    EXPECT_EQ(silent.reporter.last_error().title, "Opening connection to DSX");
    EXPECT_GE(silent.sim.now_ms(), 4000);

    // Replies: the open answer, the list, the track.
    JobRig spoiled(config({track(36000, 5)}), test::corrupt_reply(1));
    EXPECT_EQ(spoiled.run(), 1) << spoiled.reporter.last_error().text;   // the next attempt opens
    EXPECT_EQ(spoiled.sent().substr(0, 9), "V1\rV1\rV4\r");
    JobRig dropped(config({track(36000, 5)}), test::drop_reply(3));
    EXPECT_EQ(dropped.run(), -1);
    EXPECT_EQ(dropped.reporter.last_error().text, "No points detected");
    EXPECT_GE(dropped.sim.now_ms(), 10000);   // the first record is waited for 10 s

    JobRig aborted(config({track(36000, 200)}));
    aborted.sim.link().watch(3000, [&] { aborted.ctx->timer.abort(); });
    EXPECT_EQ(aborted.run(), -1);
    EXPECT_TRUE(aborted.reporter.has_status("Transfer aborted"));
    // The close still goes out, with its pause, and the rate is set back.
    EXPECT_EQ(aborted.sent().substr(aborted.sent().size() - 3), "V0\r");
    EXPECT_EQ(aborted.sim.link().settings().back(), (std::pair<int, bool>{9600, false}));
}

TEST(DsxJobs, PilotTextsReadAndOnlyTheChangedOnesWritten) {
    DsxConfig c = config({});
    c.texts[4] = std::string(80, 'S');   // longer than the form's field
    JobRig rig(c, {}, AccessType::WritePilotData);
    rig.ctx->params.pilot.texts = {"SIM PILOT", "", "NEW CIVL", "GLIDER 2", std::string(80, 'S'), "CLUB"};
    ASSERT_EQ(rig.run(), 0) << rig.reporter.last_error().text;
    EXPECT_EQ(rig.sent(), "V1\rV4\rE1\rE2\rE3\rE4\rE5\rH3NEW CIVL\rH4GLIDER 2\rC1CLUB\rV0\r");
    EXPECT_EQ(rig.sim.uploads.lines(),
              (std::vector<std::string>{"fast rate", "H3NEW CIVL", "H4GLIDER 2", "C1CLUB", "closed"}));
    EXPECT_TRUE(rig.reporter.has_status("Sending H3"));
    EXPECT_EQ(rig.reporter.statuses().back(), "Data sent");

    JobRig dropped(config({}), test::drop_reply(3), AccessType::WritePilotData);
    EXPECT_EQ(dropped.run(), -1);
    EXPECT_EQ(dropped.reporter.last_error().text, "Response timeout");
    EXPECT_EQ(dropped.reporter.last_error().title, "Request user data");
}

// Every cut or spoiled byte fails the download and leaves the data as they
// were, or leaves the whole track; a cut at a line end before the G-record
// keeps the fixes so far, marked as not signed; a cut just before the end
// mark or inside its line end leaves the text whole.
TEST(DsxFaultSweep, TrackListAndDownload) {
    const FlytecTrack t = track(36000, 25);
    test::SweepCase k;
    k.instrument = [t] { return std::make_unique<sim::DsxInstrument>(config({t})); };
    static RoutineRegistry registry;
    register_dsx_jobs(registry);
    k.routines = &registry;
    k.protocol = ProtocolType::Dsx;
    k.completion = Completion::TrackLog;
    k.options.timeout_seconds = 3;
    std::size_t got = 0;
    uint32_t source = 0;
    k.complete = [&got, &source](const CurrentData& d, const std::vector<std::string>&) {
        got = d.track_log.positions.size();
        source = d.track_log.header.track_log_source;
        return got == 25 && source == 1;
    };
    const test::FaultSweep sweep(k);
    const std::string exchange = sweep.run().exchange;
    test::IgcCutPositions at = test::igc_cut_positions(exchange);
    const std::size_t end_mark = exchange.rfind("ZZZZ");
    std::erase_if(at.others, [end_mark](std::size_t n) { return n == end_mark || n == end_mark + 5; });
    EXPECT_EQ(sweep.sweep(at.others, true), std::vector<std::string>{});
    for (std::size_t n : {end_mark, end_mark + 5}) {
        LineFaults cut;
        cut.cut_after = n;
        const test::SweepRun r = sweep.run(cut);
        EXPECT_TRUE(r.ended && !r.failed && r.complete) << n;
    }
    for (std::size_t n : at.line_ends) {
        LineFaults cut;
        cut.cut_after = n;
        const test::SweepRun r = sweep.run(cut);
        EXPECT_TRUE(r.ended && !r.failed && got > 0 && source == 0) << n;
    }
}

}  // namespace
}  // namespace orlogix::dsx
