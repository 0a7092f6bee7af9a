#include "protocols/dsx/commands.hpp"

#include <cstdio>

namespace orlogix::dsx {

namespace {

constexpr std::string_view kRecs = "recs n.";
constexpr std::size_t kCountDigits = 6;

bool digit(uint8_t b) { return b >= '0' && b <= '9'; }

}  // namespace

std::string track_request(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "F%03d\r", number % 1000);
    return text;
}

std::string pilot_text_request(int n) { return "E" + std::to_string(n) + "\r"; }

std::string pilot_text_write(int n, std::string_view text) {
    return "H" + std::to_string(n) + std::string(text) + "\r";
}

std::string extra_text_write(std::string_view text) { return "C1" + std::string(text) + "\r"; }

bool OpenAnswerMatcher::feed(uint8_t byte) {
    if (byte == static_cast<uint8_t>(kOpenAnswer[matched_])) {
        if (++matched_ < kOpenAnswer.size()) return false;
        matched_ = 0;
        return true;
    }
    matched_ = byte == static_cast<uint8_t>(kOpenAnswer[0]) ? 1 : 0;
    return false;
}

int TrackListParser::end_line() {
    if (entries_.size() >= kMaxTracks) return 6;
    entries_.push_back(entry_);
    state_ = State::LineStart;
    return 0;
}

int TrackListParser::feed(uint8_t b) {
    const bool line_end = b == '\r' || b == '\n';
    switch (state_) {
    case State::LineStart:
        if (line_end || b == '#') return 0;
        entry_ = {};
        pos_ = 0;
        state_ = State::Number;
        [[fallthrough]];
    case State::Number:
        if (!digit(b)) return 1;
        entry_.number = entry_.number * 10 + (b - '0');
        if (++pos_ == 3) state_ = State::Blank;
        return 0;
    case State::Blank:
        if (b != ' ') return 2;
        state_ = State::Text;
        pos_ = 0;
        return 0;
    case State::Text:
        if (b != static_cast<uint8_t>(kRecs[pos_])) return 3;
        if (++pos_ == kRecs.size()) state_ = State::Count, pos_ = 0;
        return 0;
    case State::Count:
        if (pos_ > 0 && line_end) return end_line();
        if (pos_ > kCountDigits) {
            if (b != ' ') return 5;
            state_ = State::Rest;
            return 0;
        }
        if (pos_ > 0 && b == ' ') {
            state_ = State::Rest;
            return 0;
        }
        if (!digit(b)) return 4;
        if (pos_ < kCountDigits) entry_.records = entry_.records * 10 + (b - '0');
        ++pos_;
        return 0;
    case State::Rest:
        if (line_end) return end_line();
        return 0;
    }
    return 7;
}

std::string track_choice_line(const TrackListEntry& e) {
    char text[32];
    std::snprintf(text, sizeof text, "%03d       %u", e.number, static_cast<unsigned>(e.records));
    return text;
}

}  // namespace orlogix::dsx
