// The tag tokenizer, the structure walker's rules and texts, attribute lookup
// and escaping.
#include <gtest/gtest.h>

#include <random>

#include "formats/xml/escape.hpp"
#include "formats/xml/number.hpp"
#include "formats/xml/tokenizer.hpp"
#include "formats/xml/walker.hpp"

namespace orlogix {
namespace {

TEST(XmlTokenizer, SplitsTagsAttributesAndData) {
    XmlTokenizer t("<?xml version=\"1.0\"?>\r\n<a x='1'>\r\n  text here <b/></a>");
    XmlToken k = t.next();
    EXPECT_EQ(k.kind, XmlTokenKind::Tag);
    EXPECT_EQ(k.name, "?xml");
    k = t.next();
    EXPECT_EQ(k.name, "a");
    EXPECT_TRUE(k.has_attributes);
    EXPECT_EQ(k.attributes, "x='1'");
    EXPECT_FALSE(k.has_data);
    k = t.next();
    EXPECT_EQ(k.kind, XmlTokenKind::EmptyElement);
    EXPECT_EQ(k.name, "b");
    EXPECT_TRUE(k.has_data);
    EXPECT_EQ(k.data, "text here ");  // leading whitespace skipped, trailing kept
    k = t.next();
    EXPECT_EQ(k.name, "/a");
    EXPECT_FALSE(k.has_data);
    EXPECT_EQ(t.next().kind, XmlTokenKind::EndOfText);
}

TEST(XmlTokenizer, CommentsAndCdataEndAtTheirOwnClosers) {
    XmlTokenizer t("<!---a > b--->x<![CDATA[ <not> a tag ]] ]]><c>");
    XmlToken k = t.next();
    EXPECT_EQ(k.name, "!---a > b---");
    k = t.next();
    EXPECT_EQ(k.name, "![CDATA[ <not> a tag ]] ]]");
    EXPECT_EQ(k.data, "x");
    EXPECT_EQ(t.next().name, "c");
}

TEST(XmlTokenizer, TextEndingInsideATag) {
    XmlTokenizer t("<a><b attr=\"x");
    EXPECT_EQ(t.next().name, "a");
    EXPECT_EQ(t.next().kind, XmlTokenKind::EndInsideTag);
    XmlTokenizer c("<a><!-- open comment -> ");
    c.next();
    EXPECT_EQ(c.next().kind, XmlTokenKind::EndInsideTag);
}

TEST(XmlTokenizer, OffsetsPointAtTheTag) {
    const std::string_view text = "  <Folder>x</Folder>";
    XmlTokenizer t(text);
    XmlToken k = t.next();
    EXPECT_EQ(k.offset, 2u);
    EXPECT_EQ(k.end_offset, 10u);
    k = t.next();
    EXPECT_EQ(text.substr(k.offset, k.end_offset - k.offset), "</Folder>");
}

TEST(XmlAttribute, FindsWholeNamesOnly) {
    std::string v;
    const std::string_view attrs = "minlat=\"1\" note='lat=\"9\"' lat=\"45.5\" lon='7'";
    ASSERT_EQ(xml_attribute(attrs, "lat", v), 0);
    EXPECT_EQ(v, "45.5");
    ASSERT_EQ(xml_attribute(attrs, "lon", v), 0);
    EXPECT_EQ(v, "7");
    EXPECT_EQ(xml_attribute(attrs, "ele", v), -1);
    EXPECT_EQ(xml_attribute("lat = \"1\"", "lat", v), -1);  // the value must follow "=" directly
    ASSERT_EQ(xml_attribute("t=\"abcdef\"", "t", v, 3), 0);
    EXPECT_EQ(v, "abc");
}

TEST(XmlEscape, EscapesMarkupAndRoundTrips) {
    const std::string text = "A&B <C> \"d\" 'e' \xC3\xA9";
    EXPECT_EQ(xml_escape(text), "A&amp;B &lt;C&gt; &quot;d&quot; &apos;e&apos; \xC3\xA9");
    EXPECT_EQ(xml_unescape(xml_escape(text)), text);
    EXPECT_EQ(xml_unescape("&#65;&#x42;&unknown;&amp"), "AB&unknown;&amp");
    // Bytes no XML file may hold become "?".
    EXPECT_EQ(xml_escape(std::string("a\x01" "b\xFF", 4)), "a?b?");
    EXPECT_TRUE(valid_utf8("gr\xC3\xBC\xC3\x9F"));
    EXPECT_FALSE(valid_utf8("\xC3"));
    EXPECT_FALSE(valid_utf8("\xED\xA0\x80"));  // a surrogate
}

TEST(XmlNumber, StrictForms) {
    double d = 0;
    EXPECT_EQ(parse_decimal("-7.25", d), 0);
    EXPECT_DOUBLE_EQ(d, -7.25);
    EXPECT_EQ(parse_decimal("12", d), 0);
    for (const char* bad : {"", "-", ".5", "1e5", "0x10", "1.2.3", "nan", "inf", " 1"}) EXPECT_EQ(parse_decimal(bad, d), -1) << bad;
    int32_t i = 0;
    EXPECT_EQ(parse_int32("-2147483648", i), 0);
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_EQ(parse_int32("2147483648", i), -1);
    EXPECT_EQ(parse_int32("99999999999", i), -1);
    EXPECT_EQ(parse_int32("+5", i, false), -1);
}

// Records what the walker reports, for checking paths and depths.
class Recorder : public XmlHandler {
public:
    std::string log;
    int start_tag(const XmlToken& t, int depth) override {
        log += "+" + std::string(t.name) + std::to_string(depth);
        return 0;
    }
    int end_tag(std::string_view name, const XmlToken& t, int depth) override {
        log += "-" + std::string(name) + std::to_string(depth);
        if (t.has_data) log += "[" + std::string(t.data) + "]";
        return 0;
    }
};

int walk(std::string_view text, std::string& error, bool declaration = false, std::string* log = nullptr) {
    Recorder r;
    XmlWalkOptions o;
    o.require_declaration = declaration;
    const int rc = xml_walk(text, o, r, error);
    if (log) *log = r.log;
    return rc;
}

TEST(XmlWalker, DepthsDataAndSkippedTags) {
    std::string error, log;
    ASSERT_EQ(walk("\xEF\xBB\xBF<?xml version=\"1.0\"?><!DOCTYPE x><a><!-- c --><b>1</b><c/>"
                   "<d><![CDATA[x]]></d></a>",
                   error, true, &log),
              kXmlOk)
        << error;
    EXPECT_EQ(log, "+a1+b2-b2[1]+c2-c2+d2-d2-a1");
}

TEST(XmlWalker, EveryBrokenRuleHasItsText) {
    struct Case {
        const char* text;
        int code;
        const char* message;
    } cases[] = {
        {"", kXmlNoTags, "No tags found"},
        {"just text", kXmlNoTags, "No tags found"},
        {"\xFF\xFE<\0a", kXmlBadBom, "Unknown BOM before opening tag"},
        {"<a>x<b></b></a>", kXmlDataBeforeTag, "Data found before tag <b>"},
        {"<a><b></a>", kXmlMismatchedEnd, "Tag <b> is terminated by <a>"},
        {"<a></a></b>", kXmlRootLevelEnd, "Terminating tag <b> encountered at root level"},
        {"<a><b>", kXmlOpenAtEnd, "Nesting level not zero at end-of-file"},
        {"<a><b></b", kXmlEndInsideTag, "End-of-file encountered within a tag"},
        {"<a></a>trailing", kXmlDataAfterLast, "Data found after last tag"},
        {"<a><b>text", kXmlOpenAtEnd, "Nesting level not zero at end-of-file"},
        {"<abcdefghijklmnopqrstuvwxyz></abc>", kXmlMismatchedEnd,
         "Tag <abcdefghijklmnopqrst...> is terminated by <abc>"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(walk(c.text, error), c.code) << c.text;
        EXPECT_EQ(error, c.message) << c.text;
    }
}

TEST(XmlWalker, NestingLimitIsNineteen) {
    std::string deep, error;
    for (int i = 0; i < 19; ++i) deep += "<e>";
    for (int i = 0; i < 19; ++i) deep += "</e>";
    EXPECT_EQ(walk(deep, error), kXmlOk) << error;
    EXPECT_EQ(walk("<f>" + deep + "</f>", error), kXmlNestingLimit);
    EXPECT_EQ(error, "Nesting limit exceeded at tag <e>");
}

TEST(XmlWalker, DeclarationRule) {
    std::string error;
    EXPECT_EQ(walk("<gpx></gpx>", error, true), kXmlMissingDeclaration);
    EXPECT_EQ(error, "Missing opening tag '<?xml>'");
    EXPECT_EQ(walk("<gpx></gpx>", error, false), kXmlOk);
    EXPECT_EQ(walk("<?xml?><gpx></gpx>", error, true), kXmlOk) << error;
    EXPECT_EQ(walk("<?xml version=\"1.0\"?><gpx></gpx>", error, true), kXmlOk) << error;
}

TEST(XmlWalker, RandomBytesNeverCrashOrHang) {
    std::mt19937 rng(11);
    const std::string alphabet = "<>/!?-[]CDAT =\"'ab\r\n\xEF\xBB\xBF";
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 80, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        std::string error;
        const int rc = walk(text, error);
        EXPECT_TRUE(rc == kXmlOk || !error.empty()) << text;
    }
}

}  // namespace
}  // namespace orlogix
