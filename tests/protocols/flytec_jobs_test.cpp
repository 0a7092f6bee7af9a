// The Flytec/Brauniger job routines against the simulated variometer on the
// in-memory link, on simulated time; the fault sweep of its transfers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "access/job_runner.hpp"
#include "competition/pilot_identity.hpp"
#include "core/current_data.hpp"
#include "core/time.hpp"
#include "core/file_read.hpp"
#include "formats/kml/logbook.hpp"
#include "protocols/flytec/jobs.hpp"
#include "protocols/flytec/read_all.hpp"
#include "protocols/flytec/sentences.hpp"
#include "protocols/flytec/waypoint_upload.hpp"
#include "protocols/nmea/sentence.hpp"
#include "sim/flytec/flytec_instrument.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::flytec {
namespace {

using sim::FlytecConfig;
using sim::FlytecTrack;

// Fixes every 10 s from hh:00:00 on 2019-06-15 for the given minutes.
FlytecTrack igc_track(int hour, int minutes, bool g_record = true) {
    std::string igc = "AFLY1234\r\nHFDTE150619\r\nHFPLTPILOT:SIM PILOT\r\n";
    for (int s = 0; s <= minutes * 60; s += 10)
        igc += strformat("B%02d%02d%02d4712%03dN01154%03dEA%05d%05d\r\n", hour + s / 3600, s / 60 % 60, s % 60,
                         s % 1000, s * 7 % 1000, 1000 + s / 10, 1050 + s / 10);
    if (g_record) igc += "G0123456789ABCDEF\r\n";
    return {igc, time_from_calendar(2019, 6, 15, hour, 0, 0), static_cast<uint32_t>(minutes * 60)};
}

FlytecConfig config(std::vector<FlytecTrack> tracks = {}, std::string model = "COMPEO+", std::string version = "2.20") {
    FlytecConfig c;
    c.model = std::move(model);
    c.version = std::move(version);
    c.tracks = std::move(tracks);
    return c;
}

struct JobRig {
    explicit JobRig(FlytecConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : sim(std::make_unique<sim::FlytecInstrument>(std::move(c)), faults),
          ctx(sim.job(reporter, access, ProtocolType::FlytecIq)) {
        ctx->options.timeout_seconds = 3;
        ctx->port_name = "/dev/ttyS0";
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }
    bool sent(const std::string& request) const { return sim.link().from_program().find(request) != std::string::npos; }

    test::RecordingReporter reporter;
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(FlytecJobs, IdentifyFillsTheProductTextsOrFailsWithThePartsTexts) {
    FlytecConfig c = config({igc_track(9, 10)});
    c.model = "iq-compeo+";
    c.serial = " 12  34";   // seven characters, then blanks collapsed
    JobRig ok(c);
    ASSERT_EQ(ok.run(read_track_log_job), 1) << ok.reporter.last_error().text;
    EXPECT_TRUE(ok.reporter.has_status("Requesting product info (2)") && ok.reporter.has_status("Product data read"));
    EXPECT_EQ(ok.reporter.products(), std::vector<std::string>{"IQ-COMPEO+, SN12 34, SW2.20"});
    EXPECT_EQ(ok.ctx->result.product_name, "Compeo+");
    EXPECT_EQ(ok.ctx->result.instrument_description, "IQ-COMPEO+ 12 34 2.20");
    EXPECT_EQ(ok.ctx->result.device_identity, "Compeo+: 12 34");
    // The instrument answers only requests led by an XON.
    EXPECT_EQ(ok.sim.link().from_program().substr(0, 14), std::string("\x11$PBRSNP,*21\r\n"));

    // A spoiled or missing product reply costs one attempt.
    for (const sim::FaultSettings& f : {test::corrupt_reply(1), test::drop_reply(1)}) {
        JobRig again(config(), f, AccessType::ReadWaypoints);
        again.run(read_waypoints_job);
        EXPECT_TRUE(again.reporter.has_status("Requesting product info (1)") &&
                    again.reporter.has_status("Product data read"));
    }
    FlytecConfig nameless = config();
    nameless.pilot = "";
    const struct {
        FlytecConfig config;
        sim::FaultSettings faults;
        const char* text;
        const char* title;
    } failures[] = {
        {nameless, {}, "Bad/missing user name", "Reading product data"},
        {config(), test::silent(), "No valid response from GPS", "Get GPS product data"},
    };
    for (const auto& f : failures) {
        JobRig rig(f.config, f.faults, AccessType::ReadWaypoints);
        EXPECT_EQ(rig.run(read_waypoints_job), -1);
        EXPECT_EQ(rig.reporter.last_error().text, f.text);
        EXPECT_EQ(rig.reporter.last_error().title, f.title);
        EXPECT_EQ(rig.reporter.count("error"), 1);
        // TIMEOUT=3: two attempts of 2 s after the port's 200 ms settling.
        if (f.faults.silent) {
            EXPECT_EQ(rig.sim.now_ms(), 200 + 4000);
        }
    }
}

TEST(FlytecJobs, WaypointsDownKeptOrHandedToTheIdentityCheck) {
    FlytecConfig c = config({igc_track(9, 5)});
    c.waypoints = {test::waypoint_at("Take  off  hill ", 47.5, 11.25, 1234, "TKOFF"),
                   test::waypoint_at("low point", -33.125, -70.5, -12), test::waypoint_at("", 0.5, 0.5, 0)};
    JobRig rig(c, {}, AccessType::ReadWaypoints);
    ASSERT_EQ(rig.run(read_waypoints_job), 0) << rig.reporter.last_error().text;
    const auto& got = rig.ctx->result.waypoints;
    ASSERT_EQ(got.size(), 3u);
    const char* ids[] = {"TKOFF", "LOW", "Z"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].identifier, ids[i]);
        EXPECT_EQ(got[i].height, c.waypoints[i].height);
        EXPECT_NEAR(got[i].latitude, c.waypoints[i].latitude, 100) << i;   // a thousandth of a minute is ~200
        EXPECT_NEAR(got[i].longitude, c.waypoints[i].longitude, 100) << i;
    }
    EXPECT_EQ(got[0].comment, "TAKE OFF HILL");
    EXPECT_TRUE(rig.reporter.has_status("Receiving waypoints") && rig.reporter.has_status("3 waypoints received"));
    EXPECT_EQ(rig.reporter.notes().front(), "Waypoint count 1");

