// The IQ Basic / Flytec 6015 job routines against the simulated instrument
// on the in-memory link, on simulated time; the fault sweep of a track download.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "access/job_runner.hpp"
#include "core/current_data.hpp"
#include "core/time.hpp"
#include "protocols/flytec/iq_basic_jobs.hpp"
#include "sim/flytec/iq_basic_instrument.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::flytec {
namespace {

using sim::FlytecTrack;
using sim::IqBasicConfig;

// Fixes every 10 s from hh:00:00 on 2019-06-15 for the given minutes.
FlytecTrack igc_track(int hour, int minutes, bool g_record = true, const char* date = "HFDTE150619") {
    std::string igc = std::string("AGDXB01\r\n") + date + "\r\n";
    for (int s = 0; s <= minutes * 60; s += 10)
        igc += strformat("B%02d%02d%02d4712%03dN01154%03dEA%05d%05d\r\n", hour + s / 3600, s / 60 % 60, s % 60,
                         s % 1000, s * 7 % 1000, 1000 + s / 10, 1050 + s / 10);
    if (g_record) igc += "G0123456789ABCDEF\r\n";
    return {igc, time_from_calendar(2019, 6, 15, hour, 0, 0), static_cast<uint32_t>(minutes * 60)};
}

struct JobRig {
    explicit JobRig(IqBasicConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : sim(std::make_unique<sim::IqBasicInstrument>(std::move(c)), faults),
          ctx(sim.job(reporter, access, ProtocolType::IqBasic)) {
        ctx->options.timeout_seconds = 3;
        ctx->port_name = "/dev/ttyS0";
        sim.instrument().set_report_sink(sim.uploads.sink());
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }
    std::string sent() const { return sim.link().from_program(); }

    test::RecordingReporter reporter;
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

IqBasicConfig config(std::vector<FlytecTrack> tracks = {}) {
    IqBasicConfig c;
    c.tracks = std::move(tracks);
    return c;
}

TEST(IqBasicJobs, IdentifyReadsSerialTypeAndVersionOrFailsWithThePartsTexts) {
    IqBasicConfig c = config();
    c.device_type = 0;
    c.waypoints = {test::waypoint_at("HILL", 47, 11, 900)};
    JobRig ok(c, {}, AccessType::ReadWaypoints);
    ASSERT_EQ(ok.run(iq_read_waypoints_job), 0) << ok.reporter.last_error().text;
    EXPECT_EQ(ok.reporter.products(), std::vector<std::string>{"6015, SW 1.1.05, S/N 1137"});
    EXPECT_EQ(ok.ctx->result.product_name, "6015");
    EXPECT_EQ(ok.ctx->result.instrument_description, "6015");
    EXPECT_EQ(ok.ctx->result.device_identity, "6015, SW 1.1.05, S/N 1137");
    EXPECT_EQ(ok.sent().substr(0, 24), "RPA_00\r\nRPA_01\r\nRPA_02\r\n");

    // A lost serial-number reply costs one attempt.
    JobRig again(config(), test::drop_reply(1), AccessType::WriteWaypoints);
    EXPECT_EQ(again.run(iq_write_waypoints_job), 0);
    EXPECT_TRUE(again.reporter.has_status("Requesting product info (1)") && again.reporter.has_status("Product data read"));
    EXPECT_EQ(again.reporter.products(), std::vector<std::string>{"IQ-BASIC, SW 1.1.05, S/N 1137"});

    const struct {
        sim::FaultSettings faults;
        const char* text;
        const char* title;
    } failures[] = {
        {test::drop_reply(2), "Response timeout", "Request product data"},
        {test::silent(), "No valid response from GPS", "Get GPS product data"},
    };
    for (const auto& f : failures) {
        JobRig rig(config(), f.faults, AccessType::ReadWaypoints);
        EXPECT_EQ(rig.run(iq_read_waypoints_job), -1);
        EXPECT_EQ(rig.reporter.last_error().text, f.text);
        EXPECT_EQ(rig.reporter.last_error().title, f.title);
        EXPECT_EQ(rig.reporter.count("error"), 1);
    }
}

TEST(IqBasicJobs, TrackListChoiceAndIgcTracksJoinedInTimeOrder) {
    const FlytecTrack nine = igc_track(9, 5), twelve = igc_track(12, 5), overlap = igc_track(9, 3);
    // Headless: the first line, its IGC text kept byte for byte (the XON
    // and XOFF the instrument mixes in are dropped).
    JobRig one(config({nine, twelve}));
    ASSERT_EQ(one.run(iq_read_track_log_job), 1) << one.reporter.last_error().text;
    EXPECT_EQ(one.reporter.choice_lines, (std::vector<std::string>{"  0   15.06.19   09:00:00   0:05:00",
                                                            "  1   15.06.19   12:00:00   0:05:00"}));
    EXPECT_NE(one.sent().find("ACT_20_  \r\nACT_21_00\r\n"), std::string::npos);
    EXPECT_EQ(one.ctx->result.raw_igc.bytes, nine.igc);
    const TrackLog& log = one.ctx->result.track_log;
    EXPECT_EQ(log.positions.size(), 31u);
    EXPECT_EQ(log.header.instrument_family, InstrumentFamily::IqBasic);
    EXPECT_EQ(log.header.track_log_source, 1u);

    // Both, asked in either order: one log in time order and no raw IGC.
    JobRig both(config({twelve, nine}));
    both.reporter.choice = std::vector<int>{1, 0};
    ASSERT_EQ(both.run(iq_read_track_log_job), 1) << both.reporter.last_error().text;
    const auto& p = both.ctx->result.track_log.positions;
    ASSERT_EQ(p.size(), 62u);
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end(), [](auto& a, auto& b) { return a.time < b.time; }));
    EXPECT_TRUE(both.ctx->result.raw_igc.bytes.empty());
    EXPECT_TRUE(both.reporter.has_status("Requesting track log 2"));

