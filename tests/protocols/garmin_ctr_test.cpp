// Airspaces to a Garmin receiver: the write-CTR job against the simulated
// receiver on the in-memory link, each selected CTR outline arriving as one
// named track log.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "access/dispatch.hpp"
#include "access/job_context.hpp"
#include "access/job_runner.hpp"
#include "core/report.hpp"
#include "formats/airspace/ctr_points.hpp"
#include "formats/airspace/openair_reader.hpp"
#include "protocols/garmin/ctr_job.hpp"
#include "protocols/garmin/jobs.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::garmin {
namespace {

using sim::GarminConfig;

const char* const kAirspaces =
    "AC D\n"
    "AN CTR ONE\n"
    "AL GND\n"
    "AH 4500ft\n"
    "V X=46:14:00 N 006:06:00 E\n"
    "DC 3\n"
    "\n"
    "AN TMA TWO\n"
    "DP 46:00:00 N 006:00:00 E\n"
    "DP 46:10:00 N 006:00:00 E\n"
    "DP 46:10:00 N 006:20:00 E\n"
    "\n"
    "AN ZONE THREE\n"
    "DP 45:50:00 N 006:00:00 E\n"
    "V D=-\n"
    "V X=45:50:00 N 006:10:00 E\n"
    "DB 45:50:00 N 006:00:00 E, 45:50:00 N 006:20:00 E\n";

CtrList airspaces() {
    test::RecordingReporter r;
    CtrList list;
    EXPECT_EQ(parse_openair(r, kAirspaces, list), 3) << r.last_error().text;
    return list;
}

struct Rig {
    explicit Rig(GarminConfig config = {}, sim::FaultSettings faults = {})
        : sim(std::make_unique<sim::GarminReceiver>(std::move(config)), faults) {}
    std::unique_ptr<JobContext> context(CtrList list) {
        auto ctx = sim.job(reporter, AccessType::WriteCtr, ProtocolType::GarminSerial);
        ctx->params.ctrs = std::move(list);
        return ctx;
    }
    // The uploaded lines from "records" up to its "transfer complete".
    std::vector<std::vector<std::string>> tracks() const {
        std::vector<std::vector<std::string>> out;
        for (const std::string& l : sim.uploads.lines()) {
            if (l.rfind("records ", 0) == 0) out.emplace_back();
            if (!out.empty() && l.rfind("track", 0) == 0) out.back().push_back(l);
        }
        return out;
    }

    test::RecordingReporter reporter;
    test::MemorySim sim;
};

std::vector<std::string> expected_points(const Ctr& c) {
    std::vector<Waypoint> points;
    EXPECT_GT(ctr_to_points(c, 0, 0, points), 0);
    std::vector<std::string> out;
    for (const Waypoint& w : points) out.push_back(strformat("track point %d %d", w.latitude, w.longitude));
    return out;
}

TEST(GarminCtrUpload, SendsEachSelectedCtrAsANamedTrackLog) {
    CtrList list = airspaces();
    list[0].selected = list[2].selected = true;
    Rig rig;
    auto ctx = rig.context(list);
    ASSERT_EQ(run_job_inline(*ctx, write_ctr_job), 0) << rig.reporter.last_error().text;

    const auto one = expected_points(list[0]);
    const auto three = expected_points(list[2]);
    ASSERT_EQ(one.size(), 37u);
    const auto tracks = rig.tracks();
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0][0], "track header CTR ONE");
    EXPECT_EQ(std::vector<std::string>(tracks[0].begin() + 1, tracks[0].end()), one);
    EXPECT_EQ(tracks[1][0], "track header ZONE THREE");
    EXPECT_EQ(std::vector<std::string>(tracks[1].begin() + 1, tracks[1].end()), three);
    const auto lines = rig.sim.uploads.lines();
    EXPECT_EQ(lines[0], "records " + std::to_string(one.size() + 1));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "transfer complete 6"), 2);

    // Numbered by selection, not by place in the list.
    EXPECT_TRUE(rig.reporter.has_status("CTR 1: Point 37 of 37 sent"));
    EXPECT_TRUE(rig.reporter.has_status(format_counts("CTR 2: Point % of % sent", three.size(), three.size())));
    EXPECT_EQ(ctx->result.product_name, "Garmin");
    // The job never touches the track log.
    EXPECT_TRUE(ctx->result.track_log.positions.empty());
    EXPECT_EQ(rig.reporter.count("error"), 0);
}

