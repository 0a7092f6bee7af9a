#pragma once
// The structure rules shared by the KML and GPX readers and the logbook folder
// locator: tags must nest (at most 19 deep), character data may only stand
// directly before an end tag, and nothing may follow the last tag. The walker
// reports the first broken rule with its reader's text; what the elements mean
// is left to a handler.
#include <string>
#include <string_view>

#include "formats/xml/tokenizer.hpp"

namespace orlogix {

inline constexpr int kXmlMaxDepth = 19;

// Distinct failure codes, so that callers needing a code (the folder locator)
// can tell them apart.
enum XmlWalkCode {
    kXmlOk = 0,
    kXmlNoTags = -1,
    kXmlBadBom = -2,
    kXmlNestingLimit = -3,
    kXmlDataBeforeTag = -4,
    kXmlMismatchedEnd = -5,
    kXmlRootLevelEnd = -6,
    kXmlOpenAtEnd = -7,
    kXmlEndInsideTag = -8,
    kXmlDataAfterLast = -9,
    kXmlMissingDeclaration = -10,
    kXmlHandlerError = -11,
};

struct XmlWalkOptions {
    // GPX files must begin with the declaration; KML files may not have one.
    bool require_declaration = false;
    std::string_view bom_message = "Unknown BOM before opening tag";
};

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    // depth: the element's level, 1 for the root. Return 0 to go on, 1 to
    // stop the walk early (success), -1 after filling error to fail it.
    virtual int start_tag(const XmlToken& tag, int depth) = 0;
    // name without "/"; data is the character data directly before the end tag.
    virtual int end_tag(std::string_view name, const XmlToken& tag, int depth) = 0;
    std::string error;
};

// 0 on success (also when the handler stopped the walk), else an XmlWalkCode
// with the message in error.
int xml_walk(std::string_view text, const XmlWalkOptions& options, XmlHandler& handler, std::string& error);

// A tag name for a message: cut to 20 characters followed by "...".
std::string xml_message_name(std::string_view name);

}  // namespace orlogix
