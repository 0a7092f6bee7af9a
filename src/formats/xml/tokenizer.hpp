#pragma once
// The small tag tokenizer behind the KML and GPX readers. It is not a general
// XML parser: it splits the text into tags, their attribute text and the
// character data before each tag, and leaves meaning to the readers.
#include <cstddef>
#include <string>
#include <string_view>

namespace orlogix {

enum class XmlTokenKind {
    Tag = 0,          // start tag, end tag ("/name"), comment or CDATA ("!...")
    EmptyElement = 1, // <name .../>: start and end at once
    EndOfText = -1,
    EndInsideTag = -2,
};

struct XmlToken {
    XmlTokenKind kind = XmlTokenKind::EndOfText;
    std::string_view name;        // tag name; "/name" for end tags, "!--..." or "![CDATA[..." for the skipped kinds
    std::string_view attributes;  // text after the name's first whitespace, without a trailing "/"
    bool has_attributes = false;
    std::string_view data;        // character data before the tag (leading whitespace skipped)
    bool has_data = false;
    std::size_t offset = 0;       // offset of "<" in the text (for tags)
    std::size_t end_offset = 0;   // offset just after ">"
};

class XmlTokenizer {
public:
    explicit XmlTokenizer(std::string_view text) : text_(text) {}
    XmlToken next();
    std::size_t position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

inline bool xml_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Each run of blanks, tabs, CR and LF becomes one blank; leading and trailing ones go.
std::string normalise_whitespace(std::string_view text);

// Finds name immediately followed by "=" and a quoted value (double or single
// quotes) in an attribute text; the name must start the text or follow
// whitespace. At most max_length characters of the value are kept. 0, or -1 when absent.
int xml_attribute(std::string_view attributes, std::string_view name, std::string& value,
                  std::size_t max_length = 255);

}  // namespace orlogix
