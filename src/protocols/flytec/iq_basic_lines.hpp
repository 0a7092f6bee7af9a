#pragma once
// The reply lines of the IQ Basic and Flytec 6015: the line assembler, the
// track list entries and the semicolon-separated waypoint lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/records.hpp"

namespace orlogix::flytec {

// Keeps the characters up to the carriage return (at most max_kept),
// ignores the bytes between it and the line feed, and completes the line
// at the line feed.
class IqLineAssembler {
public:
    explicit IqLineAssembler(std::size_t max_kept = 1000) : max_kept_(max_kept) {}
    bool feed(char byte);
    std::string_view line() const { return line_; }

private:
    std::size_t max_kept_;
    std::string line_;
    bool after_cr_ = false, done_ = false;
};

struct IqTrackEntry {
    uint32_t number = 0;   // 0..255, as the download command takes it
    std::string text[3];   // fields 1, 2 and 4, leading blanks skipped, at most 15
    uint32_t duration = 0; // seconds, from field 4
};
// False for a line to ignore: fewer than 5 fields, a bad or too large
// number, a bad duration.
bool parse_iq_track_entry(std::string_view line, IqTrackEntry& out);

enum class IqWaypointLine { Waypoint, End, Error };
// One waypoint line: name; latitude; longitude[; altitude]. End for the
// end lines "No Data" and "Done"; Error with error set to 1..5
// ("Waypoint string parse error %d").
IqWaypointLine parse_iq_waypoint(std::string_view line, uint32_t time, Waypoint& out, int& error);

}  // namespace orlogix::flytec