TEST(GarminCtrUpload, ACtrWithoutPointsIsSkippedButFailsTheJob) {
    CtrList list = airspaces();
    list[1].segments.clear();   // nothing to draw
    for (Ctr& c : list) c.selected = true;
    Rig rig;
    auto ctx = rig.context(list);
    EXPECT_EQ(run_job_inline(*ctx, write_ctr_job), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "No points for CTR 2 sent");
    EXPECT_EQ(rig.reporter.last_error().title, "Upload CTR");
    const auto tracks = rig.tracks();
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0][0], "track header CTR ONE");
    EXPECT_EQ(tracks[1][0], "track header ZONE THREE");
    EXPECT_TRUE(rig.reporter.has_status("CTR 1: Point 37 of 37 sent"));
    EXPECT_FALSE(rig.reporter.has_status("CTR 2: Point 37 of 37 sent"));
}

TEST(GarminCtrUpload, AFailedCtrDoesNotStopTheNextButFailsTheJob) {
    // Replies 1-3 identify the receiver; 4 and 5 acknowledge the first
    // CTR's count and header, 6 its first point: left out, it times out.
    sim::FaultSettings f;
    f.drop_reply = 6;
    CtrList list = airspaces();
    list[0].selected = list[1].selected = true;
    Rig rig(GarminConfig{}, f);
    auto ctx = rig.context(list);
    EXPECT_EQ(run_job_inline(*ctx, write_ctr_job), -1);
    ASSERT_EQ(rig.reporter.count("error"), 1);
    EXPECT_EQ(rig.reporter.last_error().text, "E504 Timeout while waiting for ack. packet");
    EXPECT_EQ(rig.reporter.last_error().title, "Upload CTR");
    // The second CTR still arrives whole.
    const auto two = expected_points(list[1]);
    EXPECT_TRUE(rig.reporter.has_status(format_counts("CTR 2: Point % of % sent", two.size(), two.size())));
    const auto tracks = rig.tracks();
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[1][0], "track header TMA TWO");
    EXPECT_EQ(std::vector<std::string>(tracks[1].begin() + 1, tracks[1].end()), two);
    EXPECT_TRUE(rig.sim.uploads.has("abort transfer"));
}

TEST(GarminCtrUpload, NothingSelectedFailsBeforeConnecting) {
    test::RecordingReporter r;
    JobContext ctx(r, AccessType::WriteCtr, ProtocolType::GarminSerial, "/nonexistent/tty");
    ctx.params.ctrs = airspaces();
    EXPECT_EQ(run_job_inline(ctx, write_ctr_job), -1);
    EXPECT_EQ(r.last_error().text, "No CTR(s) selected");
    EXPECT_EQ(r.count("error"), 1);
    // An empty list is the same.
    JobContext bare(r, AccessType::WriteCtr, ProtocolType::GarminSerial, "/nonexistent/tty");
    EXPECT_EQ(run_job_inline(bare, write_ctr_job), -1);
    EXPECT_EQ(r.last_error().text, "No CTR(s) selected");
}

TEST(GarminCtrUpload, TracksFollowTheSelection) {
    CtrList list = airspaces();
    list[1].selected = true;
    list[2].selected = true;
    list[2].segments.clear();
    const auto tracks = ctr_tracks(list, 0);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].name, "TMA TWO");
    EXPECT_TRUE(tracks[0].converted);
    EXPECT_EQ(tracks[0].points.size(), 4u);   // three corners, closed
    EXPECT_FALSE(tracks[1].converted);
}

TEST(GarminCtrUpload, RegisteredForTheSerialProtocol) {
    RoutineRegistry registry;
    register_garmin_jobs(registry);
    EXPECT_TRUE(static_cast<bool>(registry.find(AccessType::WriteCtr, Routine::Garmin)));
    EXPECT_EQ(dispatch_routine(AccessType::WriteCtr, ProtocolType::GarminSerial), Routine::Garmin);
}

}  // namespace
}  // namespace orlogix::garmin
