#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "settings/settings.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("orlogix-settings-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        paths_.home = (root_ / "home").string();
        paths_.user_file = (root_ / "config" / "orlogix" / "settings.ini").string();
        paths_.defaults_file = (root_ / "etc" / "settings.ini").string();
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string read(const std::string& path) {
        std::string text;
        EXPECT_EQ(read_file(path, text), 0);
        return text;
    }

    fs::path root_;
    SettingsPaths paths_;
    test::RecordingReporter reporter_;
};

TEST(SettingsTable, FortyNineEntriesInStoredOrder) {
    const auto& t = settings_table();
    ASSERT_EQ(t.size(), 49u);
    EXPECT_STREQ(t[0].name, "PilotListName");
    EXPECT_STREQ(t[10].name, "PortName");
    EXPECT_STREQ(t[17].name, "CompTimeStart");
    EXPECT_EQ(t[17].number_default, 555674400);
    EXPECT_STREQ(t[24].name, "LoopFlightGap");
    EXPECT_STREQ(t[35].name, "IgcSaveMask");
    EXPECT_EQ(t[35].number_default, 5);
    EXPECT_STREQ(t[47].name, "DsxDataMode");
    // The window's contest rules came after the others, so older files keep their order.
    EXPECT_STREQ(t[48].name, "ContestRules");
    EXPECT_STREQ(t[48].text_default, "XContest");
    for (std::size_t i = 0; i < t.size(); ++i)
        for (std::size_t j = i + 1; j < t.size(); ++j) EXPECT_STRNE(t[i].name, t[j].name);
}

TEST_F(SettingsTest, FirstStartWithoutAnyStoreTakesDefaultsAndSavesAllValues) {
    SettingsStore store(paths_);
    Settings s;
    ASSERT_EQ(store.load(reporter_, s), 0);
    EXPECT_FALSE(store.existed());
    EXPECT_EQ(s.port_name, "COM1");
    EXPECT_EQ(s.track_gap_time, 1200);
    EXPECT_EQ(s.loop_flight_gap, 800);
    EXPECT_EQ(s.igc_pilot_name, "None");
    EXPECT_EQ(s.igc_dir, paths_.home);  // folder defaults are the home folder
    EXPECT_EQ(s.contest_rules, "XContest");
    ASSERT_EQ(store.save(reporter_, s), 0);
    std::string text = read(paths_.user_file);
    std::size_t lines = 0, previous = 0;
    for (const auto& e : settings_table()) {
        std::size_t at = text.find(std::string("\n") + e.name + "=");
        ASSERT_NE(at, std::string::npos) << e.name;
        EXPECT_GT(at, previous) << e.name << " is out of table order";
        previous = at;
        ++lines;
    }
    EXPECT_EQ(lines, 49u);
    EXPECT_TRUE(reporter_.boxes().empty());
}

TEST_F(SettingsTest, FirstStartReadsTheSystemDefaultsCopy) {
    fs::create_directories(fs::path(paths_.defaults_file).parent_path());
    ASSERT_EQ(write_file_atomic(paths_.defaults_file, "[Orlogix]\nPortName=/dev/ttyUSB3\nVarioFilter=4\n"), 0);
    SettingsStore store(paths_);
    Settings s;
    ASSERT_EQ(store.load(reporter_, s), 0);
    EXPECT_EQ(s.port_name, "/dev/ttyUSB3");
    EXPECT_EQ(s.vario_filter, 4);
    EXPECT_EQ(s.igc_save_mask, 5);
}

TEST_F(SettingsTest, StoredValuesWinOverTheDefaultsCopyAndRoundTrip) {
    fs::create_directories(fs::path(paths_.defaults_file).parent_path());
    ASSERT_EQ(write_file_atomic(paths_.defaults_file, "PortName=/dev/never\n"), 0);
    {
        SettingsStore store(paths_);
        Settings s;
        store.load(reporter_, s);
        s.port_name = "COM12";
        s.comp_time_start = 0xF0000000;  // an unsigned time stamp above 2^31
        s.olc_first_name = "Jo = Smith";
        s.contest_rules = "FFVL";
        ASSERT_EQ(store.save(reporter_, s), 0);
    }
    SettingsStore again(paths_);
    Settings s;
    ASSERT_EQ(again.load(reporter_, s), 0);
    EXPECT_TRUE(again.existed());
    EXPECT_EQ(s.port_name, "COM12");
    EXPECT_EQ(s.comp_time_start, 0xF0000000LL);
    EXPECT_EQ(s.olc_first_name, "Jo = Smith");
    EXPECT_EQ(s.contest_rules, "FFVL");
}

