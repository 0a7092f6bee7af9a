#include <gtest/gtest.h>

#include <filesystem>

#include "competition/competition_save.hpp"
#include "core/time.hpp"
#include "formats/commands/kml_check.hpp"
#include "formats/igc/verify.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

const CalendarTime kNow{2011, 7, 15, 12, 30, 5, 0};
const uint32_t kStart = time_from_calendar(2011, 7, 15, 10, 0, 0);

// A steady climb northwards, one fix every 4 s, fresh from an instrument.
TrackLog flight(std::size_t count) {
    TrackLog log;
    log.header.track_log_source = 1;
    log.header.times_in_utc = 1;
    log.header.instrument_description = "Test GPS 1.0";
    log.header.download_time = kNow;
    for (std::size_t i = 0; i < count; ++i) {
        TrackPosition p;
        p.time = kStart + static_cast<uint32_t>(i) * 4;
        p.latitude = 550000000 + static_cast<int32_t>(i) * 4000;
        p.longitude = 100000000 + static_cast<int32_t>(i % 7) * 300;
        p.gps_altitude = 10000 + static_cast<int32_t>(i) * 5;
        log.positions.push_back(p);
    }
    log.positions[0].flags = kSegmentStart;
    return log;
}

class CompetitionSave : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testing::TempDir() + "/comp_save_" + testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        settings_.comp_dir = dir_;
        settings_.command_line = true;
    }
    std::size_t files() const {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir_)) n += e.is_regular_file() ? 1 : 0;
        return n;
    }
    std::string dir_;
    CompetitionSaveSettings settings_;
    test::RecordingReporter r_;
};

TEST(CompetitionFileName, PlaceholdersAndCleanedNames) {
    EXPECT_EQ(competition_file_base("/comp", CurrentPilot{}, kNow), "/comp/[pilot name].20110715-123005.[CIVLID].[COMPID]");
    EXPECT_EQ(competition_file_base("/comp/", CurrentPilot{"A/B\\C\x01", PilotIds{12, 34567}}, kNow),
              "/comp/A_B_C_.20110715-123005.34567.12");
    EXPECT_TRUE(competition_name_fits("/comp/" + std::string(251, 'n')));
    EXPECT_FALSE(competition_name_fits("/comp/" + std::string(252, 'n')));
}

