// The Magellan job routines against the simulated receiver on the in-memory
// link, on simulated time: identification, the model refusals, the silent
// end of older receivers, waypoints both ways with the pilot's ID
// waypoints, faults and the sweep.
#include <gtest/gtest.h>

#include <functional>

#include "access/job_runner.hpp"
#include "competition/pilot_identity.hpp"
#include "core/report.hpp"
#include "protocols/magellan/jobs.hpp"
#include "protocols/magellan/sentences.hpp"
#include "sim/magellan/magellan_receiver.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::magellan {
namespace {

using sim::MagellanConfig;

MagellanConfig config(std::vector<std::string> lines = {}, bool end = true) {
    MagellanConfig c;
    c.track_lines = std::move(lines);
    c.end = end;
    return c;
}

// A short track: n fixes a minute apart, one without a fix after the first.
std::vector<std::string> short_track(int n) {
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i)
        lines.push_back(nmea_sentence(strformat("PMGNTRK,46%02d.000,N,00715.000,E,%05d,M,10%02d00.00,A,,010724", i,
                                                1000 + i, i)));
    lines.insert(lines.begin() + 1, nmea_sentence("PMGNTRK,4630.000,N,00715.000,E,01000,M,100030.00,V,,010724"));
    return lines;
}

// Breaks the line when the job shows a status (the link's own watch runs
// under its lock).
struct BreakingReporter : test::RecordingReporter {
    void status(std::string_view text) override {
        test::RecordingReporter::status(text);
        if (text == at && link) breaks(*link);
    }
    std::string at;
    MemoryLink* link = nullptr;
    std::function<void(MemoryLink&)> breaks;
};

