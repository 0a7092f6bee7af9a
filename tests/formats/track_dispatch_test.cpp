// The track file dispatch: the filter tables, extensions, reading by type and
// by extension with the file messages, installing or appending a new log,
// and "Save log &As..." for every save type with a round trip through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/igc/writer.hpp"
#include "formats/kml/logbook.hpp"
#include "formats/kml/trip_writer.hpp"
#include "formats/commands/track_open.hpp"
#include "formats/commands/track_read.hpp"
#include "formats/format_table.hpp"
#include "formats/commands/track_write.hpp"
#include "track_test_util.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

const FileFormat& track(const char* id) { return file_format(FormatKind::Track, id); }
const FileFormat* read_by_extension(const char* path) { return format_named_by_extension(FormatKind::Track, false, path); }

TEST(TrackTypes, FilterTables) {
    EXPECT_EQ(dialog_filters(FormatKind::Track, true, true),
              (std::vector<std::string>{"Ozi files (*.plt)", "MapSource files (*.mps)", "TopNavigator files (*.tnc)",
                                        "GPX files (*.gpx)", "CSV files (*.csv)", "Ozi files (*.*)",
                                        "MapSource files (*.*)", "TopNavigator files (*.*)", "GPX files (*.*)",
                                        "CSV files (*.*)"}));
    const auto read = dialog_filters(FormatKind::Track, false, true);
    ASSERT_EQ(read.size(), 18u);
    EXPECT_EQ(read[2], "DezuvaDar (old) files (*.dat)");
    EXPECT_EQ(read[5], "Magellan files (*.log)");
    EXPECT_EQ(read[17], "CSV files (*.*)");
    EXPECT_EQ(&format_for_filter(FormatKind::Track, true, 7), &track("mapsource"));
    EXPECT_EQ(&format_for_filter(FormatKind::Track, true, 11), &track("ozi"));   // out of range: the first
    EXPECT_EQ(&format_for_filter(FormatKind::Track, true, 0), &track("ozi"));
    EXPECT_EQ(&format_for_filter(FormatKind::Track, false, 16), &track("igc"));
    EXPECT_EQ(&format_for_filter(FormatKind::Track, false, 9), &track("csv"));
}

TEST(TrackTypes, ExtensionsAppendedOnlyForTypeFilters) {
    test::RecordingReporter r;
    std::string p = "/tmp/x/flight";
    ASSERT_EQ(complete_for_filter(r, p, FormatKind::Track, true, 2), 0);
    EXPECT_EQ(p, "/tmp/x/flight.mps");
    p = "/tmp/x.y/flight";
    ASSERT_EQ(complete_for_filter(r, p, FormatKind::Track, false, 6), 0);   // "Magellan files (*.log)"
    EXPECT_EQ(p, "/tmp/x.y/flight.log");
    p = "/tmp/x/flight";
    ASSERT_EQ(complete_for_filter(r, p, FormatKind::Track, true, 7), 0);    // a "*.*" filter
    EXPECT_EQ(p, "/tmp/x/flight");
    p = "flight.txt";
    ASSERT_EQ(complete_for_filter(r, p, FormatKind::Track, true, 1), 0);
    EXPECT_EQ(p, "flight.txt");
    p = std::string(253, 'a');
    EXPECT_EQ(complete_for_filter(r, p, FormatKind::Track, true, 1), -1);
    EXPECT_EQ(r.last_error().text, "Too long file name");
    EXPECT_EQ(r.last_error().title, "Error opening file");
    EXPECT_EQ(p.size(), 253u);
}

TEST(TrackTypes, ReaderByExtension) {
    EXPECT_EQ(read_by_extension("a/b.plt"), &track("ozi"));
    EXPECT_EQ(read_by_extension("b.dat"), &track("dat"));
    EXPECT_EQ(read_by_extension("b.log"), &track("magellan"));
    EXPECT_EQ(read_by_extension("b.tnc"), &track("topnav"));
    EXPECT_EQ(read_by_extension("b.PLT"), &track("ozi"));  // instruments write upper case
    EXPECT_EQ(read_by_extension("/media/GPS/FLIGHT.IGC"), &track("igc"));
    EXPECT_EQ(read_by_extension("a.Kml"), &track("kml"));
    EXPECT_EQ(read_by_extension("a.plt/b"), nullptr);
    EXPECT_EQ(read_by_extension("b.txt"), nullptr);
}