TEST_F(CompetitionSave, WritesIgcThenKmlOnceAndReportsEachFile) {
    TrackLog log = flight(200);
    settings_.write_igc = true;
    settings_.window_start = kStart + 40;
    settings_.window_stop = kStart + 400;
    const CurrentPilot pilot{"Anna Berg", PilotIds{12, 34567}};
    ASSERT_EQ(save_competition_log(r_, log, log.positions, pilot, settings_, kNow), 1);
    const std::string base = dir_ + "/Anna Berg.20110715-123005.34567.12";
    EXPECT_EQ(r_.notes(), (std::vector<std::string>{"File \"" + base + ".igc\" written",
                                                    "File \"" + base + ".kml\" written"}));
    EXPECT_TRUE(r_.has_status("File saved, signature OK"));
    EXPECT_EQ(log.header.saved, 1u);

    const std::string igc = test::file_bytes(base + ".igc");
    EXPECT_NE(igc.find("HOPLTPILOT: Anna Berg\r\n"), std::string::npos);
    EXPECT_NE(igc.find("HOCIDCOMPETITIONID: 12\r\n"), std::string::npos);
    EXPECT_EQ(verify_igc(igc), IgcSecurity::Passed);
    // Only the window's fixes: 10:00:40 to 10:06:40.
    std::size_t fixes = 0;
    for (std::size_t p = igc.find("\r\nB"); p != std::string::npos; p = igc.find("\r\nB", p + 1)) ++fixes;
    EXPECT_EQ(fixes, 91u);
    EXPECT_NE(igc.find("\r\nB100040"), std::string::npos);
    EXPECT_NE(igc.find("\r\nB100640"), std::string::npos);
    const std::string kml = test::file_bytes(base + ".kml");
    EXPECT_EQ(kml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Document>\r\n<open>1</open>\r\n", 0), 0u);
    EXPECT_TRUE(kml.ends_with("</Document>\r\n"));
    EXPECT_NE(kml.find("civl_pilot_id=\"34567\" comp_pilot_id=\"12\""), std::string::npos);
    EXPECT_NE(kml.find("Tracklog from Orlogix competition mode"), std::string::npos);
    EXPECT_EQ(check_kml_file(r_, base + ".kml"), 0);

    // The same second again: nothing replaced, reported, a failure for the command line.
    test::RecordingReporter again;
    const std::string before = test::file_bytes(base + ".igc");
    EXPECT_EQ(save_competition_log(again, log, log.positions, pilot, settings_, kNow), -1);
    EXPECT_EQ(again.notes(), (std::vector<std::string>{"File \"" + base + ".igc\" already processed"}));
    EXPECT_EQ(test::file_bytes(base + ".igc"), before);
    EXPECT_EQ(files(), 2u);
}

TEST_F(CompetitionSave, WindowUseAsksBeforeReplacing) {
    TrackLog log = flight(60);
    log.header.track_log_source = 0;
    settings_.command_line = false;
    const CurrentPilot pilot{"", PilotIds{}};
    const std::string kml = dir_ + "/[pilot name].20110715-123005.[CIVLID].[COMPID].kml";
    ASSERT_EQ(save_competition_log(r_, log, log.positions, pilot, settings_, kNow), 1);
    EXPECT_TRUE(r_.has_status("File saved, NO signature"));
    const std::string first = test::file_bytes(kml);
    log.positions.resize(40);
    r_.queue_answer(kBoxCancel);
    EXPECT_EQ(save_competition_log(r_, log, log.positions, pilot, settings_, kNow), 0);
    EXPECT_EQ(r_.boxes().back().text, "File already exists, overwrite ?");
    EXPECT_EQ(test::file_bytes(kml), first);
    r_.queue_answer(kBoxOk);
    EXPECT_EQ(save_competition_log(r_, log, log.positions, pilot, settings_, kNow), 1);
    EXPECT_NE(test::file_bytes(kml), first);
    EXPECT_EQ(files(), 1u);
}

TEST_F(CompetitionSave, RefusalsWriteNothing) {
    const uint32_t t0 = kStart;
    const struct {
        std::size_t count;
        uint32_t start, stop;
        bool bad_stamp;
        std::string name;
        const char* error;
    } cases[] = {
        {50, t0 + 1000, 0, true, "P",
         "No positions found\r\nSome removed due to bad timestamp\r\nSome removed due to time filtering"},
        {50, 0, t0 - 1, false, "P", "No positions found\r\nSome removed due to time filtering"},
        {9, 0, 0, false, "P", "Too few positions for statistics analysis"},
        {50, 0, t0 + 20, false, "P", "Too few positions for statistics analysis"},
        {50, 0, 0, false, std::string(240, 'n'), "Too long filename"},
    };
    for (const auto& c : cases) {
        TrackLog log = flight(c.count);
        if (c.bad_stamp) log.positions[3].time = 0x7FFFFFFF;
        settings_.window_start = c.start;
        settings_.window_stop = c.stop;
        settings_.write_igc = true;
        test::RecordingReporter r;
        EXPECT_EQ(save_competition_log(r, log, log.positions, CurrentPilot{c.name, PilotIds{1, 2}}, settings_, kNow), -1);
        EXPECT_EQ(r.last_error().text, c.error);
        EXPECT_EQ(r.last_error().title, "Save log for competition");
        EXPECT_EQ(log.header.saved, 0u);
    }
    EXPECT_EQ(files(), 0u);
    TrackLog empty;
    EXPECT_EQ(save_competition_log(r_, empty, empty.positions, CurrentPilot{}, settings_, kNow), 0);
    EXPECT_TRUE(r_.boxes().empty());
}

TEST_F(CompetitionSave, FiltersReportWhatTheyRemoved) {
    TrackLog log = flight(120);
    log.positions[60].gps_altitude += 20000;  // a 2 km jump in 4 s
    settings_.vario_filter = 20;
    ASSERT_EQ(save_competition_log(r_, log, log.positions, CurrentPilot{"V", PilotIds{}}, settings_, kNow), 1);
    ASSERT_FALSE(r_.boxes().empty());
    EXPECT_EQ(r_.boxes().front().text, "Position(s) have been removed due to vario filtering");
}

}  // namespace
}  // namespace orlogix
