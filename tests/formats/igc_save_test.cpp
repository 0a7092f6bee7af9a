// The save steps of the two IGC commands on a scratch folder: dialog checks,
// file names, the existing-file question and what is left on disk.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>

#include "core/time.hpp"
#include "formats/igc/names.hpp"
#include "formats/commands/igc_file.hpp"
#include "formats/commands/igc_save.hpp"
#include "formats/igc/verify.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

class IgcSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orlogix_igc_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        for (int i = 0; i < 3; ++i) {
            TrackPosition p;
            p.time = time_from_calendar(2011, 7, 15, 10, 0, i * 10);
            p.latitude = 1 << 29;
            p.longitude = 71582788;
            p.gps_altitude = 15000 + i * 10;
            p.baro_altitude = 1450 + i;
            track_.push_back(p);
        }
        header_.track_log_source = 1;
        header_.instrument_description = "Garmin GPSMAP 60CSx";
        values_.pilot = "Jane";
        values_.flight_number = "1";
        values_.fr_serial = "ABC";
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string contents(const std::string& p) { return test::file_bytes(p); }
    static void put(const std::string& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
    std::size_t files_in_dir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
    std::vector<TrackPosition> track_;
    TrackLogHeader header_;
    IgcDialogValues values_;
    test::RecordingReporter r_;
};

TEST_F(IgcSaveTest, WritesASignedFileAndAppendsTheExtension) {
    std::string p = path("flight");
    ASSERT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), 3);
    EXPECT_EQ(p, path("flight.igc"));
    const std::string text = contents(p);
    EXPECT_TRUE(text.starts_with("AXQVABC Garmin GPSMAP 60CSx\r\nHFDTE150711\r\nHOPLTPILOT: Jane\r\n"));
    EXPECT_EQ(verify_igc(text), IgcSecurity::Passed);
    EXPECT_EQ(header_.saved, 1u);
    EXPECT_EQ(r_.count("notice"), 0);
    ASSERT_FALSE(r_.statuses().empty());
    EXPECT_EQ(r_.statuses().back(), p);
    ASSERT_FALSE(r_.products().empty());
    EXPECT_EQ(r_.products().back(), "3 positions written");
    EXPECT_EQ(files_in_dir(), 1u);  // no temporary left behind
}

TEST_F(IgcSaveTest, ExtensionRules) {
    std::string typed = path("flight.txt");
    ASSERT_EQ(save_igc_track_log(r_, typed, true, track_, header_, values_), 3);
    EXPECT_EQ(typed, path("flight.txt"));
    std::string all_files = path("noext");
    ASSERT_EQ(save_igc_track_log(r_, all_files, false, track_, header_, values_), 3);
    EXPECT_EQ(all_files, path("noext"));
    std::string too_long = path(std::string(200, 'x')) + "/" + std::string(PATH_MAX, 'y');
    EXPECT_EQ(save_igc_track_log(r_, too_long, true, track_, header_, values_), -1);
    EXPECT_EQ(r_.last_error().title, "Error opening file");
    EXPECT_EQ(r_.last_error().text, "Too long file name");
}

TEST_F(IgcSaveTest, SourceThatDoesNotQualifyIsWrittenWithoutSecurityRecord) {
    header_.track_log_source = 0;
    std::string p = path("a.igc");
    ASSERT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), 3);
    EXPECT_EQ(verify_igc(contents(p)), IgcSecurity::NoRecord);
    const auto boxes = r_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, "notice");
    EXPECT_EQ(boxes[0].title, "Security record NOT included");
    EXPECT_EQ(boxes[0].text, "Track log source is not valid for G-record");
}

TEST_F(IgcSaveTest, DecliningToOverwriteKeepsTheOldFile) {
    std::string p = path("old.igc");
    put(p, "precious");
    r_.queue_answer(kBoxNo);
    EXPECT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), 0);
    EXPECT_EQ(contents(p), "precious");
    EXPECT_EQ(header_.saved, 0u);
    const auto boxes = r_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "File creation");
    EXPECT_EQ(boxes[0].text, "File already exists, overwrite ?");

    r_.queue_answer(kBoxYes);
    EXPECT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), 3);
    EXPECT_EQ(verify_igc(contents(p)), IgcSecurity::Passed);
}

// Writes beyond a few bytes fail while it lives, as on a full disk. Unlike
// folder permissions, the file size limit holds for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : old_signal_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_signal_);
    }

private:
    rlimit old_{};
    void (*old_signal_)(int);
};

TEST_F(IgcSaveTest, AFailedWriteKeepsTheOldFile) {
    std::string p = path("old.igc");
    put(p, "precious");
    r_.queue_answer(kBoxYes);
    {
        FileSizeLimit limit(64);
        EXPECT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), -1);
    }
    EXPECT_EQ(contents(p), "precious");
    EXPECT_EQ(r_.last_error().title, "File write error");
    EXPECT_EQ(files_in_dir(), 1u);  // no temporary left behind
    EXPECT_EQ(header_.saved, 0u);
}

