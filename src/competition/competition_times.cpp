#include "competition/competition_times.hpp"

#include "core/report.hpp"
#include "core/time.hpp"

namespace orlogix {

namespace {

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}
    // At least min blanks; their count.
    bool blanks(std::size_t min) {
        std::size_t n = 0;
        while (i_ < text_.size() && text_[i_] == ' ') ++i_, ++n;
        return n >= min;
    }
    // 1 to max_digits digits within lo..hi.
    bool number(int lo, int hi, std::size_t max_digits, int& value) {
        std::size_t n = 0;
        value = 0;
        while (i_ < text_.size() && text_[i_] >= '0' && text_[i_] <= '9' && n < max_digits)
            value = value * 10 + (text_[i_++] - '0'), ++n;
        return n > 0 && value >= lo && value <= hi;
    }
    bool literal(char c) {
        if (i_ >= text_.size() || text_[i_] != c) return false;
        ++i_;
        return true;
    }
    bool at_end() const { return i_ == text_.size(); }

private:
    std::string_view text_;
    std::size_t i_ = 0;
};

int days_in_month(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && year % 4 == 0 ? 29 : kDays[month - 1];
}

std::string or_text(uint32_t t, const char* none) { return t == 0 ? std::string(none) : competition_time_field(t); }

}  // namespace

int64_t parse_competition_time(std::string_view field) {
    if (field.size() > kCompTimeFieldMax) return -1;
    Scanner s(field);
    s.blanks(0);
    if (s.at_end()) return 0;
    int y, mo, d, h, mi, se;
    if (!s.number(1990, 2099, 4, y) || !s.literal('-') || !s.number(1, 12, 2, mo) || !s.literal('-') ||
        !s.number(1, 31, 2, d) || d > days_in_month(y, mo) || !s.blanks(1) || !s.number(0, 23, 2, h) ||
        !s.literal(':') || !s.number(0, 59, 2, mi) || !s.literal(':') || !s.number(0, 59, 2, se))
        return -1;
    s.blanks(0);
    if (!s.at_end()) return -1;
    return time_from_calendar(y, mo, d, h, mi, se);
}

std::string competition_time_field(uint32_t t) {
    if (t == 0) return {};
    const CalendarTime c = calendar_from_time(t);
    return strformat("%d-%02d-%02d  %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
}

std::string competition_start_text(uint32_t start) { return or_text(start, "No start time"); }
std::string competition_stop_text(uint32_t stop) { return or_text(stop, "No stop time"); }

int check_competition_times(Reporter& r, std::string_view start_field, std::string_view stop_field, uint32_t& start,
                            uint32_t& stop) {
    const int64_t s = parse_competition_time(start_field);
    if (s < 0) {
        r.error_box(kCompTimeTitle, "Bad start time");
        return -1;
    }
    const int64_t e = parse_competition_time(stop_field);
    if (e < 0) {
        r.error_box(kCompTimeTitle, "Bad stop time");
        return -1;
    }
    if (s != 0 && e != 0 && s >= e) {
        r.error_box(kCompTimeTitle, "Stop time before start time");
        return -1;
    }
    start = static_cast<uint32_t>(s);
    stop = static_cast<uint32_t>(e);
    return 0;
}

}  // namespace orlogix
