#include "protocols/flytec/fields.hpp"

#include <cstdio>

#include "core/time.hpp"

namespace orlogix::flytec {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

bool parse_unsigned(std::string_view field, uint32_t max, uint32_t& out) {
    const std::string_view digits = trim_blanks(field);
    uint64_t v = 0;
    for (char c : digits) {
        if (!is_digit(c)) return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > max) return false;   // also keeps the sum from overflowing
    }
    out = static_cast<uint32_t>(v);
    return true;
}

bool parse_time_of_day(std::string_view field, uint32_t& seconds) {
    uint32_t part[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::size_t colon = i < 2 ? field.find(':') : field.size();
        if (colon == std::string_view::npos) return false;
        const std::string_view number = trim_blanks(field.substr(0, colon));
        if (number.empty() || !parse_unsigned(number, 99, part[i])) return false;
        field.remove_prefix(i < 2 ? colon + 1 : colon);
    }
    if (part[0] >= 24 || part[1] >= 60 || part[2] >= 60) return false;
    seconds = part[0] * 3600 + part[1] * 60 + part[2];
    return true;
}

bool calendar_date(int day, int month, int year, uint32_t& midnight) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || year < 0 || year > 99 || day < 1 || day > kDays[month - 1]) return false;
    if (month == 2 && day == 29 && year % 4 != 0) return false;
    midnight = time_from_calendar(2000 + year, month, day, 0, 0, 0);
    return true;
}

std::string collapse_blanks(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string fixed_width_text(std::string_view text, std::size_t width, std::string_view forbidden) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && out.size() < width; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC0) {
            while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
            out += ' ';
        } else if (c < 0x20 || c > 0x7E || forbidden.find(static_cast<char>(c)) != std::string_view::npos) {
            out += ' ';
        } else {
            out += static_cast<char>(c);
        }
    }
    out.resize(width, ' ');
    return out;
}

std::string milliminute_text(uint32_t milliminutes, int degree_digits) {
    char text[24];
    std::snprintf(text, sizeof text, degree_digits == 2 ? "%02u%02u.%03u" : "%03u%02u.%03u", milliminutes / 60000,
                  milliminutes / 1000 % 60, milliminutes % 1000);
    return text;
}

}  // namespace orlogix::flytec
