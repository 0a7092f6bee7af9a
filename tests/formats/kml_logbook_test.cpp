// Logbook files on a scratch folder: new files, appending to a logbook that
// holds folders already, refusing broken logbooks without touching them, and
// the file name rules.
#include <gtest/gtest.h>

#include "core/file_read.hpp"
#include "core/time.hpp"
#include "formats/kml/logbook.hpp"
#include "formats/kml/reader.hpp"
#include "kml_test_util.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

std::vector<TrackPosition> fixes(uint32_t start) {
    std::vector<TrackPosition> out(12);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i].time = start + 4 * static_cast<uint32_t>(i);
        out[i].latitude = 500000000 + 1000 * static_cast<int32_t>(i);
        out[i].longitude = 100000000 - 700 * static_cast<int32_t>(i);
        out[i].gps_altitude = 9000 + 11 * static_cast<int32_t>(i);
    }
    return out;
}

class KmlLogbook : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::scratch_dir("logbook");
        path_ = (dir_ / "book.kml").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    int save(uint32_t start, bool sign, ExistingLogbook mode = ExistingLogbook::Ask) {
        auto f = fixes(start);
        TripStatistics s;
        s.start_time = start;
        s.download_flag = sign;
        s.times_in_utc = true;
        return save_logbook_file(r_, path_, f, s, TripTexts{}, mode);
    }
    std::string file() {
        std::string bytes;
        read_file(path_, bytes);
        return bytes;
    }
    // The first times of the logbook's tracks, as the track list shows them.
    std::string tracks() {
        test::RecordingReporter r;
        r.queue_answer(-1);
        KmlTrack t;
        const int n = read_kml_track(r, file(), false, t);
        if (n > 0) return "one";
        return r.boxes().empty() ? "" : r.boxes()[0].text;
    }

    fs::path dir_;
    std::string path_;
    test::RecordingReporter r_;
    const uint32_t t1_ = time_from_calendar(2013, 6, 1, 9, 0, 0);
    const uint32_t t2_ = time_from_calendar(2013, 6, 2, 9, 0, 0);
    const uint32_t t3_ = time_from_calendar(2013, 6, 3, 9, 0, 0);
};

TEST_F(KmlLogbook, NewFileAndItsNotice) {
    ASSERT_EQ(save(t1_, true), 1);
    const std::string text = file();
    EXPECT_EQ(text.substr(0, kKmlDocumentHead.size()), kKmlDocumentHead);
    EXPECT_EQ(text.substr(text.size() - kKmlDocumentTail.size()), kKmlDocumentTail);
    EXPECT_EQ(text.substr(kKmlDocumentHead.size(), 12), "  <Folder>\r\n");
    auto boxes = r_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Save DezuvaDar track");
    EXPECT_EQ(boxes[0].text, "Track saved (Signature OK)");
    ASSERT_EQ(save(t2_, false, ExistingLogbook::Overwrite), 1);
    EXPECT_EQ(r_.boxes().back().text, "Track saved (NO signature)");
    EXPECT_EQ(tracks(), "one");
}

TEST_F(KmlLogbook, AppendKeepsEveryFolderAndAddsTheNewOneLast) {
    ASSERT_EQ(save(t1_, true), 1);
    ASSERT_EQ(save(t2_, true, ExistingLogbook::Append), 1);
    r_.queue_answer(0);  // "&Append"
    ASSERT_EQ(save(t3_, true), 1);
    EXPECT_EQ(tracks(), "2013-06-01   09:00:00\n2013-06-02   09:00:00\n2013-06-03   09:00:00\n");
    EXPECT_EQ(r_.boxes().at(2).title, "File already exists");
    EXPECT_EQ(r_.boxes().at(2).text, "&Append\n&Overwrite\n&Cancel\n");
    // Every appended track is still signed.
    for (int pick = 0; pick < 3; ++pick) {
        test::RecordingReporter r;
        r.queue_answer(pick);
        KmlTrack t;
        ASSERT_EQ(read_kml_track(r, file(), false, t), 12);
        EXPECT_TRUE(t.signature_valid) << pick;
    }
    if (test::peer_available("xmllint")) {
        std::string out;
        EXPECT_EQ(test::run_command("xmllint --noout " + path_ + " 2>&1", out), 0) << out;
    }
}

