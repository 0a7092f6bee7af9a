#pragma once
// The DSX's command texts, the answer that opens the connection and the
// track list lines ("012 recs n.345"), read a byte at a time.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orlogix::dsx {

inline constexpr std::string_view kOpen = "V1\r";
inline constexpr std::string_view kFast = "V4\r";
inline constexpr std::string_view kClose = "V0\r";
inline constexpr std::string_view kTrackList = "FL\r";
inline constexpr std::string_view kOpenAnswer = "Conn\n\r\r\n#";
inline constexpr std::string_view kEndMark = "ZZZZ";   // a line of its own, then CR
inline constexpr int kPilotTexts = 5;
inline constexpr std::size_t kPilotTextMax = 80;
inline constexpr std::size_t kExtraTextMax = 20;
inline constexpr std::size_t kMaxTracks = 100;

// "F" and the track number as 3 digits, CR.
std::string track_request(int number);
// "E1\r" .. "E5\r": pilot text n (1-5).
std::string pilot_text_request(int n);
// "H1<text>\r" .. "H5<text>\r", and "C1<text>\r" for the extra text.
std::string pilot_text_write(int n, std::string_view text);
std::string extra_text_write(std::string_view text);

// Watches the incoming bytes for the open answer; a byte that does not
// continue it starts the match again.
class OpenAnswerMatcher {
public:
    bool feed(uint8_t byte);

private:
    std::size_t matched_ = 0;
};

struct TrackListEntry {
    int number = 0;
    uint32_t records = 0;
};

// The track list as its lines arrive. CR, LF and "#" at a line start are
// skipped; a line is 3 digits, a blank, "recs n.", the record count (after
// more than 6 digits a blank or the line end must follow), anything to the
// line end. feed() gives 0, or the format error: 1 bad digit, 2 missing
// blank, 3 text mismatch, 4 bad count digit, 5 bad count end, 6 more than
// 100 tracks, 7 bad state.
class TrackListParser {
public:
    int feed(uint8_t byte);
    const std::vector<TrackListEntry>& entries() const { return entries_; }

private:
    enum class State { LineStart, Number, Blank, Text, Count, Rest };
    int end_line();
    State state_ = State::LineStart;
    std::size_t pos_ = 0;
    TrackListEntry entry_;
    std::vector<TrackListEntry> entries_;
};

// The "Select track" line of one entry.
std::string track_choice_line(const TrackListEntry& e);

}  // namespace orlogix::dsx
