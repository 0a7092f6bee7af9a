// The format table as its readers rely on it: each dialog's places are
// 1..n without gaps, every offered format can do what its dialog offers,
// ids are unique within a kind, and the README lists exactly the table.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "formats/format_table.hpp"

namespace orlogix {
namespace {

TEST(FormatTable, DialogPlacesAreDenseAndOfferedFormatsCanDoIt) {
    for (const FormatKind kind : {FormatKind::Track, FormatKind::Waypoint, FormatKind::Airspace}) {
        for (const bool save : {false, true}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + (save ? " save" : " open"));
            const auto formats = dialog_formats(kind, save);
            ASSERT_FALSE(formats.empty());
            for (std::size_t i = 0; i < formats.size(); ++i) {
                ASSERT_NE(formats[i], nullptr) << "no format at place " << i + 1;
                const FileFormat& f = *formats[i];
                EXPECT_NE(save ? f.save_label : f.read_label, nullptr) << f.id;
                EXPECT_TRUE(save ? f.writable() : f.readable()) << f.id;
                EXPECT_EQ(&format_for_filter(kind, save, static_cast<int>(i + 1)), &f);
            }
        }
    }
    std::set<std::pair<int, std::string>> ids;
    for (const FileFormat& f : file_formats()) {
        EXPECT_TRUE(ids.insert({static_cast<int>(f.kind), f.id}).second) << f.id;
        EXPECT_EQ(f.extension[0], '.') << f.id;
        if (f.kind == FormatKind::Waypoint) {
            EXPECT_NE(f.recognise, nullptr) << f.id;
        }
    }
}

TEST(FormatTable, ReadmeListsEveryFormat) {
    std::ifstream in(ORLOGIX_TEST_DATA "/../../README.md");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find(format_list_text()), std::string::npos)
        << "README.md should list the formats as orlogix --help does:\n"
        << format_list_text();
}

}  // namespace
}  // namespace orlogix