    // A spoiled waypoint sentence (reply 2 is the first) fails the download,
    // and so does a line that goes dead in the middle of one.
    sim::FaultSettings cut;
    cut.cut_after = nmea_sentence("PBRSNP,COMPEO+,SIM PILOT,1234,2.20").size() + 20;
    for (const sim::FaultSettings& f : {test::corrupt_reply(2), cut}) {
        JobRig spoiled(c, f, AccessType::ReadWaypoints);
        EXPECT_EQ(spoiled.run(read_waypoints_job), -1);
        EXPECT_EQ(spoiled.reporter.last_error().text.substr(0, 5), f.cut_after ? "E301 " : "E302 ");
        EXPECT_EQ(spoiled.reporter.last_error().title, "Read GPS waypoints");
    }

    // In competition mode the long names are looked at and nothing is kept.
    ASSERT_EQ(append_identity_waypoints(c.waypoints, PilotIds{57, 12345}, false, 0), 0);
    JobRig comp(c);
    comp.ctx->options.competition_mode = true;
    ASSERT_EQ(comp.run(read_track_log_job), 1) << comp.reporter.last_error().text;
    EXPECT_EQ(comp.ctx->result.comp_id, 57);
    EXPECT_EQ(comp.ctx->result.civl_id, 12345);
    EXPECT_TRUE(comp.ctx->result.waypoints.empty() && comp.sent(waypoints_request()));
}

TEST(FlytecJobs, WaypointsUpReportedByTheInstrument) {
    JobRig rig(config(), {}, AccessType::WriteWaypoints);
    rig.ctx->params.waypoints = {test::waypoint_at("TAKEOFF MOUNTAIN RIDGE", 47.5, 11.25, -5, "T1"),
                                 test::waypoint_at("LZ, $*", -33.125, -70.5, 12000, "L1")};
    ASSERT_EQ(rig.run(write_waypoints_job), 0);
    EXPECT_EQ(rig.sim.uploads.lines(), (std::vector<std::string>{
                                           "waypoint 1 4730.000,N,01115.000,E,,TAKEOFF MOUNTAIN ,0000",
                                           "waypoint 2 3307.500,S,07030.000,W,,LZ" + std::string(15, ' ') + ",9999"}));
    EXPECT_TRUE(rig.reporter.has_status("Waypoint 2 sent"));
    EXPECT_EQ(rig.reporter.notes(), (std::vector<std::string>{"Sent wpt 1/2", "Sent wpt 2/2"}));

    // An abort after the first waypoint went out counts that one.
    JobRig aborted(config(), {}, AccessType::WriteWaypoints);
    aborted.ctx->params.waypoints = rig.ctx->params.waypoints;
    aborted.sim.link().watch(product_request().size() + nmea_sentence("PBRSNP,COMPEO+,SIM PILOT,1234,2.20").size() + 1 +
                                 waypoint_upload_sentence(aborted.ctx->params.waypoints[0]).size(),
                             [&] { aborted.ctx->timer.abort(); });
    EXPECT_EQ(aborted.run(write_waypoints_job), -1);
    EXPECT_EQ(aborted.reporter.statuses().back(), "1 waypoints sent");
    EXPECT_EQ(aborted.sim.uploads.lines().size(), 1u);
}

TEST(FlytecJobs, ChosenTracksJoinInTimeOrder) {
    // Listed late first: the log still runs from 09:00 to 13:00.
    JobRig rig(config({igc_track(12, 60), igc_track(9, 60)}));
    rig.reporter.choice = {{0, 1}};
    ASSERT_EQ(rig.run(read_track_log_job), 1) << rig.reporter.last_error().text;
    EXPECT_EQ(rig.reporter.choice_title, "Track List (/dev/ttyS0, Compeo+)");
    EXPECT_EQ(rig.reporter.choice_notes, (std::vector<std::string>{"Showing up to 31 tracks.",
                                                                  "Multiple track selection is not available on all GPS types."}));
    EXPECT_EQ(rig.reporter.choice_lines, (std::vector<std::string>{"01   2019-06-15   12:00:00   1:00:00",
                                                            "02   2019-06-15   09:00:00   1:00:00"}));
    const TrackLog& log = rig.ctx->result.track_log;
    ASSERT_EQ(log.positions.size(), 2u * 361);
    EXPECT_EQ(log.positions.front().time, time_from_calendar(2019, 6, 15, 9, 0, 0));
    EXPECT_EQ(log.positions[361].time, time_from_calendar(2019, 6, 15, 12, 0, 0));
    EXPECT_EQ(log.positions.front().flags & kSegmentStart, kSegmentStart);
    EXPECT_EQ(log.positions[361].flags & kSegmentStart, 0u);
    EXPECT_EQ(log.header.instrument_family, InstrumentFamily::FlytecIq);
    EXPECT_EQ(log.header.baro_present + log.header.times_in_utc + log.header.track_log_source, 3u);
    EXPECT_TRUE(rig.ctx->result.raw_igc.empty());   // two files one after the other make no IGC file
    EXPECT_EQ(rig.ctx->track_list[1].start, time_from_calendar(2019, 6, 15, 9, 0, 0));
    for (const char* s : {"Requesting track list", "2 tracks in track list found", "Requesting track log 1",
                          "Requesting track log 2", "Receiving track log", "361 points received", "722 points received"})
        EXPECT_TRUE(rig.reporter.has_status(s)) << s;
    EXPECT_TRUE(rig.reporter.has_status_prefix("Track position 301 ("));

    JobRig overlap(config({igc_track(9, 60), igc_track(9, 30)}));
    overlap.reporter.choice = {{0, 1}};
    EXPECT_EQ(overlap.run(read_track_log_job), -1);
    EXPECT_EQ(overlap.reporter.last_error().text, "Overlapping track start/stop times");
    EXPECT_EQ(overlap.reporter.last_error().title, "Read GPS track log");

    JobRig closed(config({igc_track(9, 60)}));
    closed.reporter.choice = std::vector<int>{};
    EXPECT_EQ(closed.run(read_track_log_job), -1);
    EXPECT_FALSE(closed.sent(track_request(0)));

    // Asking no one: the newest track, with its IGC text kept as it came.
    const FlytecTrack newest = igc_track(14, 20);
    JobRig headless(config({igc_track(9, 20), newest}));
    ASSERT_EQ(headless.run(read_track_log_job), 1) << headless.reporter.last_error().text;
    EXPECT_EQ(headless.ctx->result.track_log.positions.size(), 121u);
    const RawIgcLog& raw = headless.ctx->result.raw_igc;
    EXPECT_EQ(raw.bytes, newest.igc);
    EXPECT_EQ(raw.maker + raw.serial, "FLY123");
    EXPECT_EQ(raw.first_fix_time, newest.start);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(FlytecJobs, ReadAllWritesOneDocumentOfTheAnalysedFlightsAndInstallsNoLog) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orlogix-readall-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // The third track is one fix: read, but too short to analyse.
    JobRig rig(config({igc_track(9, 30), igc_track(12, 20), igc_track(14, 0)}));
    rig.reporter.choice = {{0, 1, 2}};
    rig.reporter.save_choice = {(dir / "flights").string(), 0};
    ASSERT_EQ(rig.run(read_all_tracks_job), 0) << rig.reporter.last_error().text;
    EXPECT_TRUE(rig.ctx->result.track_log.positions.empty());
    EXPECT_EQ(rig.reporter.save_title, "Save track for DezuvaDar");
    EXPECT_EQ(rig.reporter.save_filters, (std::vector<std::string>{"DezuvaDar files (*.kml)", "All Files (*.*)"}));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(rig.sent(track_request(i))) << i;
    for (const char* s : {"Reading track log 1", "Reading track log 3", "Reading track log 1   (101)",
                          "Analysing track log 1", "Analysing track log 2", "Downloading completed"})
        EXPECT_TRUE(rig.reporter.has_status(s)) << s;
    EXPECT_FALSE(rig.reporter.has_status("Analysing track log 3"));
    ASSERT_EQ(rig.reporter.boxes().size(), 1u);
    EXPECT_EQ(rig.reporter.boxes()[0].title, "Save DezuvaDar track");
    EXPECT_EQ(rig.reporter.boxes()[0].text, "File written");
    std::string kml;
    ASSERT_EQ(read_file((dir / "flights.kml").string(), kml), 0);
    EXPECT_TRUE(kml.starts_with(kKmlDocumentHead));
    EXPECT_TRUE(kml.ends_with(std::string("  </Folder>\r\n") + std::string(kKmlDocumentTail))) << kml.substr(kml.size() - 40);
    EXPECT_EQ(occurrences(kml, "  <Folder>"), 2u);
    EXPECT_EQ(occurrences(kml, "Start/finish         09:00:00 - 09:30:00"), 1u);
    EXPECT_EQ(occurrences(kml, "Start/finish         12:00:00 - 12:20:00"), 1u);

    // A closed dialog writes nothing; an existing file is replaced only after
    // the question; "All Files" adds no extension.
    const struct {
        Reporter::SaveChoice save;
        int answer;
        const char* written;
    } saves[] = {{{"", 0}, kBoxOk, nullptr},
                 {{(dir / "flights.kml").string(), 0}, kBoxCancel, nullptr},
                 {{(dir / "flights.kml").string(), 0}, kBoxOk, "flights.kml"},
                 {{(dir / "plain").string(), 1}, kBoxOk, "plain"}};
    for (const auto& s : saves) {
        JobRig again(config({igc_track(10, 10)}));
        again.reporter.choice = {{0}};
        again.reporter.save_choice = s.save;
        again.reporter.queue_answer(s.answer);
        const auto before = fs::exists(dir / "flights.kml") ? fs::last_write_time(dir / "flights.kml") : fs::file_time_type{};
        EXPECT_EQ(again.run(read_all_tracks_job), s.written ? 0 : -1) << s.save.path;
        if (s.written) {
            std::string got;
            ASSERT_EQ(read_file((dir / s.written).string(), got), 0);
            EXPECT_EQ(occurrences(got, "Start/finish         10:00:00 - 10:10:00"), 1u);
        } else if (!s.save.path.empty()) {
            EXPECT_EQ(fs::last_write_time(dir / "flights.kml"), before);
            EXPECT_EQ(again.reporter.boxes().front().text, "File already exists. Overwrite ?");
        }
    }
    EXPECT_FALSE(fs::exists(dir / "plain.kml"));
    fs::remove_all(dir);
}

TEST(FlytecJobs, WithoutAListTheNewestTrackAndTheGRecordNotice) {
    // A COMPEO 2.19 keeps no list and sends the newest track on "$PBRIGC".
    const FlytecTrack t = igc_track(9, 10, false);
    const std::size_t reply = nmea_sentence("PBRSNP,COMPEO,SIM PILOT,1234,2.19").size();
    std::size_t eleventh = 0;
    for (int i = 0; i < 11; ++i) eleventh = t.igc.find("\r\nB", eleventh + 1);
    const struct {
        std::optional<std::size_t> cut;
        int result;
        std::size_t fixes;
        const char* text;
    } cases[] = {
        {std::nullopt, 0, 61, "No G-records found"},
        {reply + eleventh + 2, 0, 10, "No G-records found"},   // silence after a whole B-record: the fixes so far
        {reply + eleventh + 20, -1, 0, "E203 COM port read error"},   // in the middle of one: cut
    };
    for (const auto& c : cases) {
        sim::FaultSettings f;
        f.cut_after = c.cut;
        JobRig rig(config({t}, "COMPEO", "2.19"), f);
        ASSERT_EQ(rig.run(read_track_log_job), c.result) << rig.reporter.last_error().text;
        EXPECT_TRUE(rig.sent(newest_track_request()) && !rig.sent(track_list_request()));
        EXPECT_TRUE(rig.reporter.has_status("Requesting track log"));
        const test::Box last = rig.reporter.boxes().back();
        EXPECT_EQ(last.kind, c.result < 0 ? "error" : "notice");
        EXPECT_EQ(last.title, "Read GPS track log");
        EXPECT_EQ(last.text, c.text);
        EXPECT_EQ(rig.ctx->result.track_log.positions.size(), c.fixes);
        EXPECT_EQ(rig.ctx->result.track_log.header.track_log_source, 0u);
    }
}

const RoutineRegistry& flytec_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_flytec_jobs(routines), true);
    (void)registered;
    return routines;
}

