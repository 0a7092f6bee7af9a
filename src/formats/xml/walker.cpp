#include "formats/xml/walker.hpp"

#include <vector>

namespace orlogix {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool only_bom(std::string_view data) {
    if (!data.starts_with(kUtf8Bom)) return false;
    for (char c : data.substr(kUtf8Bom.size()))
        if (!xml_space(c)) return false;
    return true;
}

int fail(std::string& error, int code, std::string text) {
    error = std::move(text);
    return code;
}

}  // namespace

std::string xml_message_name(std::string_view name) {
    if (name.size() <= 20) return std::string(name);
    return std::string(name.substr(0, 20)) + "...";
}

int xml_walk(std::string_view text, const XmlWalkOptions& options, XmlHandler& handler, std::string& error) {
    XmlTokenizer tokens(text);
    std::vector<std::string_view> open;
    bool first = true;

    for (;;) {
        XmlToken t = tokens.next();
        if (first) {
            if (t.kind == XmlTokenKind::EndOfText) return fail(error, kXmlNoTags, "No tags found");
            if (t.has_data && !only_bom(t.data)) return fail(error, kXmlBadBom, std::string(options.bom_message));
            if (t.kind == XmlTokenKind::EndInsideTag)
                return fail(error, kXmlEndInsideTag, "End-of-file encountered within a tag");
            if (options.require_declaration && t.name != "?xml")
                return fail(error, kXmlMissingDeclaration, "Missing opening tag '<?xml>'");
            first = false;
            t.has_data = false;
            t.data = {};
        }

        if (t.kind == XmlTokenKind::EndInsideTag)
            return fail(error, kXmlEndInsideTag, "End-of-file encountered within a tag");
        if (t.kind == XmlTokenKind::EndOfText) {
            if (!open.empty()) return fail(error, kXmlOpenAtEnd, "Nesting level not zero at end-of-file");
            if (t.has_data) return fail(error, kXmlDataAfterLast, "Data found after last tag");
            return kXmlOk;
        }
        // Comments, CDATA and the declaration (or any processing instruction)
        // never nest, so they are passed over.
        if (t.name.starts_with("!") || t.name.starts_with("?")) continue;

        if (t.name.starts_with("/")) {
            const std::string_view name = t.name.substr(1);
            if (open.empty())
                return fail(error, kXmlRootLevelEnd,
                            "Terminating tag <" + xml_message_name(name) + "> encountered at root level");
            if (open.back() != name)
                return fail(error, kXmlMismatchedEnd,
                            "Tag <" + xml_message_name(open.back()) + "> is terminated by <" + xml_message_name(name) +
                                ">");
            const int rc = handler.end_tag(name, t, static_cast<int>(open.size()));
            if (rc < 0) return fail(error, kXmlHandlerError, handler.error);
            if (rc > 0) return kXmlOk;
            open.pop_back();
            continue;
        }

        if (open.size() >= static_cast<std::size_t>(kXmlMaxDepth))
            return fail(error, kXmlNestingLimit, "Nesting limit exceeded at tag <" + xml_message_name(t.name) + ">");
        if (t.has_data)
            return fail(error, kXmlDataBeforeTag, "Data found before tag <" + xml_message_name(t.name) + ">");
        open.push_back(t.name);
        const int depth = static_cast<int>(open.size());
        int rc = handler.start_tag(t, depth);
        if (rc == 0 && t.kind == XmlTokenKind::EmptyElement) rc = handler.end_tag(t.name, t, depth);
        if (rc < 0) return fail(error, kXmlHandlerError, handler.error);
        if (rc > 0) return kXmlOk;
        if (t.kind == XmlTokenKind::EmptyElement) open.pop_back();
    }
}

}  // namespace orlogix
