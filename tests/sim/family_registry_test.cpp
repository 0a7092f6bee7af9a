// Family lookup, the echo family's line rule and options, and the data-file hook.
#include <gtest/gtest.h>

#include "sim/data_files.hpp"
#include "sim/family_registry.hpp"
#include "support/recording_reporter.hpp"
#include "support/toy_family.hpp"

namespace orlogix::sim {
namespace {

std::unique_ptr<Instrument> make(const std::string& name, FamilyOptions options, orlogix::test::RecordingReporter& r) {
    FamilyRegistry registry;
    register_all_families(registry);
    const FamilyEntry* entry = registry.find(name);
    if (!entry) return nullptr;
    return entry->make(options, r);
}

TEST(FamilyRegistry, FindsRegisteredFamiliesOnly) {
    FamilyRegistry registry;
    register_all_families(registry);
    ASSERT_NE(registry.find("echo"), nullptr);
    EXPECT_EQ(registry.find("echo")->name, "echo");
    EXPECT_EQ(registry.find("ech"), nullptr);
    EXPECT_EQ(registry.find("Echo"), nullptr);
    EXPECT_EQ(registry.find(""), nullptr);
}

TEST(FamilyRegistry, ADuplicateNameKeepsTheFirstFactory) {
    FamilyRegistry registry;
    register_all_families(registry);
    const std::size_t before = registry.entries().size();
    EXPECT_EQ(registry.add("echo", "other", [](const FamilyOptions&, Reporter&) { return nullptr; }), -1);
    EXPECT_EQ(registry.entries().size(), before);
    orlogix::test::RecordingReporter r;
    EXPECT_NE(registry.find("echo")->make({}, r), nullptr);
}

TEST(FamilyRegistry, TheFamilyListFollowsTheCatalogue) {
    FamilyRegistry registry;
    register_all_families(registry);
    orlogix::test::add_toy_family();
    const std::string before = family_list(registry);
    // Catalogue families first, in its order, each once; tool families after.
    const std::size_t mlr = before.find("\n  mlr        " + registry.find("mlr")->summary + "\n");
    const std::size_t echo = before.find("\n  echo       ");
    EXPECT_EQ(before.rfind("  garmin     " + registry.find("garmin")->summary + "\n", 0), 0u) << before;
    EXPECT_NE(mlr, std::string::npos) << before;
    EXPECT_NE(echo, std::string::npos) << before;
    EXPECT_LT(mlr, echo) << before;
    EXPECT_EQ(before.find("mlr", mlr + 4), std::string::npos) << before;  // protocols 1 and 14 share it
    EXPECT_NE(before.find("\n  toy        (not built yet)\n"), std::string::npos) << before;
    // The toy's simulator registers; from then on the tool lists and serves it.
    registry.add("toy", "a toy box", [](const FamilyOptions&, Reporter&) { return nullptr; });
    const std::string after = family_list(registry);
    EXPECT_NE(after.find("\n  toy        a toy box\n"), std::string::npos) << after;
    EXPECT_LT(after.find("  toy "), after.find("  echo "));
}

TEST(EchoFamily, AnswersEachLineUpToCrOrLfAsOneReply) {
    orlogix::test::RecordingReporter r;
    auto echo = make("echo", {}, r);
    ASSERT_NE(echo, nullptr);
    echo->receive("he");
    EXPECT_FALSE(echo->has_output());  // no line end yet
    echo->receive("llo\r\nok\n");
    EXPECT_EQ(echo->take_chunk().bytes, "hello\r");
    EXPECT_EQ(echo->take_chunk().bytes, "\n");
    EXPECT_EQ(echo->take_chunk().bytes, "ok\n");
    EXPECT_FALSE(echo->has_output());
    EXPECT_EQ(echo->reply_count(), 3u);
}

TEST(EchoFamily, PassesBinaryBytesThrough) {
    orlogix::test::RecordingReporter r;
    auto echo = make("echo", {}, r);
    ASSERT_NE(echo, nullptr);
    const std::string line("\x00\xFF\x10\x03\n", 5);
    echo->receive(line);
    EXPECT_EQ(echo->take_all_output(), line);
}

TEST(EchoFamily, ReportsLinesWhenAsked) {
    orlogix::test::RecordingReporter r;
    FamilyOptions options;
    options.settings["report"] = "on";
    auto echo = make("echo", options, r);
    ASSERT_NE(echo, nullptr);
    std::vector<std::string> lines;
    echo->set_report_sink([&](std::string_view l) { lines.emplace_back(l); });
    echo->receive("one\ntwo\r");
    EXPECT_EQ(lines, (std::vector<std::string>{"line one", "line two"}));
}

TEST(EchoFamily, RejectsUnknownSettingsAndValues) {
    orlogix::test::RecordingReporter r;
    FamilyOptions options;
    options.settings["speed"] = "9600";
    EXPECT_EQ(make("echo", options, r), nullptr);
    EXPECT_EQ(r.last_error().text, "Unknown setting speed for family echo");

    orlogix::test::RecordingReporter r2;
    FamilyOptions bad_value;
    bad_value.settings["report"] = "maybe";
    EXPECT_EQ(make("echo", bad_value, r2), nullptr);
    EXPECT_EQ(r2.count("error"), 1);
}

TEST(DataFiles, UnknownExtensionsAreRefusedWithTheirName) {
    orlogix::test::RecordingReporter r;
    TrackLog log;
    log.positions.resize(3);
    EXPECT_LT(load_track_file(r, "/nowhere/flight.xyz", log), 0);
    EXPECT_EQ(log.positions.size(), 3u);  // untouched on failure
    ASSERT_EQ(r.count("error"), 1);
    EXPECT_NE(r.last_error().text.find("\".xyz\""), std::string::npos) << r.last_error().text;

    std::vector<Waypoint> waypoints;
    EXPECT_LT(load_waypoint_file(r, "/nowhere/points", waypoints), 0);
    EXPECT_EQ(r.count("error"), 2);
    EXPECT_EQ(r.last_error().title, "Load waypoint file");
}

}  // namespace
}  // namespace orlogix::sim