test::SweepCase sweep_case(FlytecConfig c, AccessType access, Completion completion) {
    test::SweepCase k;
    k.instrument = [c] { return std::make_unique<sim::FlytecInstrument>(c); };
    k.routines = &flytec_routines();
    k.access = access;
    k.protocol = ProtocolType::FlytecIq;
    k.completion = completion;
    k.options.timeout_seconds = 3;
    return k;
}

// A cut at the end of an IGC line before the G-record looks like a track
// that ends there unsigned: such a run keeps the fixes so far, marked as not
// signed. Every other cut or spoiled byte must fail or leave the whole track.
TEST(FlytecFaultSweep, TrackListReadAndTrackDownload) {
    // Listed: product, list and 31 fixes, every byte. Not listed: 301 fixes,
    // every byte at the ends and a prime step between.
    for (const bool listed : {true, false}) {
        const FlytecTrack t = igc_track(9, listed ? 5 : 50);
        test::SweepCase k = sweep_case(listed ? config({t}) : config({t}, "COMPEO", "2.19"), AccessType::ReadTrackLog,
                                       Completion::TrackLog);
        const std::size_t fixes = listed ? 31 : 301;
        std::size_t got = 0;
        uint32_t source = 0;
        k.complete = [fixes, &got, &source](const CurrentData& d, const std::vector<std::string>&) {
            got = d.track_log.positions.size();
            source = d.track_log.header.track_log_source;
            return got == fixes && source == 1;
        };
        const test::FaultSweep sweep(k);
        const std::string exchange = sweep.run().exchange;
        const std::size_t first_b = exchange.find("\r\nB") + 2, g = exchange.rfind("\r\nG") + 2;
        std::vector<std::size_t> line_ends, others;
        for (std::size_t n = 0; n < exchange.size(); ++n) {
            if (n > first_b && n <= g && exchange[n - 1] == '\n') line_ends.push_back(n);
            else if (listed || n < first_b + 80 || n > g - 80 || n % 7 == 0) others.push_back(n);
        }
        EXPECT_EQ(sweep.sweep(others, true), std::vector<std::string>{});
        for (std::size_t i = 0; i < line_ends.size(); i += listed ? 1 : 10) {
            LineFaults cut;
            cut.cut_after = line_ends[i];
            const test::SweepRun r = sweep.run(cut);
            EXPECT_TRUE(r.ended && !r.failed && got == i + 1 && source == 0) << line_ends[i];
        }
    }
}