    const uint32_t t9 = nine.start;
    const struct {
        std::vector<FlytecTrack> tracks;
        std::vector<int> answer;
        std::string text;
    } failures[] = {
        {{nine, overlap}, {0, 1}, strformat("Overlapping tracks (%08X,%08X)(%08X,%08X)", t9, t9 + 300, t9, t9 + 180)},
        {{igc_track(9, 5, true, "HFDTE1506X9")}, {0}, "HFDTE sentence error: HFDTE1506X9"},
        {{igc_track(9, 5, true, "HFDTE150619\r\nB0900004712000N01154000EA01000")}, {0},
         "Format error 24 in IGC sentence"},
        {{}, {0}, "No tracks found"},
        {{nine}, {}, ""},   // the dialog closed: no track, no message
    };
    for (const auto& f : failures) {
        JobRig rig(config(f.tracks));
        rig.reporter.choice = f.answer;
        EXPECT_EQ(rig.run(iq_read_track_log_job), -1);
        EXPECT_EQ(rig.reporter.count("error"), f.text.empty() ? 0 : 1) << f.text;
        if (!f.text.empty()) {
            EXPECT_EQ(rig.reporter.last_error().text, f.text);
        }
    }

    // Unsigned: positions kept, result 0, the notice.
    JobRig unsigned_track(config({igc_track(9, 5, false)}));
    EXPECT_EQ(unsigned_track.run(iq_read_track_log_job), 0);
    EXPECT_EQ(unsigned_track.ctx->result.track_log.header.track_log_source, 0u);
    EXPECT_EQ(unsigned_track.reporter.boxes().back().text, "No G-records found");
}

TEST(IqBasicJobs, WaypointsDownAndUpWithTheDoneSummary) {
    IqBasicConfig c = config();
    c.waypoints = {test::waypoint_at("Take  off hill", 47.5, 11.25, 1234), test::waypoint_at("Low", -33.125, -70.5, -12)};
    JobRig down(c, {}, AccessType::ReadWaypoints);
    ASSERT_EQ(down.run(iq_read_waypoints_job), 0) << down.reporter.last_error().text;
    const auto& got = down.ctx->result.waypoints;
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].identifier, "TAKE");
    EXPECT_EQ(got[0].comment, "Take off hill");
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(got[i].height, c.waypoints[i].height);
        EXPECT_NEAR(got[i].latitude, c.waypoints[i].latitude, 100) << i;
        EXPECT_NEAR(got[i].longitude, c.waypoints[i].longitude, 100) << i;
    }
    EXPECT_TRUE(down.reporter.has_status("2 waypoints received"));
    // "No Data": an empty list fails without a message.
    JobRig none(config(), {}, AccessType::ReadWaypoints);
    EXPECT_EQ(none.run(iq_read_waypoints_job), -1);
    EXPECT_EQ(none.reporter.count("error"), 0);

    const std::vector<Waypoint> up = {test::waypoint_at("TOP", 46.5, 7.25, 12000), test::waypoint_at("VALLEY;LOW", -1, -2, 300)};
    JobRig ok(config(), {}, AccessType::WriteWaypoints);
    ok.ctx->params.waypoints = up;
    ASSERT_EQ(ok.run(iq_write_waypoints_job), 0) << ok.reporter.last_error().text;
    EXPECT_EQ(ok.sim.uploads.lines(),
              (std::vector<std::string>{"waypoint 1 TOP             ;N  46'30.000;E 007'15.000; 10000;   400",
                                        "waypoint 2 VALLEY LOW      ;S  01'00.000;W 002'00.000;   300;   400"}));
    EXPECT_EQ(ok.reporter.notes().back(), "Sent wpt 2/2");

    IqBasicConfig full = config();
    full.upload_reply = "Memory full";
    JobRig refused(full, {}, AccessType::WriteWaypoints);
    refused.ctx->params.waypoints = up;
    EXPECT_EQ(refused.run(iq_write_waypoints_job), -1);
    EXPECT_EQ(refused.reporter.last_error().text, "0 of 2 waypoints ok. First error was \"Memory full\"");
    EXPECT_EQ(refused.reporter.last_error().title, "Waypoint upload response error");
}

