#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "analysis/distance_tables.hpp"
#include "analysis/loop_search.hpp"
#include "analysis/olc_display.hpp"
#include "analysis/olc_form.hpp"
#include "analysis/olc_search.hpp"
#include "core/file_read.hpp"
#include "core/units.hpp"
#include "support/recording_reporter.hpp"
#include "track_builder.hpp"

namespace orlogix {
namespace {

TEST(OlcUrl, SpaceApostropheAndAmpersandAreEncoded) {
    EXPECT_EQ(url_encode("St. John's Wood"), "St.%20John%27s%20Wood");
    // An ampersand would start a new form field: it is encoded too.
    EXPECT_EQ(url_encode("Smith & Sons"), "Smith%20%26%20Sons");
    EXPECT_EQ(url_encode("a!$()*+,-._Z9"), "a!$()*+,-._Z9");
    EXPECT_EQ(url_encode("12:30/\xC3\xA9"), "12%3A30%2F%C3%A9");
}

TEST(OlcBestRule, TiesGoToTheTriangles) {
    EXPECT_EQ(choose_best(10, 10, 10), OlcBest::FaiTriangle);
    EXPECT_EQ(choose_best(5, 10, 10), OlcBest::FaiTriangle);   // free = FAI triangle points: FAI
    EXPECT_EQ(choose_best(10, 10, 5), OlcBest::FreeTriangle);  // free distance = free triangle: triangle
    EXPECT_EQ(choose_best(10.01, 10, 5), OlcBest::FreeDistance);
    EXPECT_EQ(choose_best(10, 10.01, 10.01), OlcBest::FaiTriangle);
    EXPECT_EQ(best_text(OlcBest::FreeTriangle, 12.345), "Best result is free triangle with 12.35 points");
    EXPECT_EQ(best_text(OlcBest::FreeDistance, 1), "Best result is free distance with 1.00 points");
    EXPECT_EQ(best_text(OlcBest::FaiTriangle, 0.5), "Best result is FAI triangle with 0.50 points");
}

TEST(OlcProgress, PercentAndDone) {
    EXPECT_EQ(progress_text(0, 0), "");
    EXPECT_EQ(progress_text(1, 8), "13 %");
    EXPECT_EQ(progress_text(99, 100), "99 %");
    EXPECT_EQ(progress_text(99.5, 100), "Done:");
}

// Three corner points whose closing side is exactly a fifth of the perimeter
// (2000 + 4000 + 4000 = 10000 = 5 x 2000) form no triangle; 1 m less and they do.
TEST(OlcTriangles, ClosingGapOfExactlyTwentyPercentDoesNotQualify) {
    const double y = std::sqrt(4000.0 * 4000.0 - 1000.0 * 1000.0);
    for (double end_x : {2000.0, 1999.0}) {
        DistanceTables t;
        ASSERT_EQ(t.build({{0, 0}, {1000, y}, {end_x, 0}}, {}), 0);
        ASSERT_EQ(t.d(0, 2), static_cast<int32_t>(end_x));
        ASSERT_EQ(t.d(0, 1) + t.d(1, 2), 8000);
        const TriangleSearch s = search_triangles(t, ClosingRule::OneFifth, 0, 1, {});
        EXPECT_EQ(s.flat.found, end_x < 2000.0) << end_x;
        if (s.flat.found) {
            EXPECT_EQ(s.flat.score, 8000 + 1999 - 1999);
        }
    }
}

TEST(OlcSearch, EquilateralTriangleScoresAsFai) {
    const auto track = test::legs_track(test::equilateral(20.0), 100);
    OlcResults r;
    std::vector<std::string> steps;
    OlcProgress progress;
    ASSERT_EQ(olc_search(track, r, [&](std::string_view s) { steps.emplace_back(s); }, {}, &progress), 0);
    ASSERT_TRUE(r.fai_triangle.found);
    EXPECT_NEAR(r.fai_triangle.points, r.fai_triangle.total * 0.002, 1e-9);
    EXPECT_NEAR(r.free_triangle.points, r.free_triangle.total * 0.00175, 1e-9);
    EXPECT_GT(r.fai_triangle.total, 59000.0);
    EXPECT_NEAR(r.free_distance.points, r.free_distance.total * 0.0015, 1e-9);
    EXPECT_EQ(r.best, OlcBest::FaiTriangle);
    EXPECT_EQ(r.olc_points, r.fai_triangle.index);
    const std::vector<std::string> expect{"Computing distance matrix", "Max. distance search", "Out-and-return search",
                                          "Triangle search", "Optimization completed", r.best_text};
    EXPECT_EQ(steps, expect);
    EXPECT_EQ(progress.done.load(), progress.total.load());
    // The out-and-return closes within 400 m: start and end at the closed corner.
    ASSERT_TRUE(r.out_and_return.found);
    EXPECT_LT(r.out_and_return.legs[2], 400.0);
}

TEST(OlcSearch, StraightFlightIsAFreeDistance) {
    const auto track = test::legs_track({{45.0, 6.0}, {45.5, 6.0}}, 60);
    OlcResults r;
    ASSERT_EQ(olc_search(track, r, {}, {}), 0);
    EXPECT_FALSE(r.free_triangle.found);
    EXPECT_EQ(r.best, OlcBest::FreeDistance);
    EXPECT_EQ(r.olc_points[0], 0u);
    EXPECT_EQ(r.olc_points[4], track.size() - 1);
    EXPECT_EQ(r.best_text, best_text(OlcBest::FreeDistance, r.free_distance.points));
}

TEST(OlcSession, HaltStopsTheWorkerWithItsMessage) {
    std::vector<TrackPosition> loop;
    for (int i = 0; i < 3000; ++i)
        loop.push_back(test::fix_at(45.0 + 0.1 * std::sin(i * 0.01), 6.0 + 0.1 * std::cos(i * 0.01), 1000u + i));
    test::RecordingReporter rep;
    std::vector<std::string> steps;
    std::mutex m;
    {
        OlcSession session;
        ASSERT_EQ(session.start(rep, loop, [&](std::string_view s) {
            std::lock_guard<std::mutex> lock(m);
            steps.emplace_back(s);
        }), 0);
        session.halt();
        session.stop();
        EXPECT_FALSE(session.finished());
    }
    std::lock_guard<std::mutex> lock(m);
    ASSERT_FALSE(steps.empty());
    const std::string& last = steps.back();
    EXPECT_TRUE(last == "Computation halted" || last.find("aborted") != std::string::npos) << last;
}

TEST(OlcSession, TooFewPositions) {
    test::RecordingReporter rep;
    OlcSession session;
    EXPECT_EQ(session.start(rep, std::vector<TrackPosition>(4), {}), -1);
    EXPECT_EQ(rep.last_error().text, "Number of positions must be 5 or more");
    EXPECT_EQ(rep.last_error().title, "Initialize OLC statistics");
}

OlcEntries sample_entries() {
    OlcEntries e;
    e.first_name = "Jean-Luc";
    e.last_name = "O'Neil";
    e.birth_date = "1.2.83";
    e.glider_class = 3;
    e.glider_type = "Omega 8";
    e.start_place = "St. John's Wood";
    e.region = "UK";
    e.flight_number = "2";
    return e;
}

TEST(OlcEntriesCheck, FirstProblemInDialogOrder) {
    struct Case {
        void (*spoil)(OlcEntries&);
        const char* text;
    };
    const Case cases[] = {
        {[](OlcEntries& e) { e.first_name.clear(); e.last_name.clear(); }, "Missing first name"},
        {[](OlcEntries& e) { e.last_name.clear(); }, "Missing last name"},
        {[](OlcEntries& e) { e.birth_date.clear(); }, "Missing birth date"},
        {[](OlcEntries& e) { e.birth_date = "1983-02-01"; }, "Bad birth date format"},
        {[](OlcEntries& e) { e.glider_class = 0; }, "Combo box read error"},
        {[](OlcEntries& e) { e.glider_type.clear(); e.start_place.clear(); }, "Missing glider type"},
        {[](OlcEntries& e) { e.start_place.clear(); }, "Missing start place"},
        {[](OlcEntries& e) { e.flight_number.clear(); }, "Missing flight number"},
        {[](OlcEntries& e) { e.flight_number = "2a"; }, "Bad flight number input"},
        {[](OlcEntries& e) { e.flight_number = "36"; }, "Flight number out of range"},
        {[](OlcEntries& e) { e.flight_number = "0"; }, "Flight number out of range"},
    };
    for (const Case& c : cases) {
        OlcEntries e = sample_entries();
        c.spoil(e);
        test::RecordingReporter rep;
        int n = 0;
        EXPECT_EQ(check_olc_entries(rep, e, n), -1) << c.text;
        EXPECT_EQ(rep.last_error().text, c.text);
        EXPECT_EQ(rep.last_error().title, "User information input");
    }
    OlcEntries e = sample_entries();
    test::RecordingReporter rep;
    int n = 0;
    ASSERT_EQ(check_olc_entries(rep, e, n), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(e.birth_date, "01.02.83");
}

TEST(OlcFileName, ShortAndLongForms) {
    CalendarTime d;
    d.year = 2019;
    d.month = 10;
    d.day = 28;
    EXPECT_EQ(olc_igc_file_name(d, "XFL", "ABC", 1, false), "9ASXABC1");
    EXPECT_EQ(olc_igc_file_name(d, "XFL", "ABC", 12, true), "2019-10-28-XFL-ABC-12");
    EXPECT_EQ(olc_igc_file_name(d, "", "", 35, false), "9ASX000Z");
    EXPECT_EQ(olc_igc_file_name(d, "", "", 3, true), "2019-10-28-XQV-000-03");
    d.month = 6;
    d.day = 5;
    EXPECT_EQ(olc_igc_file_name(d, "", "", 10, false), "965X000A");
}

TEST(OlcForm, WholeTextWithLandingPastMidnight) {
    OlcEntries e = sample_entries();
    test::RecordingReporter rep;
    int flight = 0;
    ASSERT_EQ(check_olc_entries(rep, e, flight), 0);
    const uint32_t day = 10758 * 86400u;  // 2019-06-15
    std::array<OlcFormPoint, 5> w{};
    const int32_t lats[] = {2730123, 2731000, -2700001, 2730500, 2730124};   // milli-minutes
    const int32_t lons[] = {367089, 370000, 368000, -180, 367090};
    const uint32_t times[] = {day + 85800, day + 86000, day + 86300, day + 86399, day + 86400 + 2400};
    for (int i = 0; i < 5; ++i)
        w[i] = {times[i], milliminutes_to_semicircles(lats[i]), milliminutes_to_semicircles(lons[i])};
    const std::string text = olc_form_text(e, "96FX0002", w, 1, 2);
    EXPECT_EQ(text,
              "OLCvnolc=Jean-Luc&na=O%27Neil&geb=01.02.83&gty=Omega%208&sta=St.%20John%27s%20Wood&region=UK&gid="
              "&klasse=3&igcfn=96FX0002&flugzeug=1&ft=152836&s0=23%3A50%3A00"
              "&w0bh=N&w0bg=45&w0bm=30&w0bmd=123&w0lh=E&w0lg=6&w0lm=07&w0lmd=089"
              "&w1bh=N&w1bg=45&w1bm=31&w1bmd=000&w1lh=E&w1lg=6&w1lm=10&w1lmd=000"
              "&w2bh=S&w2bg=45&w2bm=00&w2bmd=001&w2lh=E&w2lg=6&w2lm=08&w2lmd=000"
              "&w3bh=N&w3bg=45&w3bm=30&w3bmd=500&w3lh=W&w3lg=0&w3lm=00&w3lmd=180"
              "&w4bh=N&w4bg=45&w4bm=30&w4bmd=124&w4lh=E&w4lg=6&w4lm=07&w4lmd=090"
              "&s4=24%3A40%3A00&software=Orlogix102");
    e.region.clear();
    EXPECT_EQ(olc_form_text(e, "x", w, 1, 2).find("&region="), std::string::npos);
}

TEST(OlcForm, FileWithAndWithoutIgcWrittenWhole) {
    const std::string form = "OLCvnolc=A";
    const std::string igc = "AXXX001\r\nB1234\r\n";
    EXPECT_EQ(olc_file_bytes(form, nullptr), form);
    EXPECT_EQ(olc_file_bytes(form, &igc), form + "&IGCigcIGC=" + igc);
    test::RecordingReporter rep;
    const auto dir = std::filesystem::temp_directory_path() / ("olc_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string name = olc_file_name(rep, (dir / "flight").string());
    EXPECT_EQ(name, (dir / "flight.olc").string());
    ASSERT_EQ(write_olc_file(rep, name, olc_file_bytes(form, &igc)), 0);
    std::string back;
    ASSERT_EQ(read_file(name, back), 0);
    EXPECT_EQ(back, form + "&IGCigcIGC=" + igc);
    EXPECT_EQ(rep.boxes().back().text, "File written");
    EXPECT_EQ(write_olc_file(rep, (dir / "missing" / "x.olc").string(), form), -1);
    EXPECT_EQ(rep.last_error().text, "File write error");
    EXPECT_EQ(olc_file_name(rep, std::string(300, 'a')), "");
    EXPECT_EQ(rep.last_error().text, "Too long file name");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orlogix

namespace orlogix {
namespace {

TEST(OlcDisplay, PointLinesLegsAndClosingCheck) {
    std::vector<TrackPosition> t;
    for (int i = 0; i < 6; ++i) t.push_back(test::fix_at(45.5 + 0.01 * i, 6.25, 10758 * 86400u + 3600u * 13 + 60u * i));
    OlcScore s;
    s.found = true;
    s.index = {0, 1, 2, 4, 5};
    s.legs = {10000, 8000, 6000, 1200};
    s.total = 22800;
    s.points = 45.6;
    const auto lines = olc_score_lines(t, s, OlcKind::FaiTriangle);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "A  1  13:00:00  N 45  30  00.00  E 006  15  00.00");
    EXPECT_EQ(lines[3].substr(0, 9), "D  5  13:");
    EXPECT_EQ(lines[5], "BC 10.00  CD 8.00  DB 6.00");
    EXPECT_EQ(lines[6], "DE= 1.20  5.00 %");
    EXPECT_EQ(lines[7], "22.80 km");
    EXPECT_EQ(lines[8], "45.60 points");
    s.found = false;
    EXPECT_TRUE(olc_score_lines(t, s, OlcKind::FaiTriangle).empty());
    EXPECT_EQ(olc_heading(OlcKind::OutAndReturn), "OUT-AND-RETURN (Start point A, end point C)  (Not an OLC parameter)");
}

}  // namespace
}  // namespace orlogix

namespace orlogix {
namespace {

// Real flights named after their shape score as that shape.
TEST(OlcSearch, RealFlightsPickTheirShape) {
    const std::pair<const char*, OlcBest> cases[] = {{"trifai-xcontest-189.65.igc", OlcBest::FaiTriangle},
                                                     {"line.igc", OlcBest::FreeDistance},
                                                     {"flat-xcontest-106.82.igc", OlcBest::FreeTriangle}};
    for (const auto& [name, shape] : cases) {
        const auto track = test::load_igc_fixes(test::flight_path(name));
        OlcResults r;
        ASSERT_EQ(olc_search(track, r, {}, {}), 0) << name;
        EXPECT_EQ(r.best, shape) << name << ": " << r.best_text;
        // Every triangle found keeps its closing gap strictly below a fifth of its sides.
        for (const OlcScore* s : {&r.free_triangle, &r.fai_triangle}) {
            if (!s->found) continue;
            EXPECT_LT(5 * s->legs[3], s->legs[0] + s->legs[1] + s->legs[2]) << name;
            for (int i = 0; i < 4; ++i) EXPECT_LT(s->index[i], s->index[i + 1]) << name;
        }
        const double least = 0.28 * (r.fai_triangle.legs[0] + r.fai_triangle.legs[1] + r.fai_triangle.legs[2]);
        for (int i = 0; i < 3; ++i) EXPECT_GE(r.fai_triangle.legs[i], least) << name;
    }
}

}  // namespace
}  // namespace orlogix