TEST_F(IgcSaveTest, AFailedRenameLeavesNoTemporary) {
    // The target is a folder: the temporary is written, the rename fails.
    std::string p = path("folder.igc");
    fs::create_directories(p);
    put(p + "/inside", "kept");
    r_.queue_answer(kBoxYes);
    EXPECT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), -1);
    EXPECT_EQ(r_.last_error().title, "Error opening file");
    EXPECT_EQ(contents(p + "/inside"), "kept");
    EXPECT_EQ(files_in_dir(), 1u);
    EXPECT_EQ(header_.saved, 0u);
}

TEST_F(IgcSaveTest, MissingFolderIsAnOpeningError) {
    std::string p = path("nowhere/flight.igc");
    EXPECT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), -1);
    EXPECT_EQ(r_.last_error().title, "Error opening file");
    EXPECT_FALSE(r_.last_error().text.empty());

    // A regular file where the folder should be: refused for root as for anyone.
    put(path("plain"), "kept");
    p = path("plain/flight.igc");
    EXPECT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), -1);
    EXPECT_EQ(r_.last_error().title, "Error opening file");
    EXPECT_EQ(contents(path("plain")), "kept");
    EXPECT_EQ(files_in_dir(), 1u);
    EXPECT_EQ(header_.saved, 0u);
}

TEST_F(IgcSaveTest, RawLogIsWrittenByteForByte) {
    RawIgcLog raw;
    std::string p = path("raw");
    EXPECT_EQ(save_raw_igc_log(r_, raw, p, true, header_), -1);
    EXPECT_EQ(r_.last_error().title, "Save IGC log");
    EXPECT_EQ(r_.last_error().text, "No raw IGC log stored");

    raw.bytes = std::string("AXYZ\r\nweird\0bytes\n", 18);
    raw.maker = "XYZ";
    raw.serial = "9K1";
    raw.first_fix_time = time_from_calendar(2019, 5, 12, 7, 49, 8);
    EXPECT_EQ(raw_igc_file_name(raw, IgcNameForm::Long, 3), "2019-05-12-XYZ-9K1-03.igc");
    EXPECT_EQ(raw_igc_file_name(raw, IgcNameForm::Short, 3), "95CX9K13.igc");
    EXPECT_EQ(raw_igc_file_name(raw, IgcNameForm::None, 3), "");
    ASSERT_EQ(save_raw_igc_log(r_, raw, p, true, header_), 1);
    EXPECT_EQ(contents(path("raw.igc")), raw.bytes);
    EXPECT_EQ(header_.saved, 1u);

    header_.saved = 0;
    std::string again = path("raw.igc");
    put(again, "keep");
    r_.queue_answer(kBoxNo);
    EXPECT_EQ(save_raw_igc_log(r_, raw, again, true, header_), 0);
    EXPECT_EQ(contents(again), "keep");
    EXPECT_EQ(header_.saved, 0u);
}

TEST_F(IgcSaveTest, CommandLineReadWithItsMessages) {
    std::vector<TrackPosition> positions;
    RawIgcLog raw;
    EXPECT_EQ(read_igc_log_file(r_, path("missing"), positions, raw), -1);
    EXPECT_EQ(r_.last_error().title, "Error opening file");
    EXPECT_EQ(read_igc_log_file(r_, std::string(257, 'a'), positions, raw), -1);
    EXPECT_EQ(r_.last_error().text, "File name too long");
    EXPECT_EQ(r_.last_error().title, "Reading IGC log file");
    put(path("empty.igc"), "");
    EXPECT_EQ(read_igc_log_file(r_, path("empty"), positions, raw), -1);
    EXPECT_EQ(r_.last_error().text, "File is empty");

    std::string p = path("good");
    ASSERT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), 3);
    ASSERT_EQ(read_igc_log_file(r_, path("good"), positions, raw), 3);
    EXPECT_EQ(positions[2].gps_altitude, 15020);
    EXPECT_EQ(raw.bytes, contents(p));
    EXPECT_EQ(raw.serial, "ABC");
    EXPECT_EQ(raw.maker, "XQV");
}

TEST_F(IgcSaveTest, VerifyCommandOnFiles) {
    std::string p = path("v.igc");
    ASSERT_EQ(save_igc_track_log(r_, p, true, track_, header_, values_), 3);
    EXPECT_EQ(verify_igc_file(r_, p), 0);
    EXPECT_EQ(r_.boxes().back().text, "Security check PASSED");
    put(path("e.igc"), "");
    EXPECT_EQ(verify_igc_file(r_, path("e.igc")), -1);
    EXPECT_EQ(r_.last_error().title, "Reading track log file");
    EXPECT_EQ(r_.last_error().text, "File is empty");
}