const RoutineRegistry& iq_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_iq_basic_jobs(routines), true);
    (void)registered;
    return routines;
}

// Every cut or spoiled byte fails the download and leaves the data as they
// were, or leaves the whole track; a cut at a line end before the G-record
// keeps the fixes so far, marked as not signed.
TEST(IqBasicFaultSweep, TrackListReadAndTrackDownload) {
    const FlytecTrack t = igc_track(9, 5);
    test::SweepCase k;
    k.instrument = [t] { return std::make_unique<sim::IqBasicInstrument>(config({t})); };
    k.routines = &iq_routines();
    k.protocol = ProtocolType::IqBasic;
    k.completion = Completion::TrackLog;
    k.options.timeout_seconds = 3;
    std::size_t got = 0;
    uint32_t source = 0;
    k.complete = [&got, &source](const CurrentData& d, const std::vector<std::string>&) {
        got = d.track_log.positions.size();
        source = d.track_log.header.track_log_source;
        return got == 31 && source == 1;
    };
    const test::FaultSweep sweep(k);
    // After a line's LF, and after the XOFF and XON that may follow it.
    const test::IgcCutPositions at = test::igc_cut_positions(sweep.run().exchange, "\n\x11\x13");
    EXPECT_EQ(sweep.sweep(at.others, true), std::vector<std::string>{});
    for (std::size_t n : at.line_ends) {
        LineFaults cut;
        cut.cut_after = n;
        const test::SweepRun r = sweep.run(cut);
        EXPECT_TRUE(r.ended && !r.failed && got > 0 && source == 0) << n;
    }
}

}  // namespace
}  // namespace orlogix::flytec
