// The LogIt job routines against the simulated logger on the in-memory
// link: a real flight at every speed, the Tracklogger's count and restart,
// product data, erase and name, the faults and the kit's fault sweep.
#include <gtest/gtest.h>

#include "access/job_runner.hpp"
#include "protocols/logit/jobs.hpp"
#include "protocols/mlr/sentences.hpp"
#include "sim/logit/logit_logger.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::logit {
namespace {

std::vector<TrackPosition> fixes(std::size_t n) {
    std::vector<TrackPosition> all = test::load_flight("flights/line.igc");
    all.resize(n);
    return all;
}

sim::LogItConfig logger(std::vector<TrackPosition> positions, const char* name = "LOGIT") {
    sim::LogItConfig c;
    c.name = name;
    c.positions = std::move(positions);
    return c;
}

struct JobRig {
    explicit JobRig(sim::LogItConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : instrument(new sim::LogItLogger(std::move(c))),
          sim(std::unique_ptr<sim::Instrument>(instrument), faults),
          ctx(sim.job(reporter, access, ProtocolType::LogIt)) {
        ctx->options.timeout_seconds = 4;
        ctx->port_name = "/dev/ttyS0";
        sim.instrument().set_report_sink(sim.uploads.sink());
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }
    std::string sent() const { return sim.link().from_program(); }
    bool ends_stopped() const {
        const std::string s = sent();
        return s.size() >= mlr::kStopSentence.size() &&
               s.substr(s.size() - mlr::kStopSentence.size()) == mlr::kStopSentence &&
               sim.link().settings().back().first == 4800;
    }
    void expect_same(const std::vector<TrackPosition>& served) const {
        const std::vector<TrackPosition>& got = ctx->result.track_log.positions;
        ASSERT_EQ(got.size(), served.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_TRUE(got[i].time == served[i].time && got[i].latitude == served[i].latitude &&
                        got[i].longitude == served[i].longitude && got[i].gps_altitude == served[i].gps_altitude)
                << i;
    }

    test::RecordingReporter reporter;
    sim::LogItLogger* instrument;   // owned by sim
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(LogItJobs, RealFlightAtEachSpeed) {
    const std::vector<TrackPosition> served = test::load_flight("flights/tri.igc");
    for (const int baud : {57600, 38400, 19200, 115200, 9600}) {
        JobRig rig(logger(served));
        rig.ctx->params.baud = baud;
        ASSERT_EQ(rig.run(read_track_log_job), 0) << baud << rig.reporter.last_error().text;
        rig.expect_same(served);
        // The start sentence of that speed, the frames at it, the stop sentence at 4800 again.
        EXPECT_NE(rig.sent().find(mlr::logit_start_sentence(baud)), std::string::npos) << baud;
        const auto rates = rig.sim.link().settings();
        ASSERT_EQ(rates.size(), 3u);
        EXPECT_EQ(rates[1].first, baud == 9600 ? 4800 : baud);
        EXPECT_TRUE(rig.ends_stopped());
        EXPECT_TRUE(rig.reporter.has_status("4514 points received"));
        EXPECT_EQ(rig.reporter.notes().front(), "Progress 1/?");
    }
    JobRig rig(logger(served));
    ASSERT_EQ(rig.run(read_track_log_job), 0);
    const TrackLogHeader& h = rig.ctx->result.track_log.header;
    EXPECT_EQ(h.instrument_family, InstrumentFamily::LogIt);
    EXPECT_EQ(h.times_in_utc, 0u);
    // Firmware 1.02's reply carries a wrong checksum and is taken.
    EXPECT_EQ(rig.reporter.products(), std::vector<std::string>{"LOGIT 1.02 (MLR)"});
    EXPECT_EQ(rig.ctx->result.device_identity, "LOGIT: 2041");
}

TEST(LogItJobs, TrackloggerCountsAndRestartsAtTheFirstPointNotKept) {
    const std::vector<TrackPosition> served = fixes(300);
    sim::LogItConfig c = logger(served, "TRACKLOGGER");
    c.firmware = "2.10";
    c.bad_frame = 5;   // points 65-80
    JobRig rig(c);
    rig.ctx->params.baud = 115200;
    ASSERT_EQ(rig.run(read_track_log_job), 0) << rig.reporter.last_error().text;
    rig.expect_same(served);   // the same log as without the fault
    EXPECT_TRUE(rig.reporter.has_status("Track point count read"));
    EXPECT_TRUE(rig.reporter.has_status("RESTART at point 65"));
    EXPECT_TRUE(rig.reporter.has_status("300 points received"));
    EXPECT_TRUE(rig.reporter.has_status("250 points of 300 received"));
    EXPECT_TRUE(rig.sim.uploads.has("restart 65"));
    EXPECT_NE(rig.sent().find(mlr::restart_sentence(65) + std::string(mlr::logit_start_sentence(115200))),
              std::string::npos);
    EXPECT_TRUE(rig.ends_stopped());

    // A frame that breaks every time: five restarts at that point, then the error.
    c.bad_every_time = true;
    JobRig stubborn(c);
    stubborn.ctx->params.baud = 115200;
    EXPECT_EQ(stubborn.run(read_track_log_job), -1);
    EXPECT_EQ(stubborn.reporter.last_error().text, "E204 Format error 9");
    EXPECT_EQ(stubborn.sim.uploads.lines().size(), 5u);
    EXPECT_TRUE(stubborn.ends_stopped());
}

TEST(LogItJobs, FaultsEndTheDownloadWithItsText) {
    const std::vector<TrackPosition> served = fixes(100);
    sim::FaultSettings after_product;
    after_product.cut_after = 39;   // "$PMLR,IDGPS,01,LOGIT,MLR,2041,1.02*00" CR LF, then nothing
    struct Case {
        const char* name;
        sim::FaultSettings faults;
        std::size_t bad_frame;
        const char* error;
    };
    const Case cases[] = {
        {"silent", test::silent(), 0, "No valid response from GPS"},
        {"silent transfer", after_product, 0, "E210 Track log data timeout"},
        {"corrupted frame", {}, 2, "E204 Format error 9"},
        {"dropped frame", test::drop_reply(4), 0, "E204 Format error 53"},
        {"dropped start", test::drop_reply(2), 0, "E204 Format error 50"},
    };
    for (const Case& c : cases) {
        sim::LogItConfig config = logger(served);
        config.bad_frame = c.bad_frame;
        JobRig rig(config, c.faults);
        EXPECT_EQ(rig.run(read_track_log_job), -1) << c.name;
        EXPECT_EQ(rig.reporter.last_error().text, c.error) << c.name;
        EXPECT_EQ(rig.reporter.last_error().title, std::string(c.name) == "silent" ? "Get GPS product data"
                                                                                    : "Read LogIt track log");
        // The logger is left in command mode once a transfer was asked for.
        if (std::string(c.name) != "silent") {
            EXPECT_TRUE(rig.ends_stopped()) << c.name;
        }
    }
    // An abort in the middle: back in command mode, nothing kept.
    JobRig aborted(logger(served));
    aborted.sim.link().watch(500, [&] { aborted.ctx->timer.abort(); });
    EXPECT_EQ(aborted.run(read_track_log_job), -1);
    EXPECT_TRUE(aborted.reporter.has_status("Transfer aborted"));
    EXPECT_TRUE(aborted.ends_stopped());
}

TEST(LogItJobs, ProductDataEraseAndName) {
    JobRig data(logger({}), {}, AccessType::ReadProductData);
    ASSERT_EQ(data.run(read_product_data_job), 0);
    ASSERT_EQ(data.reporter.boxes().size(), 1u);
    EXPECT_EQ(data.reporter.boxes()[0].text, "Name: LOGIT\nMLR\n2041\nFirmware: 1.02");

    JobRig erase(logger(fixes(10)), {}, AccessType::EraseTrackLog);
    ASSERT_EQ(erase.run(erase_log_job), 0);
    EXPECT_EQ(erase.sent(), std::string(mlr::kStopSentence) + std::string(mlr::kEraseCommand));
    EXPECT_EQ(erase.sim.now_ms(), 200 + 500);   // connect_serial settles twice for 100 ms, then the wait
    EXPECT_TRUE(erase.sim.uploads.has("erase"));
    EXPECT_TRUE(erase.reporter.has_status("Command sent (no verification)"));

    JobRig name(logger({}), {}, AccessType::WritePilotData);
    name.ctx->params.pilot.pilot_name = "Jo,Smith*";
    ASSERT_EQ(name.run(write_name_job), 0);
    EXPECT_TRUE(name.sim.uploads.has("name Jo-Smith-"));
    EXPECT_TRUE(name.reporter.has_status("Name sent (no verification)"));

    JobRig broken(logger({}), {}, AccessType::WritePilotData);
    broken.sim.link().set_write_failure(true);
    EXPECT_EQ(broken.run(write_name_job), -1);
    EXPECT_EQ(broken.reporter.last_error().text, "E401 COM port write error");
    EXPECT_TRUE(broken.reporter.has_status("COM port write error"));
}

const RoutineRegistry& logit_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_logit_jobs(routines), true);
    (void)registered;
    return routines;
}

TEST(LogItJobs, FaultSweepOverOneDownloadOfEachModel) {
    for (const char* model : {"LOGIT", "TRACKLOGGER"}) {
        test::SweepCase k;
        k.instrument = [model] { return std::make_unique<sim::LogItLogger>(logger(fixes(40), model)); };
        k.routines = &logit_routines();
        k.access = AccessType::ReadTrackLog;
        k.protocol = ProtocolType::LogIt;
        k.completion = Completion::TrackLog;
        k.params.baud = 57600;
        k.options.timeout_seconds = 2;
        k.complete = [](const CurrentData& d, const std::vector<std::string>&) {
            return d.track_log.positions.size() == 40;
        };
        const test::FaultSweep sweep(k);
        const std::size_t length = sweep.run().exchange.size();
        EXPECT_EQ(sweep.sweep(test::sweep_positions(0, length), true), std::vector<std::string>{}) << model;
    }
}

}  // namespace
}  // namespace orlogix::logit
