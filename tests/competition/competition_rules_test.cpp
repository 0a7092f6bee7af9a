#include <gtest/gtest.h>

#include "competition/competition_times.hpp"
#include "competition/pilot_choice.hpp"
#include "core/time.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

TEST(CompetitionTimes, FieldsParseOnlyRealDatesAndShowBack) {
    const uint32_t t = time_from_calendar(2011, 7, 15, 12, 30, 5);
    const struct {
        const char* field;
        int64_t want;
    } cases[] = {
        {"", 0},
        {"   ", 0},
        {"2011-07-15 12:30:05", t},
        {"  2011-7-15    12:30:05  ", t},
        {"2012-02-29 00:00:00", time_from_calendar(2012, 2, 29, 0, 0, 0)},
        {"2099-12-31 23:59:59", time_from_calendar(2099, 12, 31, 23, 59, 59)},
        {"1989-12-31 23:59:59", -1},
        {"2100-01-01 00:00:00", -1},
        {"2011-02-29 00:00:00", -1},
        {"2011-04-31 00:00:00", -1},
        {"2011-13-01 00:00:00", -1},
        {"2011-07-15 24:00:00", -1},
        {"2011-07-15 12:60:00", -1},
        {"2011-07-1512:30:05", -1},
        {"2011-07-15 12:30:05x", -1},
        {"2011-07-15 12:30", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_competition_time(c.field), c.want) << c.field;
    EXPECT_EQ(competition_time_field(t), "2011-07-15  12:30:05");
    EXPECT_EQ(parse_competition_time(competition_time_field(t)), t);
    EXPECT_EQ(competition_start_text(0), "No start time");
    EXPECT_EQ(competition_stop_text(0), "No stop time");
    EXPECT_EQ(competition_stop_text(t), "2011-07-15  12:30:05");
}

TEST(CompetitionTimes, CheckNamesTheBadFieldAndKeepsTheValuesOnFailure) {
    const struct {
        const char *start, *stop, *error;
    } cases[] = {
        {"2011-07-15 12:00:00", "2011-07-15 13:00:00", ""},
        {"", "", ""},
        {"bad", "", "Bad start time"},
        {"", "2011-02-30 00:00:00", "Bad stop time"},
        {"2011-07-15 12:00:00", "2011-07-15 12:00:00", "Stop time before start time"},
    };
    for (const auto& c : cases) {
        test::RecordingReporter r;
        uint32_t start = 7, stop = 7;
        const int rc = check_competition_times(r, c.start, c.stop, start, stop);
        EXPECT_EQ(rc, *c.error ? -1 : 0) << c.start;
        EXPECT_EQ(r.last_error().text, c.error);
        if (rc == 0) {
            EXPECT_EQ(start, static_cast<uint32_t>(parse_competition_time(c.start)));
        } else {
            EXPECT_EQ(start, 7u);
            EXPECT_EQ(r.last_error().title, "Read comp. time");
        }
    }
}

TEST(CompetitionTimes, WindowRule) {
    const struct {
        uint32_t t, s, e;
        bool in;
    } cases[] = {
        {5, 0, 0, true}, {5, 0, 5, true}, {6, 0, 5, false}, {5, 5, 0, true}, {4, 5, 0, false},
        {5, 5, 9, true}, {9, 5, 9, true}, {10, 5, 9, false}, {4, 5, 9, false},
        {1, 9, 5, true},  // start not before stop: everything
    };
    for (const auto& c : cases) EXPECT_EQ(in_time_window(c.t, c.s, c.e), c.in) << c.t << " " << c.s << " " << c.e;
}

PilotList sample_list() {
    PilotList list;
    list.pilots = {{"Anna Berg", 34567, 12, {}}, {"Bo", -1, 7, {}}, {"Cy", 555, -1, {}}, {"Anna Berg", 1, 13, {}}};
    return list;
}

TEST(PilotChoice, EntryTextsAndOpeningSelection) {
    const PilotList list = sample_list();
    EXPECT_EQ(pilot_entry_texts(list), (std::vector<std::string>{"Anna Berg (comp. 12, CIVL 34567)", "Bo (comp. 7)",
                                                                 "Cy (CIVL 555)", "Anna Berg (comp. 13, CIVL 1)"}));
    EXPECT_EQ(pilot_entry_text(PilotRecord{"Dee", -1, -1, {}}), "Dee");
    const struct {
        int64_t comp, civl;
        int selected;
        const char *comp_text, *civl_text, *name;
    } cases[] = {
        {7, 555, 2, "", "555", "Cy"},         // the CIVL number wins
        {7, 99, 1, "7", "", "Bo"},            // else the competition number
        {99, 98, 0, "99", "98", ""},          // no match: first entry, current numbers, no name
    };
    for (const auto& c : cases) {
        const PilotFields f = opening_fields(list, CurrentPilot{"Old", PilotIds{c.comp, c.civl}});
        EXPECT_EQ(f.selected, c.selected);
        EXPECT_EQ(f.comp_id, c.comp_text);
        EXPECT_EQ(f.civl_id, c.civl_text);
        EXPECT_EQ(f.name, c.name);
    }
    const PilotFields none = opening_fields(PilotList{}, CurrentPilot{"Old", PilotIds{3, -1}});
    EXPECT_EQ(none.selected, -1);
    EXPECT_EQ(none.comp_id, "3");
    EXPECT_EQ(none.name, "Old");
}

TEST(PilotChoice, EditingANumberFillsOrEmptiesTheOthers) {
    const PilotList list = sample_list();
    PilotFields f{0, "7", "34567", "Anna Berg"};
    PilotFields e = edited_fields(list, f, false);
    EXPECT_EQ(e.selected, 1);
    EXPECT_EQ(e.civl_id, "");
    EXPECT_EQ(e.name, "Bo");
    f = PilotFields{1, "7", "555", "Bo"};
    e = edited_fields(list, f, true);
    EXPECT_EQ(e.selected, 2);
    EXPECT_EQ(e.name, "Cy");
    f.comp_id = "70";
    e = edited_fields(list, f, false);
    EXPECT_EQ(e.civl_id, "");
    EXPECT_EQ(e.name, "");
    EXPECT_EQ(e.comp_id, "70");
}

TEST(PilotChoice, IdentificationChecksNumbersAndKeepsTheChosenNamesake) {
    const PilotList list = sample_list();
    test::RecordingReporter r;
    Identification id;
    EXPECT_EQ(accept_identification(r, list, PilotFields{0, "1x", "", "A"}, id), -1);
    EXPECT_EQ(r.last_error().text, "Bad comp. pilot ID");
    EXPECT_EQ(r.last_error().title, "Pilot parameter check");
    EXPECT_EQ(accept_identification(r, list, PilotFields{0, "", "2147483648", "A"}, id), -1);
    EXPECT_EQ(r.last_error().text, "Bad CIVL pilot ID");
    EXPECT_TRUE(r.notes().empty());

    ASSERT_EQ(accept_identification(r, list, entry_fields(list, 3), id), 0);
    EXPECT_EQ(id.entry, 3);  // not the first Anna Berg
    EXPECT_EQ(id.pilot.ids.comp_id, 13);
    EXPECT_EQ(r.notes().back(), "Pilot [13] Anna Berg");
    // Typed by hand: the entry with the same name and numbers.
    ASSERT_EQ(accept_identification(r, list, PilotFields{-1, "12", "34567", "Anna  Berg"}, id), 0);
    EXPECT_EQ(id.entry, 0);
    ASSERT_EQ(accept_identification(r, list, PilotFields{0, "", "", std::string(100, 'n')}, id), 0);
    EXPECT_EQ(id.entry, -1);
    EXPECT_EQ(id.pilot.name.size(), 80u);
    EXPECT_EQ(r.notes().back(), "Pilot [-1] " + std::string(80, 'n'));
}

TEST(PilotChoice, SelectPilotWritesTypedNumbersIntoTheEntry) {
    PilotList list = sample_list();
    EXPECT_EQ(select_pilot_label(list), "&Select pilot from list (4 pilots)");
    EXPECT_EQ(select_pilot_label(PilotList{}), "&Select pilot from list");
    test::RecordingReporter r;
    CurrentPilot current{"Old", PilotIds{1, 1}};
    EXPECT_EQ(accept_selected_pilot(r, list, -1, "1", "", current), -1);
    EXPECT_EQ(r.last_error().text, "Dialog box error");
    EXPECT_EQ(accept_selected_pilot(r, list, 1, "x", "", current), -1);
    EXPECT_EQ(r.last_error().text, "Bad comp. ID");
    EXPECT_EQ(accept_selected_pilot(r, list, 1, "", "-", current), -1);
    EXPECT_EQ(r.last_error().text, "Bad CIVL ID");
    r.queue_answer(kBoxNo);
    EXPECT_EQ(accept_selected_pilot(r, list, 1, "", "", current), -1);
    EXPECT_EQ(r.boxes().back().text, "Both IDs missing, continue ?");
    EXPECT_EQ(current.name, "Old");

    // An empty field keeps the entry's number.
    ASSERT_EQ(accept_selected_pilot(r, list, 1, "", "4242", current), 0);
    EXPECT_EQ(list.pilots[1].comp_id, 7);
    EXPECT_EQ(list.pilots[1].civl_id, 4242);
    EXPECT_EQ(current.name, "Bo");
    EXPECT_EQ(current.ids.comp_id, 7);
    EXPECT_EQ(current.ids.civl_id, 4242);
    // Without a list the typed numbers count.
    PilotList empty;
    ASSERT_EQ(accept_selected_pilot(r, empty, -1, "5", "", current), 0);
    EXPECT_EQ(current.ids.comp_id, 5);
    EXPECT_EQ(current.ids.civl_id, -1);
}

}  // namespace
}  // namespace orlogix
