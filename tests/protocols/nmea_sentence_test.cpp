// The sentence kit. The checksums are those printed with published example
// sentences (the NMEA 0183 GGA, RMC, GSA and GLL examples, a Magellan end
// command, the Flytec track requests of the documented protocol), not
// computed by the kit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocols/nmea/sentence.hpp"

namespace orlogix {
namespace {

struct Published {
    const char* line;     // as printed, without CR LF
    uint8_t checksum;
};

const Published kPublished[] = {
    {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", 0x47},
    {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A", 0x6A},
    {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39", 0x39},
    {"$GPGLL,4916.45,N,12311.12,W,225444,A,*1D", 0x1D},
    {"$PMGNCMD,END*3D", 0x3D},
    {"$PBRTR,05*6F", 0x6F},
    {"$PBRTR,12*69", 0x69},
};

std::string_view body(std::string_view line) { return line.substr(1, line.size() - 4); }

TEST(NmeaSentence, ChecksumsOfPublishedSentences) {
    for (const Published& p : kPublished) {
        EXPECT_EQ(nmea_checksum(body(p.line)), p.checksum) << p.line;
        EXPECT_EQ(nmea_sentence(body(p.line)), std::string(p.line) + "\r\n");
        std::string_view text;
        ASSERT_TRUE(nmea_checksum_ok(p.line, text)) << p.line;
        EXPECT_EQ(text, body(p.line));
    }
}

TEST(NmeaSentence, WholeLineCheck) {
    std::string_view text = "unchanged";
    EXPECT_TRUE(nmea_checksum_ok("$PMGNCMD,END*3d", text));   // either case
    EXPECT_FALSE(nmea_checksum_ok("$PMGNCMD,END*3E", text));
    EXPECT_FALSE(nmea_checksum_ok("$PMGNCMD,END*3", text));
    EXPECT_FALSE(nmea_checksum_ok("PMGNCMD,END*3D", text));
    EXPECT_FALSE(nmea_checksum_ok("$PMGNCMD,END*3G", text));
    EXPECT_FALSE(nmea_checksum_ok("$*00x", text));
    EXPECT_TRUE(nmea_checksum_ok("$*00", text));
    EXPECT_EQ(text, "");
}

std::vector<std::string> sentences(SentenceAssembler& a, std::string_view bytes,
                                   std::vector<SentenceAssembler::Result>* refused = nullptr) {
    std::vector<std::string> out;
    for (char c : bytes) {
        const auto r = a.feed(c);
        if (r == SentenceAssembler::Result::Sentence) out.emplace_back(a.text());
        else if (r != SentenceAssembler::Result::More && refused) refused->push_back(r);
    }
    return out;
}

TEST(SentenceAssembler, SkipsNoiseAndRestartsAtEveryDollar) {
    SentenceAssembler a;
    using R = SentenceAssembler::Result;
    std::vector<R> refused;
    const auto got = sentences(a,
                               std::string("\x00\xff garbage\r\n$PMGN", 17) +   // cut off by the next "$"
                                   "$PMGNCMD,END*3D\r\n" +
                                   "$PMGNCMD,END*3E\r\n" +                     // wrong checksum
                                   "$PMGNCMD,END*3\r\n" +                      // one digit
                                   "$PMGNCMD,END\r\n" +                        // no checksum at all
                                   "$PMGNCMD,END*3Dx" +                        // no line end
                                   "$PBRTR,05*6f\r\n",                         // lower-case digits
                               &refused);
    EXPECT_EQ(got, (std::vector<std::string>{"PMGNCMD,END", "PBRTR,05"}));
    EXPECT_EQ(refused, (std::vector<R>{R::Mismatch, R::BadDigit, R::NoChecksum, R::BadLineEnd}));
}

TEST(SentenceAssembler, OverLongBodiesAreDroppedAndTheNextOneTaken) {
    SentenceAssembler a(20);
    std::vector<SentenceAssembler::Result> refused;
    const auto got =
        sentences(a, "$" + std::string(5000, 'A') + "*00\r\n$GPGLL,4916.45,N*11\r\n$PBRTR,05*6F\r\n", &refused);
    // The second body is 15 characters: within the limit (the checksum is not).
    EXPECT_EQ(got, (std::vector<std::string>{"PBRTR,05"}));
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[0], SentenceAssembler::Result::TooLong);
    EXPECT_EQ(refused[1], SentenceAssembler::Result::Mismatch);
    EXPECT_LE(a.text().size(), 20u);

    SentenceAssembler exact(8);
    EXPECT_EQ(sentences(exact, "$PBRTR,05*6F\r\n$PBRTR,005*5F\r\n"), std::vector<std::string>{"PBRTR,05"});
}

TEST(SentenceAssembler, UpperCaseDigitsOnlyWhenAsked) {
    SentenceAssembler strict(100, false);
    std::vector<SentenceAssembler::Result> refused;
    EXPECT_TRUE(sentences(strict, "$PBRTR,05*6f\r\n", &refused).empty());
    EXPECT_EQ(refused, std::vector<SentenceAssembler::Result>{SentenceAssembler::Result::BadDigit});
    EXPECT_EQ(sentences(strict, "$PBRTR,05*6F\r\n"), std::vector<std::string>{"PBRTR,05"});
}

TEST(NmeaFields, SplitAtEveryComma) {
    EXPECT_EQ(nmea_fields("GPGLL,4916.45,N,,A,"),
              (std::vector<std::string_view>{"GPGLL", "4916.45", "N", "", "A", ""}));
    EXPECT_EQ(nmea_fields(""), std::vector<std::string_view>{""});
    EXPECT_EQ(nmea_fields("PMGNCMD"), std::vector<std::string_view>{"PMGNCMD"});
}

TEST(NmeaFields, CleanedTextsCannotBreakASentence) {
    struct Case {
        const char* in;
        std::size_t max;
        const char* out;
    };
    const Case cases[] = {
        {"Col du Mont, Nord", 40, "Col du Mont  Nord"},
        {"A*B$C\r\nD\tE", 40, "A B C  D E"},
        {"Sommet \xc3\xa9t\xc3\xa9", 40, "Sommet  t "},   // one blank per UTF-8 character
        {"Launch-2 (N)", 6, "Launch"},
        {"\x7f\x01ok", 40, "  ok"},
    };
    for (const Case& k : cases) EXPECT_EQ(nmea_clean_field(k.in, k.max), k.out) << k.in;
    EXPECT_EQ(nmea_clean_field("a,b", 10, '_'), "a_b");
    // A cleaned field goes into a sentence that reads back as the same fields.
    const std::string name = nmea_clean_field("Wp,1*$\r\n", 20);
    std::string_view text;
    const std::string line = nmea_sentence("PMGNWPL," + name + ",X");
    ASSERT_TRUE(nmea_checksum_ok(std::string_view(line).substr(0, line.size() - 2), text));
    EXPECT_EQ(nmea_fields(text).size(), 3u);
}

}  // namespace
}  // namespace orlogix
