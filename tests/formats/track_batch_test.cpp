// Batch conversion of a folder of real flights from IGC to KML and back:
// every file reported, every fix kept; and the first failure stopping a
// batch with its message.
#include <gtest/gtest.h>

#include <algorithm>

#include "formats/igc/reader.hpp"
#include "formats/commands/track_batch.hpp"
#include "core/file_read.hpp"
#include "track_test_util.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

// The analysis library is not linked here; the folder needs no results.
int no_analysis(FlightStatistics&) { return 0; }

class TrackBatch : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::scratch_dir("batch"); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void copy_flight(const std::string& name) {
        ASSERT_EQ(write_file_atomic(path(name), test::data_file("flights/" + name)), 0);
    }
    fs::path dir_;
    test::RecordingReporter r_;
};

TEST_F(TrackBatch, RealFlightsToKmlAndBackLoseNoFix) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(std::string(ORLOGIX_TEST_DATA) + "/flights"))
        if (e.path().extension() == ".igc") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 10u);
    std::vector<std::string> igc, kml;
    for (const std::string& n : names) {
        copy_flight(n);
        igc.push_back(path(n));
        kml.push_back(path(n.substr(0, n.size() - 4) + ".kml"));
    }
    BatchOptions options;
    options.batch_start = calendar_from_time(time_from_calendar(2024, 2, 3, 4, 5, 6));
    ASSERT_EQ(batch_convert_igc_to_kml(r_, igc, options, no_analysis), static_cast<int>(names.size()))
        << r_.last_error().text;
    EXPECT_EQ(r_.statuses(), igc);   // each file named as it is converted
    EXPECT_EQ(r_.boxes().back().text, strformat("%d file(s) converted", static_cast<int>(names.size())));
    EXPECT_EQ(r_.boxes().back().title, "Convert .igc to .kml");
    EXPECT_EQ(r_.count("error"), 0);

    test::RecordingReporter back;
    ASSERT_EQ(batch_convert_kml_to_igc(back, kml, options), static_cast<int>(names.size()))
        << back.last_error().text;
    EXPECT_EQ(back.statuses(), kml);
    EXPECT_EQ(back.boxes().back().title, "Convert .kml to .igc");

    for (const std::string& n : names) {
        SCOPED_TRACE(n);
        const auto original = test::igc_flight(n);
        std::string bytes;
        ASSERT_EQ(read_file(path(n), bytes), 0);   // replaced by the conversion back
        IgcParsed again;
        IgcParseError err;
        ASSERT_GT(parse_igc(bytes, again, err), 0) << err.text;
        // Through six decimals of a degree and back to 1/1000 minute: at
        // most one step of each.
        test::expect_same_points(original, again.positions, {test::kMilliMinute + test::kMicroDegree, 0, 0});
        for (std::size_t i = 0; i < original.size(); ++i)
            ASSERT_EQ(again.positions[i].baro_altitude, original[i].baro_altitude) << i;
        EXPECT_EQ(bytes.find("\r\nG"), std::string::npos);   // no G-record of ours
    }
}

TEST_F(TrackBatch, FirstFailureStopsTheBatch) {
    copy_flight("d3p.igc");
    copy_flight("tri.igc");
    ASSERT_EQ(write_file_atomic(path("notes.txt"), "x"), 0);
    EXPECT_EQ(batch_convert_igc_to_kml(r_, {path("d3p.igc"), path("notes.txt"), path("tri.igc")}, {}, no_analysis),
              -1);
    EXPECT_EQ(r_.last_error().text, "File contains invalid extension");
    EXPECT_EQ(r_.last_error().title, "Convert .igc to .kml");
    EXPECT_EQ(r_.boxes().back().text, "1 file(s) converted");
    EXPECT_TRUE(fs::exists(path("d3p.kml")));
    EXPECT_FALSE(fs::exists(path("tri.kml")));
}

TEST_F(TrackBatch, EachConvertedFlightsNoteFollowsTheCount) {
    copy_flight("d3p.igc");
    copy_flight("tri.igc");
    ASSERT_EQ(write_file_atomic(path("notes.txt"), "x"), 0);
    BatchOptions options;
    options.flight_note = [](const std::vector<TrackPosition>& p) { return std::to_string(p.size()) + " fixes"; };
    // The fix counts of tests/data/flights/MANIFEST.tsv; the failed file has none.
    EXPECT_EQ(batch_convert_igc_to_kml(r_, {path("d3p.igc"), path("tri.igc"), path("notes.txt")}, options, no_analysis),
              -1);
    EXPECT_EQ(r_.boxes().back().text, "2 file(s) converted\n\nd3p.igc: 2527 fixes\ntri.igc: 4514 fixes");
    // Converting to IGC analyses nothing: the count alone.
    test::RecordingReporter back;
    EXPECT_EQ(batch_convert_kml_to_igc(back, {path("d3p.kml")}, options), 1);
    EXPECT_EQ(back.boxes().back().text, "1 file(s) converted");
}

TEST_F(TrackBatch, UpperCaseExtensionCounts) {
    ASSERT_EQ(write_file_atomic(path("D3P.IGC"), test::data_file("flights/d3p.igc")), 0);
    EXPECT_EQ(batch_convert_igc_to_kml(r_, {path("D3P.IGC")}, {}, no_analysis), 1) << r_.last_error().text;
    EXPECT_TRUE(fs::exists(path("D3P.kml")));
}

TEST_F(TrackBatch, FileMessages) {
    ASSERT_EQ(write_file_atomic(path("empty.kml"), ""), 0);
    ASSERT_EQ(write_file_atomic(path("bad.kml"), "<kml>not a track</kml>"), 0);
    ASSERT_EQ(write_file_atomic(path("bad.igc"), "this is no IGC file\r\n"), 0);
    fs::create_directory(dir_ / "folder.kml");
    const std::pair<std::string, const char*> kml_cases[] = {
        {path("missing.kml"), "File open error"},
        {path("empty.kml"), "Empty file"},
        {path("folder.kml"), "File size read error"},
        {path("bad.kml"), "File decode error"},
        {path(std::string(5000, 'a') + ".kml"), "Too long filename"},
    };
    for (const auto& [file, message] : kml_cases) {
        test::RecordingReporter r;
        EXPECT_EQ(batch_convert_kml_to_igc(r, {file}, {}), -1) << message;
        EXPECT_EQ(r.last_error().text, message);
        EXPECT_EQ(r.last_error().title, "Convert .kml to .igc");
        EXPECT_EQ(r.boxes().back().text, "0 file(s) converted");
    }
    test::RecordingReporter r;
    EXPECT_EQ(batch_convert_igc_to_kml(r, {path("bad.igc")}, {}, no_analysis), -1);
    EXPECT_EQ(r.last_error().text, "File decode error");
    test::RecordingReporter none;
    EXPECT_EQ(batch_convert_kml_to_igc(none, {}, {}), -1);
    EXPECT_EQ(none.last_error().text, "No file(s) selected");
}

}  // namespace
}  // namespace orlogix