TEST(SettingsText, TextsAreCutToTheirWorkingFieldsAndBadNumbersKeepDefaults) {
    Settings s = default_settings("/home/x");
    settings_from_text("IgcFlightNo=123456789012345\r\nIgcContestId=ABCDE\r\nOlcRegion=123456789\r\n"
                       "TrackGapTime=12x\r\nLoopFlightGap=99999999999\r\nVarioFilter=-3\r\nUnknown=1\r\n",
                       s);
    EXPECT_EQ(s.igc_flight_no, "12345678901");
    EXPECT_EQ(s.igc_contest_id, "ABC");
    EXPECT_EQ(s.olc_region, "1234567");
    EXPECT_EQ(s.track_gap_time, 1200);
    EXPECT_EQ(s.loop_flight_gap, 800);
    EXPECT_EQ(s.vario_filter, -3);
}

TEST_F(SettingsTest, UnusableStoreIsReportedOnceAndNeverWritten) {
    // A file where the settings folder should be makes the store unusable.
    fs::create_directories(root_ / "config");
    ASSERT_EQ(write_file_atomic((root_ / "config" / "orlogix").string(), "not a folder"), 0);
    SettingsStore store(paths_);
    Settings s;
    EXPECT_EQ(store.load(reporter_, s), -1);
    EXPECT_EQ(reporter_.last_error().title, "Registry access error");
    EXPECT_EQ(s.port_name, "");
    EXPECT_EQ(s.igc_save_mask, 0);
    EXPECT_EQ(s.track_gap_time, 1200);
    EXPECT_EQ(store.save(reporter_, s), -1);
    EXPECT_EQ(reporter_.count("error"), 1);
}

}  // namespace
}  // namespace orlogix

namespace orlogix {
namespace {

TEST(SettingsText, CorruptOrTruncatedStoreGivesDefaultsForWhatCannotBeRead) {
    Settings stored = default_settings("/h");
    stored.track_gap_time = 3000;
    stored.igc_save_mask = 2;
    std::string good = settings_to_text(stored);
    const std::size_t gap_line = good.find("TrackGapTime=");
    const std::size_t mask_line = good.find("IgcSaveMask=");
    // Cut anywhere: values whose lines were lost keep their defaults.
    for (std::size_t cut = 0; cut < good.size(); cut += 3) {
        Settings s = default_settings("/h");
        settings_from_text(good.substr(0, cut), s);
        if (cut <= gap_line + 13) {
            EXPECT_EQ(s.track_gap_time, 1200) << cut;
        }
        if (cut <= mask_line + 12) {
            EXPECT_EQ(s.igc_save_mask, 5) << cut;
        }
        if (cut == good.size() - 1) {
            EXPECT_EQ(s.igc_save_mask, 2);
        }
    }
    // Random bytes with NULs and no line ends.
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 256);
    Settings s = default_settings("/h");
    settings_from_text(junk, s);
    settings_from_text("TrackGapTime\nLoopFlightGap=\n=5\nVarioFilter= 3\n", s);
    EXPECT_EQ(s.loop_flight_gap, 800);
    EXPECT_EQ(s.vario_filter, 0);
    // A value cut short reads as far as it goes.
    settings_from_text("PortName=/dev/tty", s);
    EXPECT_EQ(s.port_name, "/dev/tty");
}

TEST(SettingsText, EveryValueIsWrittenSoADefaultSticks) {
    Settings s = default_settings("/h");
    std::string text = settings_to_text(s);
    for (const auto& e : settings_table()) EXPECT_NE(text.find(std::string(e.name) + "="), std::string::npos);
    Settings back = default_settings("/other");
    back.track_gap_time = 60;
    settings_from_text(text, back);
    EXPECT_EQ(back.track_gap_time, 1200);
    EXPECT_EQ(back.igc_dir, "/h");
}

}  // namespace
}  // namespace orlogix