// Writers round the last fraction of a degree onto the pole or the date line
// (89.9999999 becomes 90, 179.9999999 becomes 180); every track reader takes
// what its writer wrote, 180 E being 180 W.
TEST(TrackEdges, EveryTrackTextReadsBackThePolesAndTheDateLine) {
    constexpr int32_t kPole = 1 << 30;
    const std::pair<int32_t, int32_t> corners[] = {
        {kPole - 1, INT32_MAX}, {-kPole, INT32_MIN}, {kPole, INT32_MIN + 1}, {1 - kPole, INT32_MAX},
    };
    std::vector<TrackPosition> edges;
    for (const auto& [lat, lon] : corners) {
        TrackPosition p;
        p.flags = edges.empty() ? kSegmentStart : 0;
        p.time = time_from_calendar(2011, 7, 15, 10, 0, static_cast<int>(edges.size()) * 10);
        p.latitude = lat;
        p.longitude = lon;
        p.gps_altitude = 10000;
        p.baro_altitude = 1000;
        edges.push_back(p);
    }
    test::RecordingReporter r;
    auto saved = [&](const FileFormat& type) {
        std::string bytes;
        EXPECT_EQ(track_file_bytes(r, type, edges, {}, edges[0].time, bytes), 0);
        return bytes;
    };
    std::string igc;
    bool g_record = false;
    ASSERT_GT(encode_igc(edges, {}, {}, igc, g_record), 0);
    TripStatistics stats;
    TextBuffer kml;
    std::vector<TrackPosition> kml_fixes = edges;
    ASSERT_EQ(write_trip_folder(kml, kml_fixes, stats, {}), 0);
    struct Case {
        const char* name;
        std::string bytes;
        const FileFormat& type;
        int32_t angle;  // semicircles
    };
    const Case cases[] = {
        {"Ozi", saved(track("ozi")), track("ozi"), test::kMicroDegree},
        {"MapSource", saved(track("mapsource")), track("mapsource"), 0},
        {"GPX", saved(track("gpx")), track("gpx"), test::kMicroDegree},
        {"CSV", saved(track("csv")), track("csv"), test::kMicroDegree},
        {"IGC", igc, track("igc"), test::kMilliMinute},
        {"KML", std::string(kKmlDocumentHead) + kml.take() + std::string(kKmlDocumentTail), track("kml"),
         test::kMicroDegree},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackFileRead back;
        // Every format is tried, so that one refusal does not hide another.
        if (read_track_bytes(r, c.type, c.bytes, back, true) != static_cast<int>(edges.size())) {
            ADD_FAILURE() << r.last_error().text << "\n" << c.bytes;
            continue;
        }
        for (std::size_t i = 0; i < edges.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_LE(std::abs(int64_t{back.positions[i].latitude} - edges[i].latitude), c.angle);
            // The difference taken round the circle: a whole turn apart is the same meridian.
            const auto gap = static_cast<int32_t>(static_cast<uint32_t>(back.positions[i].longitude) -
                                                  static_cast<uint32_t>(edges[i].longitude));
            EXPECT_LE(std::abs(int64_t{gap}), c.angle);
        }
    }
}

class TrackFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::scratch_dir("tracks");
        flight_ = test::igc_flight("tri.igc");
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
    std::vector<TrackPosition> flight_;
    test::RecordingReporter r_;
};

