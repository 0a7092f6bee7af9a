#include <gtest/gtest.h>

#include <string>

#include "core/file_names.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

TEST(FileNames, ExtensionIsTheLastComponentsLowerCased) {
    const struct {
        const char* path;
        const char* extension;
    } cases[] = {
        {"/a/b/Flight.IGC", ".igc"}, {"w.tar.wpt", ".wpt"}, {"/some.dir/noext", ""}, {"noext", ""},
        {"dir/.hidden", ""},         {"a.", "."},           {"..", ""},               {"x/y.Kml", ".kml"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lower_extension(c.path), c.extension) << c.path;
        EXPECT_EQ(has_extension(c.path), *c.extension != '\0') << c.path;
    }
    EXPECT_EQ(with_extension("/d.x/f.IGC", ".kml"), "/d.x/f.kml");
    EXPECT_EQ(with_extension("/d.x/f", ".kml"), "/d.x/f.kml");
}

TEST(FileNames, CompletionAddsTheExtensionOnlyWhereMissingAndRefusesLongNames) {
    test::RecordingReporter r;
    std::string path = "flight";
    EXPECT_EQ(complete_file_name(r, path, ".plt"), 0);
    EXPECT_EQ(path, "flight.plt");
    EXPECT_EQ(complete_file_name(r, path, ".gpx"), 0);
    EXPECT_EQ(path, "flight.plt");
    path = "plain";
    EXPECT_EQ(complete_file_name(r, path, nullptr), 0);
    EXPECT_EQ(path, "plain");
    EXPECT_EQ(r.count("error"), 0);

    // The limit counts the completed name: 252 + ".plt" fits, 253 does not.
    path.assign(252, 'a');
    EXPECT_EQ(complete_file_name(r, path, ".plt"), 0);
    path.assign(253, 'a');
    EXPECT_EQ(complete_file_name(r, path, ".plt"), -1);
    EXPECT_EQ(path.size(), 253u);
    EXPECT_EQ(r.last_error().title, "Error opening file");
    EXPECT_EQ(r.last_error().text, "Too long file name");
}

}  // namespace
}  // namespace orlogix