struct JobRig {
    explicit JobRig(MagellanConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : instrument(new sim::MagellanReceiver(std::move(c))),
          sim(std::unique_ptr<sim::Instrument>(instrument), faults),
          ctx(sim.job(reporter, access, ProtocolType::Magellan)) {
        ctx->options.timeout_seconds = 3;
        ctx->port_name = "/dev/ttyS0";
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }
    std::string sent() const { return sim.link().from_program(); }
    const std::vector<TrackPosition>& positions() const { return ctx->result.track_log.positions; }

    BreakingReporter reporter;
    sim::MagellanReceiver* instrument;   // owned by sim
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(MagellanJobs, IdentifiesOrGivesUpAfterItsAttempts) {
    JobRig ok(config(short_track(3)));
    ASSERT_EQ(ok.run(read_track_log_job), 0) << ok.reporter.last_error().text;
    EXPECT_EQ(ok.sent().substr(0, kVersionRequest.size()), kVersionRequest);
    EXPECT_EQ(ok.sim.link().settings().back().first, 9600);
    EXPECT_FALSE(ok.sim.link().settings().back().second);
    EXPECT_EQ(ok.reporter.products(), std::vector<std::string>{"MAGELLAN SPORTRAK, SW 3.20"});
    EXPECT_EQ(ok.ctx->result.device_identity, "Magellan: 33");

    // TIMEOUT=5: three attempts two seconds apart.
    JobRig silent(config(), test::silent());
    silent.ctx->options.timeout_seconds = 5;
    EXPECT_EQ(silent.run(read_track_log_job), -1);
    for (const char* s : {"Requesting product info (3)", "Requesting product info (2)", "Requesting product info (1)"})
        EXPECT_TRUE(silent.reporter.has_status(s)) << s;
    EXPECT_EQ(silent.sim.now_ms(), 200 + 6000);   // the port's settling pause first
    EXPECT_EQ(silent.reporter.last_error().text, "No valid response from GPS");
    EXPECT_EQ(silent.reporter.last_error().title, "Get GPS product data");
}

TEST(MagellanJobs, ModelsWithoutTimeOrDateInTheirLogsAreRefusedBeforeAnythingIsSent) {
    const struct {
        int32_t id;
        const char* version;
        const char* error;
    } cases[] = {{24, "3.13", "E200 Model does not support time in track log"},
                 {30, "2.00", "E200 Model does not support date in track log"},
                 {24, "3.14", nullptr},
                 {30, "2.01", nullptr}};
    for (const auto& c : cases) {
        MagellanConfig m = config(short_track(2));
        m.product_id = c.id;
        m.version = c.version;
        JobRig rig(m);
        rig.ctx->options.competition_mode = true;
        const int result = rig.run(read_track_log_job);
        if (!c.error) {
            EXPECT_EQ(result, 0) << c.version;
            continue;
        }
        EXPECT_EQ(result, -1);
        EXPECT_EQ(rig.reporter.last_error().text, c.error);
        EXPECT_EQ(rig.reporter.last_error().title, "Read GPS track log");
        EXPECT_EQ(rig.sent(), kVersionRequest);
    }
}

// Older receivers send no END: the silence after the last sentence ends the
// log as a success, and the receiver is told to stop.
TEST(MagellanJobs, SilenceEndsTheLogOfAnOlderReceiver) {
    JobRig rig(config(short_track(12), false));
    ASSERT_EQ(rig.run(read_track_log_job), 0) << rig.reporter.last_error().text;
    EXPECT_EQ(rig.positions().size(), 12u);   // the sentence without a fix gives none
    EXPECT_TRUE(rig.reporter.has_status("10 points received"));
    EXPECT_EQ(rig.reporter.notes(), std::vector<std::string>{"Progress 10/?"});
    EXPECT_EQ(rig.sent(), std::string(kVersionRequest) + std::string(kTrackRequest) + std::string(kStop));
    // With END there is no STOP.
    JobRig ended(config(short_track(12)));
    ASSERT_EQ(ended.run(read_track_log_job), 0);
    EXPECT_EQ(ended.sent(), std::string(kVersionRequest) + std::string(kTrackRequest));

    // Nothing but END: no positions is a failure.
    JobRig empty(config());
    EXPECT_EQ(empty.run(read_track_log_job), -1);
    EXPECT_EQ(empty.reporter.last_error().text, "0 points received");
}

TEST(MagellanJobs, BrokenTrackSentencesEndTheDownloadWithTheirNumbers) {
    std::vector<std::string> bad_field = short_track(4);
    bad_field[3] = nmea_sentence("PMGNTRK,4630.000,N,00715.000,E,01000,M,100030.00,A,,320724");
    std::vector<std::string> cut = short_track(4);
    cut.back().resize(20);   // then quiet
    const struct {
        MagellanConfig config;
        sim::FaultSettings faults;
        const char* error;
    } cases[] = {
        {config(short_track(4)), test::corrupt_reply(3), "E206 Format error 3"},   // spoiled second sentence
        {config(bad_field), {}, "E205 Format error 21"},
        {config(cut, false), {}, "E206 Format error 3"},
        {config({"$PMGNTRK," + std::string(100, '1') + "*00\r\n"}), {}, "E206 Format error 5"},
    };
    for (const auto& c : cases) {
        JobRig rig(c.config, c.faults);
        EXPECT_EQ(rig.run(read_track_log_job), -1) << c.error;
        EXPECT_EQ(rig.reporter.last_error().text, c.error);
        EXPECT_EQ(rig.reporter.last_error().title, "Read GPS track log");
        EXPECT_TRUE(rig.positions().empty());
        EXPECT_EQ(rig.sent().substr(rig.sent().size() - kStop.size()), kStop) << c.error;
    }

    // An abort in the middle: "Transfer aborted", then STOP.
    JobRig aborted(config(short_track(40)));
    aborted.sim.link().watch(kVersionRequest.size() + 40 + kTrackRequest.size() + 300,
                             [&] { aborted.ctx->timer.abort(); });
    EXPECT_EQ(aborted.run(read_track_log_job), -1);
    EXPECT_TRUE(aborted.reporter.has_status("Transfer aborted"));
    EXPECT_EQ(aborted.sent().substr(aborted.sent().size() - kStop.size()), kStop);

    JobRig broken(config(short_track(4)));
    broken.reporter.at = "Requesting track log";
    broken.reporter.link = &broken.sim.link();
    broken.reporter.breaks = [](MemoryLink& l) { l.set_read_failure(true); };
    EXPECT_EQ(broken.run(read_track_log_job), -1);
    EXPECT_EQ(broken.reporter.last_error().text, "E204 COM port read error");
}

TEST(MagellanJobs, WaypointsUpAndDownWithThePilotsIds) {
    // The upload, as a competition upload builds it: the pilot's IDs after the waypoints.
    std::vector<Waypoint> list = {test::waypoint_at("TAKE OFF NORTH", 46 + 7.407 / 60, 6 + 39.259 / 60, 1234, "LAUNCH"),
                                  test::waypoint_at("DEAD SEA", 31.5, 35.5, -12, "LOW")};
    ASSERT_EQ(append_identity_waypoints(list, PilotIds{57, 12345}, false, 0), 0);
    JobRig up(config(), {}, AccessType::WriteWaypoints);
    up.ctx->params.waypoints = list;
    ASSERT_EQ(up.run(write_waypoints_job), 0) << up.reporter.last_error().text;
    const std::string sent = up.sent();
    EXPECT_NE(sent.find("$PMGNWPL,4607.407,N,00639.259,E,1234,M,LAUNCH,TAKE OFF NORTH*2F\r\n"), std::string::npos);
    EXPECT_NE(sent.find(",0000,M,LOW,DEAD SEA*"), std::string::npos);
    EXPECT_EQ(sent.substr(sent.size() - kEnd.size()), kEnd);
    EXPECT_EQ(up.reporter.notes(), (std::vector<std::string>{"Sent wpt 1/4", "Sent wpt 2/4", "Sent wpt 3/4",
                                                              "Sent wpt 4/4"}));
    EXPECT_TRUE(up.reporter.has_status("Waypoint 4 sent"));
    EXPECT_EQ(up.reporter.statuses().back(), "4 waypoints sent");
    const std::vector<std::string> reported = up.sim.uploads.lines();
    ASSERT_EQ(reported.size(), 5u);
    EXPECT_EQ(reported.back(), "end of upload");
    EXPECT_EQ(reported[2].substr(0, 15), "waypoint COMPID");

    // What the receiver now holds comes down as it went up.
    MagellanConfig held = config(short_track(2));
    held.waypoints = up.instrument->waypoints();
    JobRig down(held, {}, AccessType::ReadWaypoints);
    ASSERT_EQ(down.run(read_waypoints_job), 0) << down.reporter.last_error().text;
    const std::vector<Waypoint>& got = down.ctx->result.waypoints;
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].identifier, "LAUNCH");
    EXPECT_EQ(got[0].comment, "TAKE OFF NORTH");
    EXPECT_EQ(got[0].height, 1234);
    EXPECT_EQ(got[1].height, 0);
    EXPECT_EQ(down.reporter.statuses().back(), "4 waypoints received");