// The upload has no acknowledgement: what the line loses after the
// identification only the instrument can tell. The identification is swept
// whole; a cut after it leaves the instrument with the waypoints that went
// out whole before it, numbered in order.
TEST(FlytecFaultSweep, WaypointUpload) {
    test::SweepCase k = sweep_case(config(), AccessType::WriteWaypoints, Completion::Written);
    for (int i = 0; i < 4; ++i) k.params.waypoints.push_back(test::waypoint_at("POINT", 47 + i, 11 - i, 100 * i, "W"));
    std::vector<std::string> reported;
    k.complete = [&reported](const CurrentData&, const std::vector<std::string>& uploads) {
        reported.clear();
        std::copy_if(uploads.begin(), uploads.end(), std::back_inserter(reported),
                     [](const std::string& l) { return l.rfind("waypoint ", 0) == 0; });
        return reported.size() == 4 && reported.back().rfind("waypoint 4 ", 0) == 0;
    };
    const test::FaultSweep sweep(k);
    const test::SweepRun clean = sweep.run();
    const std::vector<std::string> whole = reported;
    EXPECT_EQ(sweep.sweep(test::sweep_positions(0, clean.last_reply_byte + 1), true), std::vector<std::string>{});
    const auto sentences = clean.exchange.begin() + static_cast<long>(clean.last_reply_byte) + 1;
    for (std::size_t n = clean.last_reply_byte + 1; n < clean.exchange.size(); ++n) {
        LineFaults cut;
        cut.cut_after = n;
        ASSERT_FALSE(sweep.run(cut).failed) << n;
        const long sent = std::count(sentences, clean.exchange.begin() + static_cast<long>(n), '\n');
        ASSERT_EQ(reported, std::vector<std::string>(whole.begin(), whole.begin() + sent)) << n;
    }
}

}  // namespace
}  // namespace orlogix::flytec
