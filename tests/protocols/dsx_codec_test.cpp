// The DSX codec against bytes written by hand: the open answer, the track
// list lines and their format errors, the command texts.
#include <gtest/gtest.h>

#include <string>

#include "protocols/dsx/commands.hpp"

namespace orlogix::dsx {
namespace {

int parse(const std::string& text, TrackListParser& p) {
    for (const char c : text)
        if (const int e = p.feed(static_cast<uint8_t>(c))) return e;
    return 0;
}

TEST(DsxCodec, OpenAnswerIsMatchedAfterNoiseAndFalseStarts) {
    OpenAnswerMatcher m;
    int matches = 0;
    for (const char c : std::string("xCoCConn\n\r\r\n#Conn\n\r\r\n"))
        matches += m.feed(static_cast<uint8_t>(c)) ? 1 : 0;
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(track_request(7), "F007\r");
    EXPECT_EQ(track_request(123), "F123\r");
    EXPECT_EQ(pilot_text_request(3), "E3\r");
    EXPECT_EQ(pilot_text_write(2, "57"), "H257\r");
    EXPECT_EQ(extra_text_write("CLUB"), "C1CLUB\r");
}

TEST(DsxCodec, TrackListLinesAndTheirErrors) {
    TrackListParser p;
    ASSERT_EQ(parse("#\r\n012 recs n.345\r\n013 recs n.1234567\r\n100 recs n.7 trailing text\n", p), 0);
    ASSERT_EQ(p.entries().size(), 3u);
    EXPECT_EQ(p.entries()[0].number, 12);
    EXPECT_EQ(p.entries()[0].records, 345u);
    EXPECT_EQ(p.entries()[2].number, 100);
    EXPECT_EQ(p.entries()[2].records, 7u);
    EXPECT_EQ(track_choice_line(p.entries()[0]), "012       345");

    struct Case { const char* text; int error; };
    const Case cases[] = {
        {"01x recs n.1\r\n", 1}, {"0123recs n.1\r\n", 2}, {"012 recs m.1\r\n", 3}, {"012 recs n.\r\n", 4},
        {"012 recs n.3a\r\n", 4}, {"012 recs n.12345678\r\n", 5},
    };
    for (const Case& c : cases) {
        TrackListParser q;
        EXPECT_EQ(parse(c.text, q), c.error) << c.text;
    }
    TrackListParser full;
    std::string many;
    for (int i = 0; i < 101; ++i) many += "001 recs n.1\r\n";
    EXPECT_EQ(parse(many, full), 6);
    EXPECT_EQ(full.entries().size(), 100u);
}

}  // namespace
}  // namespace orlogix::dsx
