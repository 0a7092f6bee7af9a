// The Flytec/Brauniger wire basics: requests, the sentence check, the line
// assembler, the product reply and model table, and the track list lines.
// Checksums written out by hand from the documented sentences.
#include <gtest/gtest.h>

#include "core/time.hpp"
#include "protocols/flytec/models.hpp"
#include "protocols/flytec/sentences.hpp"
#include "protocols/flytec/track_list.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::flytec {
namespace {

TEST(FlytecSentences, RequestsGoOutWithTheirXon) {
    EXPECT_EQ(product_request(), "\x11$PBRSNP,*21\r\n");
    EXPECT_EQ(track_list_request(), "\x11$PBRTL,*74\r\n");
    EXPECT_EQ(newest_track_request(), "\x11$PBRIGC,*21\r\n");
    EXPECT_EQ(waypoints_request(), "\x11$PBRWPS,*38\r\n");
    EXPECT_EQ(ctr_list_request(), "\x11$PBRCTR,*29\r\n");
    EXPECT_EQ(track_request(5), "\x11$PBRTR,05*6F\r\n");
    EXPECT_EQ(track_request(12), "\x11$PBRTR,12*69\r\n");
    EXPECT_EQ(track_request(30), "\x11$PBRTR,30*69\r\n");
    EXPECT_EQ(track_request(31), "");
    EXPECT_EQ(track_request(-1), "");
}

TEST(FlytecSentences, CheckSentence) {
    const std::tuple<const char*, std::size_t, int> cases[] = {
        {"$PBRTR,05*6F", 10, 2},       {"$PBRTR,05*6f", 10, 2},   {"$PBRTL,*74", 10, 2},
        {"$PBRTR,05*6F", 1, 1},        // the count never passes the maximum
        {"PBRTR,05*6F", 10, kNoDollar}, {"$PBRTR,05", 10, kNoStar}, {"$PBRTR,05*6G", 10, kBadDigit},
        {"$PBRTR,05*6", 10, kBadDigit}, {"$PBRTR,05*6F ", 10, kTrailing}, {"$PBRTR,05*6E", 10, kMismatch},
    };
    for (const auto& [text, max, result] : cases) {
        std::vector<std::string_view> f;
        EXPECT_EQ(check_sentence(text, max, f), result) << text;
        EXPECT_EQ(f.size(), static_cast<std::size_t>(std::max(result, 0))) << text;
    }
    std::vector<std::string_view> f;
    ASSERT_EQ(check_sentence("$PBRTR,05*6F", 10, f), 2);
    EXPECT_EQ(f, (std::vector<std::string_view>{"$PBRTR", "05"}));
}

TEST(FlytecSentences, FlowControlAndLines) {
    EXPECT_EQ(drop_flow_control("\x11$PB\x13RTL\x11"), "$PBRTL");
    LineAssembler a(12);
    std::vector<std::string> lines;
    // Noise, a line cut by a new "$", a line spoiled after its CR, an over-long line kept to 12 characters.
    for (char c : std::string("xx$PBR$PBRTR,05*6F\r\n$ABC\rX$PBRTL,01,02,03,04*00\r\n"))
        if (a.feed(c)) lines.emplace_back(a.line());
    EXPECT_EQ(lines, (std::vector<std::string>{"$PBRTR,05*6F", "$PBRTL,01,02"}));
}

TEST(FlytecModels, ProductReplyAndModelTable) {
    ProductInfo p;
    ASSERT_EQ(parse_product_reply("$PBRSNP,COMPEO+, Hans  Muster ,12345,2.20*0E", p), ProductReply::Taken);
    EXPECT_EQ(p.model, "COMPEO+");
    EXPECT_EQ(p.pilot, "Hans Muster");
    EXPECT_EQ(p.serial, "12345");
    EXPECT_EQ(p.version, "2.20");
    EXPECT_EQ(instrument_description(p), "COMPEO+ 12345 2.20");
    EXPECT_EQ(device_identity(p), "Compeo+: 12345");
    EXPECT_EQ(parse_product_reply("$PBRSNP,COMPEO+,,12345,2.20*12", p), ProductReply::NoPilot);
    EXPECT_EQ(parse_product_reply("$PBRSNP,COMPEO+,X,12345*78", p), ProductReply::NotProduct);
    EXPECT_EQ(parse_product_reply("$PBRSNX,COMPEO+,X,12345,2.20*42", p), ProductReply::NotProduct);
    EXPECT_EQ(parse_product_reply("$PBRSNP,COMPEO+, Hans  Muster ,12345,2.20*0F", p), ProductReply::NotProduct);

    const std::pair<const char*, const char*> names[] = {
        {"COMPETINO+", "Competino+"}, {"IQ-COMPEO+", "Compeo+"}, {"6015", "Unknown"}, {"FLYTEC 6030", "6030"},
        {"COMPEO", "Compeo"},         {"GALILEO 2", "Galileo"},  {"COMPETINO", "Competino"},
    };
    for (const auto& [model, name] : names) EXPECT_EQ(product_name(model), name) << model;

    const std::tuple<const char*, const char*, bool> lists[] = {
        {"COMPEO", "2.19", false}, {"COMPEO", "2.20", true},  {"5030", "3.00", true}, {"COMPETINO", "1.13", false},
        {"5020", "1.14", true},    {"COMPEO+", "0.01", true}, {"6020", "", true},     {"IQ-COMPEO+", "9.99", false},
    };
    for (const auto& [model, version, list] : lists) EXPECT_EQ(supports_track_list(model, version), list) << model << version;
}

TEST(FlytecTrackList, LinesWithTheirDateAndTimeRules) {
    TrackListLine l;
    ASSERT_EQ(parse_track_list_line("$PBRTL,02,00,15.06.19,09:00:00,1:00:00*44", l), TrackListError::None);
    EXPECT_EQ(l.count, 2u);
    EXPECT_EQ(l.index, 0u);
    EXPECT_EQ(l.start, time_from_calendar(2019, 6, 15, 9, 0, 0));
    EXPECT_EQ(l.duration, 3600u);
    ASSERT_EQ(parse_track_list_line("$PBRTL,02,01,29.02.20,12:00:00,1:30:05*48", l), TrackListError::None);
    EXPECT_EQ(l.start, time_from_calendar(2020, 2, 29, 12, 0, 0));
    EXPECT_EQ(l.duration, 5405u);

    // Bodies framed by the sentence kit, so that only the field is at fault.
    using E = TrackListError;
    const std::pair<const char*, E> cases[] = {
        {"PBRTL,02,00,15.06.19,09:00:00", E::TooFewParameters}, {"PBRTX,02,00,15.06.19,09:00:00,1:00:00", E::BadIdentifier},
        {"PBRTL,2x,00,15.06.19,09:00:00,1:00:00", E::BadCount}, {"PBRTL,02,99999999999,15.06.19,09:00:00,1:00:00", E::BadIndex},
        {"PBRTL,02,00,29.02.19,09:00:00,1:00:00", E::BadDate},  {"PBRTL,02,00,31.04.19,09:00:00,1:00:00", E::BadDate},
        {"PBRTL,02,00,15.6.19,09:00:00,1:00:00", E::BadDate},   {"PBRTL,02,00,15.13.19,09:00:00,1:00:00", E::BadDate},
        {"PBRTL,02,00,15.06.19,24:00:00,1:00:00", E::BadTime},  {"PBRTL,02,00,15.06.19,09:00:00x,1:00:00", E::BadTime},
        {"PBRTL,02,00,15.06.19,09:00,1:00:00", E::BadTime},     {"PBRTL,02,00,15.06.19,09:00:00,1:60:00", E::BadDuration},
    };
    auto line = [](std::string_view body) { return nmea_sentence(body).substr(0, body.size() + 4); };
    for (const auto& [body, error] : cases) EXPECT_EQ(parse_track_list_line(line(body), l), error) << body;
    EXPECT_STREQ(track_list_error_text(E::BadDuration), "Bad track duration parameter");

    // Blanks around the numbers and an empty count are allowed; an index above 30 is ignored.
    ASSERT_EQ(parse_track_list_line(line("PBRTL,, 3 ,15.06.19, 9 : 5 : 1 ,0:00:10"), l), E::None);
    EXPECT_EQ(l.count, 0u);
    EXPECT_EQ(l.start, time_from_calendar(2019, 6, 15, 9, 5, 1));
    TrackList list;
    list.store(l);
    l.index = 31;
    list.store(l);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.mask(), 1u << 3);
}

}  // namespace
}  // namespace orlogix::flytec