TEST_F(TrackFiles, EverySaveTypeReadsBackThroughTheDispatch) {
    struct Case {
        const FileFormat& type;
        const char* name;
        test::Tolerance tol;
    };
    const Case cases[] = {
        {track("ozi"), "a.plt", {test::kMicroDegree, 4, 0}},
        {track("mapsource"), "a.mps", {0, 0, 0}},
        {track("gpx"), "a.gpx", {test::kMicroDegree, 0, 0}},
        {track("csv"), "a.csv", {test::kMicroDegree, 5, 0}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(write_track_file(r_, path(c.name), c.type, flight_), static_cast<int>(flight_.size())) << c.name;
        TrackFileRead back;
        ASSERT_EQ(read_track_file(r_, path(c.name), back), static_cast<int>(flight_.size()))
            << c.name << ": " << r_.last_error().text;
        test::expect_same_points(flight_, back.positions, c.tol);
    }
}

TEST_F(TrackFiles, ReadFailures) {
    TrackFileRead out;
    EXPECT_EQ(read_track_file(r_, path("none.plt"), out), -1);
    EXPECT_EQ(r_.last_error().title, "Error opening file");
    ASSERT_EQ(write_file_atomic(path("empty.csv"), ""), 0);
    EXPECT_EQ(read_track_file(r_, path("empty.csv"), out), -1);
    EXPECT_EQ(r_.last_error().text, "File is empty");
    EXPECT_EQ(r_.last_error().title, "Read track log");
    fs::create_directory(dir_ / "folder.gpx");
    EXPECT_EQ(read_track_file(r_, path("folder.gpx"), out), -1);
    EXPECT_EQ(r_.last_error().title, "Error opening track log file");
    ASSERT_EQ(write_file_atomic(path("log.tnc"), "bytes"), 0);
    EXPECT_EQ(read_track_file(r_, path("log.tnc"), out), -1);
    EXPECT_EQ(r_.last_error().text, "Missing start record");
    EXPECT_EQ(r_.last_error().title, "Reading Top Navigator Log File");
    EXPECT_EQ(read_track_file(r_, path("noextension"), out), -1);
    EXPECT_EQ(r_.last_error().text, "Missing track log file extension");
    EXPECT_EQ(read_track_file(r_, path("x.txt"), out), -1);
    EXPECT_EQ(r_.last_error().text, "Unsupported track log file extension");
    EXPECT_EQ(r_.last_error().title, "Parsing command line");
}

TEST_F(TrackFiles, IgcKeepsItsBytesAndBarometricHeights) {
    const std::string bytes = test::data_file("flights/tri.igc");
    ASSERT_EQ(write_file_atomic(path("f.igc"), bytes), 0);
    TrackFileRead out;
    ASSERT_EQ(read_track_file(r_, path("f.igc"), out), static_cast<int>(flight_.size()));
    EXPECT_TRUE(out.baro_present);
    EXPECT_TRUE(out.has_raw_igc);
    EXPECT_EQ(out.raw_igc.bytes, bytes);
}

CurrentData loaded_data() {
    CurrentData d;
    TrackPosition p;
    p.time = 100;
    p.flags = kSegmentStart;
    d.track_log.positions = {p, p};
    d.track_log.positions[1].time = 200;
    d.track_log.positions[1].flags = 0;
    d.track_log.header.instrument_description = "Flymaster F1, V1.2, S/N 7";
    d.track_log.header.instrument_family = InstrumentFamily::Flymaster;
    d.track_log.header.track_log_source = 1;
    d.track_log.header.times_in_utc = 1;
    d.track_log.header.baro_present = 1;
    d.track_log.header.saved = 1;
    return d;
}

TrackFileRead incoming(std::initializer_list<uint32_t> times) {
    TrackFileRead read;
    for (uint32_t t : times) {
        TrackPosition p;
        p.time = t;
        p.flags = read.positions.empty() ? kSegmentStart : 0;
        read.positions.push_back(p);
    }
    return read;
}

TEST_F(TrackFiles, FailedOpenLeavesTheLoadedLogAndItsDescription) {
    CurrentData d = loaded_data();
    ASSERT_EQ(write_file_atomic(path("bad.plt"), "not a track\n"), 0);
    EXPECT_EQ(open_track_file(r_, d, path("bad.plt"), track("ozi"), {}), -1);
    EXPECT_EQ(d.track_log.header.instrument_description, "Flymaster F1, V1.2, S/N 7");
    EXPECT_EQ(d.track_log.positions.size(), 2u);
    EXPECT_EQ(d.track_log.header.track_log_source, 1u);
}

TEST_F(TrackFiles, OverwriteInstallsTheNewLog) {
    CurrentData d = loaded_data();
    ASSERT_EQ(write_track_file(r_, path("n.plt"), track("ozi"), flight_), static_cast<int>(flight_.size()));
    TrackOpenSteps steps;
    int asked = 0;
    steps.new_log = [&](const std::vector<TrackPosition>& current, const std::vector<TrackPosition>& in) {
        ++asked;
        EXPECT_EQ(current.size(), 2u);
        EXPECT_EQ(in.size(), flight_.size());
        return NewTrackChoice::Overwrite;
    };
    ASSERT_EQ(open_track_file(r_, d, path("n.plt"), track("ozi"), steps), static_cast<int>(flight_.size()));
    EXPECT_EQ(asked, 1);
    const TrackLogHeader& h = d.track_log.header;
    EXPECT_EQ(h.instrument_description, "");
    EXPECT_EQ(h.instrument_family, InstrumentFamily::File);
    EXPECT_EQ(h.track_log_source, 0u);
    EXPECT_EQ(h.times_in_utc, 0u);
    EXPECT_EQ(h.baro_present, 0u);
    EXPECT_EQ(h.saved, 0u);
    EXPECT_EQ(r_.statuses().back(), strformat("%d positions read", static_cast<int>(flight_.size())));
}

TEST_F(TrackFiles, CancelAtTheNewLogDialogKeepsEverything) {
    CurrentData d = loaded_data();
    TrackFileRead read = incoming({300, 301});
    TrackOpenSteps steps;
    steps.new_log = [](const auto&, const auto&) { return NewTrackChoice::Cancel; };
    EXPECT_EQ(install_track(r_, d, read, steps), -1);
    EXPECT_EQ(d.track_log.positions.size(), 2u);
    EXPECT_EQ(d.track_log.header.instrument_description, "Flymaster F1, V1.2, S/N 7");
}

TEST_F(TrackFiles, AppendBehindTheCurrentLog) {
    CurrentData d = loaded_data();
    TrackFileRead read = incoming({201, 202});
    read.signature_valid = true;
    read.times_in_utc = true;
    read.baro_present = true;
    TrackOpenSteps steps;
    steps.new_log = [](const auto&, const auto&) { return NewTrackChoice::Append; };
    ASSERT_EQ(install_track(r_, d, read, steps), 4);
    const auto& p = d.track_log.positions;
    EXPECT_EQ(p[2].time, 201u);
    EXPECT_EQ(p[2].flags, 0u);   // joined to the current track
    EXPECT_EQ(p[0].flags, kSegmentStart);
    EXPECT_EQ(d.track_log.header.times_in_utc, 0u);
    EXPECT_EQ(d.track_log.header.baro_present, 1u);
    EXPECT_EQ(r_.statuses().back(), "4 positions read");   // the signature no longer holds
}

TEST_F(TrackFiles, AppendThatOverlapsIsRefused) {
    CurrentData d = loaded_data();
    TrackFileRead read = incoming({200, 300});   // starts when the current one ends
    TrackOpenSteps steps;
    steps.new_log = [](const auto&, const auto&) { return NewTrackChoice::Append; };
    EXPECT_EQ(install_track(r_, d, read, steps), -1);
    EXPECT_EQ(r_.last_error().text, "New track overlaps current one");
    EXPECT_EQ(r_.last_error().title, "Append track");
    EXPECT_EQ(d.track_log.positions.size(), 2u);
    EXPECT_EQ(d.track_log.header.instrument_description, "Flymaster F1, V1.2, S/N 7");
}

TEST_F(TrackFiles, BackwardsQuestion) {
    CurrentData d;
    TrackOpenSteps steps;
    std::string asked;
    int removed = 0;
    steps.remove_backwards = [&](std::vector<TrackPosition>& p) {
        ++removed;
        p.erase(p.begin() + 2);
    };
    steps.backwards = [&](const std::string& text) {
        asked = text;
        return kBoxYes;
    };
    TrackFileRead read = incoming({10, 20, 15, 30});
    read.signature_valid = true;
    ASSERT_EQ(install_track(r_, d, read, steps), 3);
    EXPECT_EQ(asked, "One or more positions (the first at pos. 3) go backwards in time. Remove ?");
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(r_.statuses().back(), "3 positions read");   // no "(Signature ok)" after removing

    CurrentData keep;
    steps.backwards = [](const std::string&) { return kBoxNo; };
    TrackFileRead again = incoming({10, 20, 15, 30});
    again.signature_valid = true;
    ASSERT_EQ(install_track(r_, keep, again, steps), 4);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(r_.statuses().back(), "4 positions read (Signature ok)");

    CurrentData unasked;
    TrackOpenSteps no_removal;
    no_removal.backwards = [](const std::string&) -> int {
        ADD_FAILURE() << "asked without a way to remove";
        return kBoxYes;
    };
    TrackFileRead fourth = incoming({10, 5});
    EXPECT_EQ(install_track(r_, unasked, fourth, no_removal), 2);

    CurrentData cancelled = loaded_data();
    steps.backwards = [](const std::string&) { return kBoxCancel; };
    TrackFileRead third = incoming({10, 5});
    EXPECT_EQ(install_track(r_, cancelled, third, steps), -1);
    EXPECT_EQ(r_.statuses().back(), "Operation aborted");
    EXPECT_EQ(cancelled.track_log.header.instrument_description, "Flymaster F1, V1.2, S/N 7");
}

TEST_F(TrackFiles, EmptyFileShowsNoPositionsFound) {
    CurrentData d = loaded_data();
    TrackFileRead read;
    EXPECT_EQ(install_track(r_, d, read, {}), 0);
    EXPECT_EQ(r_.statuses().back(), "No positions found");
    EXPECT_EQ(d.track_log.positions.size(), 2u);
}

TEST(TrackOpen, SpanTexts) {
    std::vector<TrackPosition> p(2);
    p[0].time = time_from_calendar(2011, 5, 1, 9, 8, 7);
    p[1].time = p[0].time + 3 * 3600 + 62;
    const TrackSpanTexts t = track_span_texts(p);
    EXPECT_EQ(t.first, "2011-05-01  09:08:07");
    EXPECT_EQ(t.last, "2011-05-01  12:09:09");
    EXPECT_EQ(t.duration, "03:01:02");
}

TEST_F(TrackFiles, SaveLogAs) {
    TrackLogHeader header;
    RawTopNavLog topnav;
    std::string p = path("saved");
    ASSERT_EQ(save_track_log(r_, p, 5, flight_, header, topnav, false), static_cast<int>(flight_.size()));
    EXPECT_EQ(p, path("saved.csv"));
    EXPECT_EQ(header.saved, 1u);
    EXPECT_EQ(r_.statuses().back(), p + strformat(": %d positions written", static_cast<int>(flight_.size())));
    EXPECT_EQ(r_.boxes().back().text, "File written");

    // Existing file, Cancel to the overwrite question: nothing changes.
    ASSERT_EQ(write_file_atomic(p, "keep"), 0);
    header.saved = 0;
    r_.queue_answer(kBoxCancel);
    EXPECT_EQ(save_track_log(r_, p, 5, flight_, header, topnav, true), 0);
    EXPECT_EQ(r_.boxes().back().kind, "question");
    std::string kept;
    ASSERT_EQ(read_file(p, kept), 0);
    EXPECT_EQ(kept, "keep");
    EXPECT_EQ(header.saved, 0u);

    std::string tnc = path("raw");
    EXPECT_EQ(save_track_log(r_, tnc, 3, flight_, header, topnav, true), -1);
    EXPECT_EQ(r_.last_error().text, "No TopNav log downloaded");
    EXPECT_FALSE(fs::exists(tnc + ".tnc"));
    topnav.bytes = std::string("\x01\x02\0raw", 6);
    const int notices = r_.count("notice");
    EXPECT_EQ(save_track_log(r_, tnc, 3, flight_, header, topnav, true), 6);
    EXPECT_EQ(r_.count("notice"), notices);   // none under remote control
    std::string written;
    ASSERT_EQ(read_file(tnc, written), 0);
    EXPECT_EQ(written, topnav.bytes);
}

}  // namespace
}  // namespace orlogix
