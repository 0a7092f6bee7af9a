// Equal CTR names after reading a file, the instruments' 17-character name
// check, the list helpers and the height of a floor or ceiling remark.
#include <gtest/gtest.h>

#include "formats/airspace/ctr_list.hpp"
#include "formats/commands/ctr_names.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

CtrList named(std::initializer_list<std::string> names) {
    CtrList list;
    for (const std::string& n : names) {
        Ctr c;
        c.name = n;
        list.push_back(c);
    }
    return list;
}

std::vector<std::string> names_of(const CtrList& list) {
    std::vector<std::string> out;
    for (const Ctr& c : list) out.push_back(c.name);
    return out;
}

TEST(CtrNames, EqualNamesGetNumbersPerFirstOccurrence) {
    test::RecordingReporter r;
    r.queue_answer(kBoxYes);
    CtrList list = named({"A", "B", "A", "C", "A", "B"});
    EXPECT_EQ(fix_equal_ctr_names(r, list), 3);
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"A", "B", "A(1)", "C", "A(2)", "B(1)"}));
    ASSERT_EQ(r.count("yesno"), 1);
    EXPECT_EQ(r.boxes()[0].title, "Equal CTR name(s)");
    EXPECT_EQ(r.boxes()[0].text, "Fix name by appending number ?");
}

TEST(CtrNames, NoLeavesTheNamesAndNothingToFixAsksNothing) {
    test::RecordingReporter r;
    r.queue_answer(kBoxNo);
    CtrList list = named({"A", "A"});
    EXPECT_EQ(fix_equal_ctr_names(r, list), 0);
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"A", "A"}));

    test::RecordingReporter quiet;
    CtrList distinct = named({"A", "a", "A "});
    EXPECT_EQ(fix_equal_ctr_names(quiet, distinct), 0);
    EXPECT_EQ(quiet.boxes().size(), 0u);
}

TEST(CtrNames, SuffixOverwritesTheEndOfALongName) {
    test::RecordingReporter r;
    r.queue_answer(kBoxYes);
    const std::string long_name(49, 'x');
    CtrList list = named({long_name, long_name});
    for (int i = 0; i < 10; ++i) list.push_back(list[0]);
    ASSERT_EQ(fix_equal_ctr_names(r, list), 11);
    EXPECT_EQ(list[1].name, std::string(47, 'x') + "(1)");
    EXPECT_EQ(list[11].name, std::string(46, 'x') + "(11)");
    for (const Ctr& c : list) EXPECT_LE(c.name.size(), 50u);
}

TEST(CtrNames, UploadCheckOnSeventeenCharacters) {
    test::RecordingReporter r;
    CtrList list = named({"ABCDEFGHIJKLMNOPQ1", "ABCDEFGHIJKLMNOPQ2", "SHORT", "SHORT"});
    EXPECT_EQ(check_ctr_upload_names(r, list), -1);
    EXPECT_EQ(r.last_error().text, "No CTR(s) selected");
    EXPECT_EQ(r.last_error().title, "Upload CTR");

    list[0].selected = list[1].selected = true;
    EXPECT_EQ(check_ctr_upload_names(r, list), -1);
    EXPECT_EQ(r.last_error().text,
              "One or more of the selected CTRs have equal\r\nnames after limiting the length to fit the GPS");
    list[0].selected = list[1].selected = false;
    list[2].selected = list[3].selected = true;
    EXPECT_EQ(check_ctr_upload_names(r, list), -1);
    EXPECT_EQ(r.last_error().text, "One or more of the selected CTRs have equal names");
    list[3].selected = false;
    list[0].selected = true;
    EXPECT_EQ(check_ctr_upload_names(r, list), 0);
}

TEST(CtrList, SelectionDeletionAndPrepending) {
    test::RecordingReporter r;
    CtrList list = named({"A", "B", "C", "D"});
    ASSERT_EQ(select_ctrs(r, list, {1, 3}), 0);
    EXPECT_EQ(selected_count(list), 2u);
    EXPECT_EQ(select_ctrs(r, list, {4}), -1);
    EXPECT_EQ(r.last_error().text, "Program error");
    EXPECT_EQ(r.last_error().title, "CTR list action");
    ASSERT_EQ(select_ctrs(r, list, {1, 3}), 0);
    EXPECT_EQ(delete_selected_ctrs(list), 2u);
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"A", "C"}));
    prepend_ctrs(list, named({"X", "Y"}));
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"X", "Y", "A", "C"}));
}

TEST(CtrList, HeightOfARemark) {
    EXPECT_DOUBLE_EQ(ctr_height_metres("4500ft MSL"), 4500 * 0.3048);
    EXPECT_DOUBLE_EQ(ctr_height_metres("  2000 FT"), 2000 * 0.3048);
    EXPECT_DOUBLE_EQ(ctr_height_metres("450m"), 450);
    EXPECT_DOUBLE_EQ(ctr_height_metres("100 M GND"), 100);
    EXPECT_DOUBLE_EQ(ctr_height_metres("12,5 m"), 12.5);
    EXPECT_DOUBLE_EQ(ctr_height_metres("5000 STD"), 5000);
    EXPECT_DOUBLE_EQ(ctr_height_metres("FL 95"), 0);
    EXPECT_DOUBLE_EQ(ctr_height_metres("GND"), 0);
    EXPECT_DOUBLE_EQ(ctr_height_metres(""), 0);
    // A unit glued to more letters is no unit.
    EXPECT_DOUBLE_EQ(ctr_height_metres("300mb"), 0);
    EXPECT_DOUBLE_EQ(ctr_height_metres("300ftx"), 0);
    EXPECT_DOUBLE_EQ(ctr_height_metres("300 Ft"), 300);
}

}  // namespace
}  // namespace orlogix