    // A competition download finds the IDs, passing over a spoiled waypoint.
    JobRig comp(held, test::corrupt_reply(2));
    comp.ctx->options.competition_mode = true;
    ASSERT_EQ(comp.run(read_track_log_job), 0) << comp.reporter.last_error().text;
    EXPECT_EQ(comp.ctx->result.comp_id, 57);
    EXPECT_EQ(comp.ctx->result.civl_id, 12345);
    EXPECT_EQ(comp.positions().size(), 2u);
    EXPECT_EQ(comp.sent().substr(kVersionRequest.size(), kWaypointRequest.size()), kWaypointRequest);

    // Outside competition mode the spoiled waypoint fails the download; none at all too.
    JobRig spoiled(held, test::corrupt_reply(2), AccessType::ReadWaypoints);
    EXPECT_EQ(spoiled.run(read_waypoints_job), -1);
    EXPECT_EQ(spoiled.reporter.last_error().text, "E305 Format error 3");
    JobRig none(config(), {}, AccessType::ReadWaypoints);
    EXPECT_EQ(none.run(read_waypoints_job), -1);
    EXPECT_EQ(none.reporter.last_error().text, "0 waypoints received");
}

TEST(MagellanJobs, UploadCountsOnlyTheWaypointsWritten) {
    JobRig rig(config(), {}, AccessType::WriteWaypoints);
    rig.ctx->params.waypoints = {test::waypoint_at("A", 46, 7, 0, "A"), test::waypoint_at("B", 46, 7, 0, "B")};
    rig.reporter.at = "Waypoint 1 sent";
    rig.reporter.link = &rig.sim.link();
    rig.reporter.breaks = [](MemoryLink& l) { l.set_write_failure(true); };
    EXPECT_EQ(rig.run(write_waypoints_job), -1);
    EXPECT_EQ(rig.reporter.statuses().back(), "1 waypoints sent");
    EXPECT_EQ(rig.reporter.last_error().text, "COM port write error");
}

const RoutineRegistry& magellan_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_magellan_jobs(routines), true);
    (void)registered;
    return routines;
}

// A cut right after a whole sentence looks like an older receiver's silent
// end: such a run keeps the fixes so far. Every other cut or spoiled byte
// must fail or leave the whole track.
TEST(MagellanFaultSweep, TrackDownload) {
    const MagellanConfig c = config(short_track(25));
    test::SweepCase k;
    k.instrument = [c] { return std::make_unique<sim::MagellanReceiver>(c); };
    k.routines = &magellan_routines();
    k.access = AccessType::ReadTrackLog;
    k.protocol = ProtocolType::Magellan;
    k.completion = Completion::TrackLog;
    k.options.timeout_seconds = 3;
    std::size_t got = 0;
    k.complete = [&got](const CurrentData& d, const std::vector<std::string>&) {
        got = d.track_log.positions.size();
        return got == 25;
    };
    const test::FaultSweep sweep(k);
    const std::string exchange = sweep.run().exchange;
    const std::size_t first = exchange.find("$PMGNTRK"), end = exchange.find("$PMGNCMD,END");
    ASSERT_NE(end, std::string::npos);
    std::vector<std::size_t> line_ends, others;
    for (std::size_t n = 0; n < exchange.size(); ++n) {
        if (n > first && n <= end && exchange[n - 1] == '\n') line_ends.push_back(n);
        else others.push_back(n);
    }
    EXPECT_EQ(sweep.sweep(others, true), std::vector<std::string>{});
    for (std::size_t i = 0; i < line_ends.size(); ++i) {
        LineFaults cut;
        cut.cut_after = line_ends[i];
        const test::SweepRun r = sweep.run(cut);
        // The second sentence has no fix.
        const std::size_t fixes = i == 0 ? 1 : i;
        EXPECT_TRUE(r.ended && !r.failed && got == fixes) << line_ends[i] << " " << got;
    }
}

}  // namespace
}  // namespace orlogix::magellan
