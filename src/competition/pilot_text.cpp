#include "competition/pilot_text.hpp"

#include "formats/xml/escape.hpp"

namespace orlogix {

std::string clean_pilot_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !out.empty();
            continue;
        }
        if (u < 0x20 || u == 0x7F) continue;
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

std::string cut_characters(std::string_view text, std::size_t max_chars) {
    std::size_t i = 0;
    for (std::size_t n = 0; i < text.size() && n < max_chars; ++n) {
        const std::size_t len = utf8_sequence_length(text, i);
        i += len == 0 ? 1 : len;
    }
    return std::string(text.substr(0, i));
}

std::string cut_bytes(std::string_view text, std::size_t max_bytes) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t len = utf8_sequence_length(text, i);
        const std::size_t step = len == 0 ? 1 : len;
        if (i + step > max_bytes) break;
        i += step;
    }
    return std::string(text.substr(0, i));
}

std::string windows1252_to_utf8(std::string_view text) {
    // 0x80..0x9F; 0 marks the bytes the code page leaves unused.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        char32_t cp = u;
        if (u >= 0x80 && u < 0xA0) cp = kHigh[u - 0x80] ? kHigh[u - 0x80] : 0xFFFD;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

NumberRead read_pilot_number(std::string_view text, int32_t& value) {
    std::size_t i = 0, end = text.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (i < end && blank(text[i])) ++i;
    while (end > i && blank(text[end - 1])) --end;
    if (i == end) return NumberRead::Absent;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i++] == '-';
        while (i < end && blank(text[i])) ++i;
    }
    if (i == end) return NumberRead::Bad;
    int64_t v = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return NumberRead::Bad;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t{INT32_MAX} + 1) return NumberRead::Bad;
    }
    if (negative) {
        // Negative means none, but only where a 32-bit number could say it.
        return v > int64_t{INT32_MAX} + 1 ? NumberRead::Bad : NumberRead::Negative;
    }
    if (v > INT32_MAX) return NumberRead::Bad;
    value = static_cast<int32_t>(v);
    return NumberRead::Ok;
}

std::string pilot_number_text(int64_t n) { return n < 0 ? std::string() : std::to_string(n); }

}  // namespace orlogix
