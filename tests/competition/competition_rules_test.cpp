#include <gtest/gtest.h>

#include <tuple>

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

using Shown = std::tuple<int, std::string, std::string, std::string>;
Shown shown(const PilotFields& f) { return {f.selected, f.comp_id, f.civl_id, f.name}; }

TEST(PilotChoice, EntryTextsOpeningSelectionAndEdits) {
    const PilotList list = sample_list();
    EXPECT_EQ(pilot_entry_texts(list), (std::vector<std::string>{"Anna Berg (comp. 12, CIVL 34567)", "Bo (comp. 7)",
                                                                 "Cy (CIVL 555)", "Anna Berg (comp. 13, CIVL 1)"}));
    EXPECT_EQ(pilot_entry_text(PilotRecord{"Dee", -1, -1, {}}), "Dee");
    auto opening = [&](const PilotList& l, int64_t comp, int64_t civl) {
        return shown(opening_fields(l, CurrentPilot{"Old", PilotIds{comp, civl}}));
    };
    EXPECT_EQ(opening(list, 7, 555), Shown(2, "", "555", "Cy"));  // the CIVL number wins
    EXPECT_EQ(opening(list, 7, 99), Shown(1, "7", "", "Bo"));     // else the competition number
    EXPECT_EQ(opening(list, 99, 98), Shown(0, "99", "98", ""));   // no match: first entry, current numbers
    EXPECT_EQ(opening(PilotList{}, 3, -1), Shown(-1, "3", "", "Old"));

    EXPECT_EQ(shown(edited_fields(list, PilotFields{0, "7", "34567", "Anna Berg"}, false)), Shown(1, "7", "", "Bo"));
    EXPECT_EQ(shown(edited_fields(list, PilotFields{1, "7", "555", "Bo"}, true)), Shown(2, "", "555", "Cy"));
    EXPECT_EQ(shown(edited_fields(list, PilotFields{1, "70", "555", "Bo"}, false)), Shown(1, "70", "", ""));
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
    EXPECT_EQ(r.notes().back(), "Pilot [13] Anna Berg");
    // Typed by hand: the entry with the same name and numbers.
    ASSERT_EQ(accept_identification(r, list, PilotFields{-1, "12", "34567", "Anna  Berg"}, id), 0);
    EXPECT_EQ(id.entry, 0);
    ASSERT_EQ(accept_identification(r, list, PilotFields{0, "", "", std::string(100, 'n')}, id), 0);
    EXPECT_EQ(id.entry, -1);
    EXPECT_EQ(r.notes().back(), "Pilot [-1] " + std::string(80, 'n'));
}

TEST(PilotChoice, SelectPilotWritesTypedNumbersIntoTheEntry) {
    PilotList list = sample_list();
    EXPECT_EQ(select_pilot_label(list), "&Select pilot from list (4 pilots)");
    EXPECT_EQ(select_pilot_label(PilotList{}), "&Select pilot from list");
    test::RecordingReporter r;
    CurrentPilot current{"Old", PilotIds{1, 1}};
    const struct {
        int selected;
        const char *comp, *civl, *error;
    } refused[] = {{-1, "1", "", "Dialog box error"}, {1, "x", "", "Bad comp. ID"}, {1, "", "-", "Bad CIVL ID"}};
    for (const auto& c : refused) {
        EXPECT_EQ(accept_selected_pilot(r, list, c.selected, c.comp, c.civl, current), -1);
        EXPECT_EQ(r.last_error().text, c.error);
    }
    r.queue_answer(kBoxNo);
    EXPECT_EQ(accept_selected_pilot(r, list, 1, "", "", current), -1);
    EXPECT_EQ(r.boxes().back().text, "Both IDs missing, continue ?");
    EXPECT_EQ(current.name, "Old");

    // An empty field keeps the entry's number.
    ASSERT_EQ(accept_selected_pilot(r, list, 1, "", "4242", current), 0);
    EXPECT_EQ(list.pilots[1].comp_id, 7);
    EXPECT_EQ(list.pilots[1].civl_id, 4242);
    EXPECT_EQ(current.name, "Bo");
    EXPECT_EQ(current.ids.civl_id, 4242);
    // Without a list the typed numbers count.
    PilotList empty;
    ASSERT_EQ(accept_selected_pilot(r, empty, -1, "5", "", current), 0);
    EXPECT_EQ(current.ids.comp_id, 5);
    EXPECT_EQ(current.ids.civl_id, -1);
}

}  // namespace
}  // namespace orlogix