TEST(IgcDialogChecks, FirstFailureInOrder) {
    struct Case {
        IgcDialogValues values;
        const char* message;  // nullptr: accepted
    };
    auto v = [](std::string pilot, std::string flight, std::string serial) {
        IgcDialogValues d;
        d.pilot = std::move(pilot);
        d.flight_number = std::move(flight);
        d.fr_serial = std::move(serial);
        return d;
    };
    const Case cases[] = {
        {v("", "x", ""), "Missing pilot name"},
        {v("   ", "1", "ABC"), "Missing pilot name"},
        {v("Jane", "", ""), "Missing flight number"},
        {v("Jane", "  ", "ABC"), "Missing flight number"},
        {v("Jane", "1a", "ABC"), "Bad flight number input"},
        {v("Jane", "1 2", "ABC"), "Bad flight number input"},
        {v("Jane", "-", "ABC"), "Bad flight number input"},
        {v("Jane", "0", "ABC"), "Flight number out of range"},
        {v("Jane", "36", "ABC"), "Flight number out of range"},
        {v("Jane", "-5", "ABC"), "Flight number out of range"},
        {v("Jane", "99999999999999999999", "ABC"), "Flight number out of range"},
        {v("Jane", "1", ""), "Missing FR serial number"},
        {v("Jane", "1", "AB"), "FR serial number string too short"},
        {v("Jane", "1", "A-B"), "FR serial number not alpha-numeric"},
        {v("Jane", " +35 ", "a9Z"), nullptr},
    };
    for (const Case& c : cases) {
        test::RecordingReporter r;
        IgcDialogValues values = c.values;
        const int flight = check_igc_dialog(r, values);
        if (c.message == nullptr) {
            EXPECT_EQ(flight, 35);
            EXPECT_EQ(r.count("error"), 0);
        } else {
            EXPECT_EQ(flight, -1) << c.message;
            EXPECT_EQ(r.last_error().text, c.message);
            EXPECT_EQ(r.last_error().title, "Checking IGC parameters");
            EXPECT_EQ(r.count("error"), 1);
        }
    }
}

TEST(IgcDialogChecks, TextsAreNormalised) {
    test::RecordingReporter r;
    IgcDialogValues values;
    values.pilot = "  Jane   van  Doe ";
    values.flight_number = "7";
    values.fr_serial = "X1Y";
    values.site = " Col  du   Lautaret";
    ASSERT_EQ(check_igc_dialog(r, values), 7);
    EXPECT_EQ(values.pilot, "Jane van Doe");
    EXPECT_EQ(values.site, "Col du Lautaret");
}

TEST(IgcDialogChecks, RawSaveFlightNumberTitle) {
    test::RecordingReporter r;
    EXPECT_EQ(check_igc_flight_number(r, "40", "IGC file parameter check"), -1);
    EXPECT_EQ(r.last_error().title, "IGC file parameter check");
    EXPECT_EQ(r.last_error().text, "Flight number out of range");
}

TEST(IgcNames, LongAndShortForms) {
    const uint32_t t = time_from_calendar(2011, 12, 31, 23, 59, 59);
    EXPECT_EQ(igc_long_file_name(t, "XQV", "ABC", 5), "2011-12-31-XQV-ABC-05.igc");
    EXPECT_EQ(igc_short_file_name(t, "ABC", 35), "1CVXABCZ.igc");
    EXPECT_EQ(igc_short_file_name(time_from_calendar(2020, 1, 9, 0, 0, 0), "000", 9), "019X0009.igc");
    EXPECT_EQ(igc_short_file_name(time_from_calendar(2019, 10, 10, 0, 0, 0), "000", 10), "9AAX000A.igc");
    EXPECT_EQ(igc_file_name(IgcNameForm::Long, t, "XQV", "ABC", 12), "2011-12-31-XQV-ABC-12.igc");
    EXPECT_EQ(igc_name_char(0), '0');
    EXPECT_EQ(igc_name_char(9), '9');
    EXPECT_EQ(igc_name_char(10), 'A');
    EXPECT_EQ(igc_name_char(35), 'Z');
}

TEST(IgcNames, DialogPrefillAndStoredChoice) {
    IgcDialogValues values;
    values.fr_serial = "K2P";
    const uint32_t t = time_from_calendar(2011, 5, 1, 12, 0, 0);
    EXPECT_EQ(igc_save_file_name(values, 7, t), "");
    values.name_form = IgcNameForm::Long;
    EXPECT_EQ(igc_save_file_name(values, 7, t), "2011-05-01-XQV-K2P-07.igc");
    values.name_form = IgcNameForm::Short;
    EXPECT_EQ(igc_save_file_name(values, 7, t), "151XK2P7.igc");
    EXPECT_EQ(igc_name_form_from_mask(5), IgcNameForm::Short);
    EXPECT_EQ(igc_name_form_from_mask(3), IgcNameForm::Long);
    EXPECT_EQ(igc_name_form_from_mask(1), IgcNameForm::None);
    EXPECT_EQ(igc_save_mask(IgcNameForm::Short), 5);
    EXPECT_EQ(igc_save_mask(IgcNameForm::Long), 3);
    EXPECT_EQ(igc_save_mask(IgcNameForm::None), 1);
}

}  // namespace
}  // namespace orlogix
