#pragma once
// The block form of the Top Navigator and XC Trainer track logs (downloads
// and .tnc files): a start record, then blocks of up to 40 position lines,
// each block opened by a time record and covering 30 seconds, and "@EOF".
// Lines that fail inside a block are bad entries: the good ones before them
// count from the block start, the good ones after them back from its end.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix::topnav {

// feed() results besides 0 (line taken).
inline constexpr int kEndOfLog = 1;
// Error codes: a time record too soon after the previous one, too many
// lines in a block, and the closing errors (a good entry after a bad run in
// the closing block, a bad entry after the second good run, a leading run
// beyond 30 seconds, a trailing run beyond the block start).
inline constexpr int kBadBlockTime = 2;
inline constexpr int kBlockTooLong = 3;
inline constexpr int kGoodAfterBadAtEnd = 10;
inline constexpr int kBadAfterSecondRun = 11;
inline constexpr int kLeadingRunTooLong = 13;
inline constexpr int kTrailingRunTooLong = 14;

inline constexpr std::size_t kBlockLinesMax = 40;
inline constexpr int kBlockSeconds = 30;

// Variant of the heights: 0 barometric only, 1 GPS only, 2 both.
int variant_from(char c);

class BlockDecoder {
public:
    // The Top Navigator's own download reads every log as variant 1.
    explicit BlockDecoder(bool gps_heights_only = false) : gps_only_(gps_heights_only) {}

    // One line without its line end: 0, kEndOfLog, or an error code.
    int feed(std::string_view line);

    // Stage 0: waiting for the start record; 1: for the first time record; 2: inside blocks.
    int stage() const { return stage_; }
    bool complete() const { return complete_; }
    int variant() const { return variant_; }
    uint32_t serial() const { return serial_; }
    int bad_blocks() const { return bad_blocks_; }
    // Everything stored so far, in order; the first position starts a segment.
    const std::vector<TrackPosition>& positions() const { return positions_; }
    std::vector<TrackPosition> take_positions() { return std::move(positions_); }

private:
    struct Entry {
        bool good = false;
        TrackPosition p;
    };
    bool start_record(std::string_view line);
    bool position_line(std::string_view line, TrackPosition& p) const;
    int close_block(bool end);
    void store(TrackPosition p, uint32_t time);

    bool gps_only_;
    int stage_ = 0;
    bool complete_ = false;
    int variant_ = 1;
    uint32_t serial_ = 0;
    uint32_t start_date_ = 0;
    uint32_t day_offset_ = 0;
    uint32_t block_time_ = 0;
    std::vector<Entry> block_;
    int bad_blocks_ = 0;
    std::vector<TrackPosition> positions_;
};

// A time record: hhmmss, four hex digits, one decimal digit, then "AC";
// the seconds of the day, or -1.
int time_record_seconds(std::string_view line);

}  // namespace orlogix::topnav
