#include "core/names.hpp"

namespace orlogix {

namespace {

constexpr std::size_t kIdLength = 6;
constexpr std::size_t kCommentLength = 40;

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_id_char(char c) { return is_upper(c) || is_digit(c) || c == '-'; }
char raise(char c) { return is_lower(c) ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

int normalise_id(std::string_view text, IdMode mode, std::string& out) {
    std::string id;
    std::size_t i = 0;
    for (; i < text.size() && id.size() < kIdLength && text[i] != ' '; ++i) {
        const char c = text[i];
        if (is_id_char(c)) {
            id += c;
        } else if (mode == IdMode::Strict) {
            return -1;
        } else {
            id += is_lower(c) ? raise(c) : '-';
        }
    }
    if (mode == IdMode::Strict) {
        // Strict: what follows the identifier may only be blanks.
        for (; i < text.size(); ++i)
            if (text[i] != ' ') return -1;
    }
    out = std::move(id);
    return 0;
}

int normalise_id_strict(std::string_view text, std::string& out) {
    if (text.size() > kIdLength) return -1;
    std::string id;
    for (const char c : text) {
        const char r = raise(c);
        if (!is_id_char(r)) return -1;
        id += r;
    }
    out = std::move(id);
    return 0;
}

std::string normalise_comment(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string out;
    for (; i < text.size() && out.size() < kCommentLength; ++i) {
        const char c = text[i];
        out += (is_upper(c) || is_lower(c) || is_digit(c) || c == ' ') ? c : '-';
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string read_field_text(std::string_view field, std::size_t max_length) {
    std::size_t line_end = 0;
    while (line_end < field.size() && line_end < max_length && field[line_end] != '\r' && field[line_end] != '\n')
        ++line_end;
    std::string out;
    bool pending_space = false;
    for (std::size_t i = 0; i < line_end; ++i) {
        if (field[i] == ' ') {
            pending_space = !out.empty();
            continue;
        }
        if (pending_space) out += ' ';
        pending_space = false;
        out += field[i];
    }
    return out;
}

}  // namespace orlogix