TEST_F(KmlLogbook, TextOutsideTheFoldersIsDropped) {
    ASSERT_EQ(write_file_atomic(path_, "<?xml version=\"1.0\"?>\r\n<Document><name>Old</name><!-- c -->\r\n"
                                       "<Folder><name>A</name></Folder>\r\n<Folder><Folder>B</Folder></Folder>"
                                       "<Style>x</Style></Document>\r\n"),
              0);
    std::string merged;
    ASSERT_EQ(merge_logbook(file(), "NEW\r\n", merged), 0);
    EXPECT_EQ(merged, std::string(kKmlDocumentHead) +
                          "  <Folder><name>A</name></Folder>\r\n<Folder><Folder>B</Folder></Folder>\r\nNEW\r\n" +
                          std::string(kKmlDocumentTail));
}

TEST_F(KmlLogbook, BrokenLogbooksAreRefusedAndKept) {
    const std::string broken[] = {
        "<Document><Folder><name>A</name></Folder>",             // cut short
        "<Document><name>no folders</name></Document>",          // nothing to keep
        "<Document><Folder></Document>",                         // does not nest
        "<Document><Folder></Folder><X><Folder></Folder></X></Document>",  // folders on two levels
        "\xFF\xFE<Document/>",
    };
    for (const std::string& old : broken) {
        ASSERT_EQ(write_file_atomic(path_, old), 0);
        test::RecordingReporter r;
        auto f = fixes(t1_);
        TripStatistics s;
        EXPECT_EQ(save_logbook_file(r, path_, f, s, TripTexts{}, ExistingLogbook::Append), -1) << old;
        EXPECT_EQ(r.last_error().text, "Error(s) parsing existing file");
        EXPECT_EQ(r.last_error().title, "Save Logbook file");
        EXPECT_EQ(file(), old);
    }
    ASSERT_EQ(write_file_atomic(path_, ""), 0);
    EXPECT_EQ(save(t1_, true, ExistingLogbook::Append), -1);
    EXPECT_EQ(r_.last_error().text, "Existing file is empty");
}

TEST_F(KmlLogbook, CancelLeavesTheFileAlone) {
    ASSERT_EQ(save(t1_, true), 1);
    const std::string before = file();
    r_.queue_answer(2);
    EXPECT_EQ(save(t2_, true), 0);
    EXPECT_EQ(file(), before);
    EXPECT_EQ(save(t2_, true, ExistingLogbook::Cancel), 0);  // also what a refused question means
    EXPECT_EQ(file(), before);
}

TEST_F(KmlLogbook, WriteFailureIsReported) {
    path_ = (dir_ / "missing" / "book.kml").string();
    EXPECT_EQ(save(t1_, true), -1);
    EXPECT_EQ(r_.last_error().title, "File write error");
}

TEST(KmlLogbookNames, DialogNameAndExtension) {
    EXPECT_EQ(logbook_file_name(time_from_calendar(2013, 6, 1, 9, 5, 59)), "2013-06-01_09-05");
    test::RecordingReporter r;
    std::string path = "/tmp/x/flight";
    ASSERT_EQ(complete_kml_path(r, path, true), 0);
    EXPECT_EQ(path, "/tmp/x/flight.kml");
    path = "/tmp/x/flight.txt";
    ASSERT_EQ(complete_kml_path(r, path, true), 0);
    EXPECT_EQ(path, "/tmp/x/flight.txt");
    path = "/tmp/x/flight";
    ASSERT_EQ(complete_kml_path(r, path, false), 0);
    EXPECT_EQ(path, "/tmp/x/flight");
    path = std::string(257, 'a');
    EXPECT_EQ(complete_kml_path(r, path, true), -1);
    EXPECT_EQ(r.last_error().title, "Error opening file");
    EXPECT_EQ(r.last_error().text, "Too long file name");
}

}  // namespace
}  // namespace orlogix
