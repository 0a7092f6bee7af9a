// The Flytec/Brauniger airspace jobs against the simulated variometer on the
// in-memory link: the acknowledged upload and the CTR list download.
#include <gtest/gtest.h>

#include "access/job_runner.hpp"
#include "protocols/flytec/jobs.hpp"
#include "sim/flytec/flytec_instrument.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::flytec {
namespace {

// A circle (three sentences) and two points with an arc (seven).
CtrList airspaces() {
    Ctr circle;
    circle.name = "CIRCLE";
    circle.floor = "GND";
    circle.selected = true;
    CtrSegment c;
    c.kind = CtrSegmentKind::Circle;
    c.centre = {47.25, 11.5};
    c.radius = 5000;
    circle.segments = {c};
    Ctr shape = circle;
    shape.name = "SHAPE";
    CtrSegment p1, p2, arc;
    p1.centre = {47.0, 11.0};
    p2.centre = {47.1, 11.0};
    arc.kind = CtrSegmentKind::ArcByEnds;
    arc.centre = {47.05, 11.0};
    arc.first = {47.1, 11.0};
    arc.second = {47.0, 11.0};
    arc.direction = '-';
    shape.segments = {p1, p2, arc};
    return {circle, shape};
}

struct CtrRig {
    CtrRig(sim::FlytecConfig c, AccessType access, sim::FaultSettings faults = {})
        : sim(std::make_unique<sim::FlytecInstrument>(std::move(c)), faults),
          ctx(sim.job(reporter, access, ProtocolType::FlytecIq)) {
        ctx->options.timeout_seconds = 3;
        ctx->params.ctrs = airspaces();
    }
    test::RecordingReporter reporter;
    test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(FlytecCtrJobs, UploadIsAcknowledgedPerCtr) {
    CtrRig ok({}, AccessType::WriteCtr);
    ASSERT_EQ(run_job_inline(*ok.ctx, write_ctr_job), 0) << ok.reporter.last_error().text;
    EXPECT_EQ(ok.sim.uploads.lines(), (std::vector<std::string>{"ctr CIRCLE           : 3 sentences",
                                                                "ctr SHAPE            : 7 sentences"}));
    for (const char* s : {"1 CTR segments sent", "3 CTR segments sent", "Waiting for CTR transfer ack.", "CTR transfer ok"})
        EXPECT_TRUE(ok.reporter.has_status(s)) << s;

    // A refusal, or no acknowledgement within 20 s, stops before the next CTR.
    sim::FlytecConfig refusing;
    refusing.ack = '2';
    const struct {
        sim::FlytecConfig config;
        sim::FaultSettings faults;
        const char* text;
    } failures[] = {{refusing, {}, "Plausibility error"}, {{}, test::drop_reply(2), "Missing CTR upload ack."}};
    for (const auto& f : failures) {
        CtrRig rig(f.config, AccessType::WriteCtr, f.faults);
        EXPECT_EQ(run_job_inline(*rig.ctx, write_ctr_job), -1);
        EXPECT_EQ(rig.reporter.last_error().text, f.text);
        EXPECT_EQ(rig.reporter.last_error().title, "CTR upload acknowledge status");
        EXPECT_EQ(rig.sim.uploads.lines().size(), 1u);
    }

    // Names equal as sent are refused before the port is opened.
    CtrRig same({}, AccessType::WriteCtr);
    same.ctx->params.ctrs[0].name = "LONG AIRSPACE NAME ONE";
    same.ctx->params.ctrs[1].name = "LONG AIRSPACE NAME TWO";
    EXPECT_EQ(run_job_inline(*same.ctx, write_ctr_job), -1);
    EXPECT_EQ(same.reporter.last_error().text,
              "One or more of the selected CTRs have equal\r\nnames after limiting the length to fit the GPS");
    EXPECT_TRUE(same.sim.link().from_program().empty());
}

TEST(FlytecCtrJobs, ListDownloadRebuildsTheCtrs) {
    sim::FlytecConfig c;
    c.ctrs = airspaces();
    CtrRig rig(c, AccessType::ReadCtr);
    ASSERT_EQ(run_job_inline(*rig.ctx, read_ctr_job), 0) << rig.reporter.last_error().text;
    const CtrList& got = rig.ctx->result.ctrs;
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].floor, "GND" + std::string(14, ' '));   // as the upload form pads it
    ASSERT_EQ(got[0].segments.size(), 1u);
    EXPECT_EQ(got[0].segments[0].radius, 5000u);
    ASSERT_EQ(got[1].segments.size(), 3u);
    EXPECT_EQ(got[1].segments[2].kind, CtrSegmentKind::ArcByEnds);
    EXPECT_EQ(got[1].segments[2].direction, '-');
    EXPECT_NEAR(got[1].segments[1].centre.latitude, 47.1, 1e-5);
    for (const char* s : {"Requesting CTR list", "Receiving CTR list", "1 CTRs received", "2 CTR(s) received"})
        EXPECT_TRUE(rig.reporter.has_status(s)) << s;
}

}  // namespace
}  // namespace orlogix::flytec
