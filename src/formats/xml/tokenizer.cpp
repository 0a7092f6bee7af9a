#include "formats/xml/tokenizer.hpp"

#include <algorithm>

namespace orlogix {

XmlToken XmlTokenizer::next() {
    XmlToken t;
    while (pos_ < text_.size() && xml_space(text_[pos_])) ++pos_;
    const std::size_t lt = text_.find('<', pos_);
    if (lt != pos_) {
        const std::size_t end = lt == std::string_view::npos ? text_.size() : lt;
        if (end > pos_) {
            t.data = text_.substr(pos_, end - pos_);
            t.has_data = true;
        }
    }
    if (lt == std::string_view::npos) {
        pos_ = text_.size();
        t.kind = XmlTokenKind::EndOfText;
        return t;
    }
    t.offset = lt;
    const std::size_t start = lt + 1;
    const std::string_view rest = text_.substr(start);

    std::size_t close;  // offset of ">" within rest
    if (rest.starts_with("!--")) {
        close = rest.find("-->", 3);
        if (close != std::string_view::npos) close += 2;
    } else if (rest.starts_with("![CDATA[")) {
        close = rest.find("]]>", 8);
        if (close != std::string_view::npos) close += 2;
    } else {
        close = rest.find('>');
    }
    if (close == std::string_view::npos) {
        pos_ = text_.size();
        t.kind = XmlTokenKind::EndInsideTag;
        return t;
    }
    pos_ = start + close + 1;
    t.end_offset = pos_;
    std::string_view inner = rest.substr(0, close);
    t.kind = XmlTokenKind::Tag;
    if (inner.starts_with("!")) {
        t.name = inner;
        return t;
    }
    if (inner.size() > 1 && inner.front() == '?' && inner.back() == '?') {
        inner.remove_suffix(1);  // "<?xml?>": the closing "?" is no part of the name
    } else if (!inner.empty() && inner.back() == '/') {
        inner.remove_suffix(1);
        t.kind = XmlTokenKind::EmptyElement;
    }
    std::size_t ws = 0;
    while (ws < inner.size() && !xml_space(inner[ws])) ++ws;
    t.name = inner.substr(0, ws);
    if (ws < inner.size()) {
        t.attributes = inner.substr(ws + 1);
        t.has_attributes = true;
    }
    return t;
}

std::string normalise_whitespace(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool pending_blank = false;
    for (char c : text) {
        if (xml_space(c)) {
            pending_blank = !out.empty();
            continue;
        }
        if (pending_blank) out += ' ';
        pending_blank = false;
        out += c;
    }
    return out;
}

int xml_attribute(std::string_view attributes, std::string_view name, std::string& value, std::size_t max_length) {
    // Walks name="value" pairs in order, so a name inside another value never matches.
    std::size_t p = 0;
    const std::size_t n = attributes.size();
    while (p < n) {
        while (p < n && xml_space(attributes[p])) ++p;
        const std::size_t name_start = p;
        while (p < n && attributes[p] != '=' && !xml_space(attributes[p])) ++p;
        const std::string_view found = attributes.substr(name_start, p - name_start);
        if (p + 1 < n && attributes[p] == '=' && (attributes[p + 1] == '"' || attributes[p + 1] == '\'')) {
            const char quote = attributes[p + 1];
            const std::size_t value_start = p + 2;
            const std::size_t end = attributes.find(quote, value_start);
            if (end == std::string_view::npos) return -1;
            if (found == name) {
                value.assign(attributes.substr(value_start, std::min(end - value_start, max_length)));
                return 0;
            }
            p = end + 1;
        } else if (p < n && !xml_space(attributes[p])) {
            ++p;  // a stray "=" without a quoted value
        }
    }
    return -1;
}

}  // namespace orlogix
