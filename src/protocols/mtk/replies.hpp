#pragma once
// The MTK logger's command sentences and its replies: the fixed commands,
// the chunk request, the reader's line assembly (noise until the first line
// feed, then "$" lines ended by NUL, CR or LF), the checksum check and the
// match of a reply against the one the job awaits. Pure: no port, no clock.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orlogix::mtk {

inline constexpr int kBaud = 115200;
inline constexpr std::size_t kChunkSize = 256;
inline constexpr std::size_t kLineMax = 3000;
inline constexpr std::size_t kFieldsMax = 20;
inline constexpr std::size_t kProductTextMax = 80;

inline constexpr std::string_view kProductCommand = "$PMTK605*31\r\n";
inline constexpr std::string_view kLoggingStatusCommand = "$PMTK182,2,7*3C\r\n";
inline constexpr std::string_view kLoggingOffCommand = "$PMTK182,5*20\r\n";
inline constexpr std::string_view kMemoryUsedCommand = "$PMTK182,2,8*33\r\n";
inline constexpr std::string_view kLoggingOnCommand = "$PMTK182,4*21\r\n";
inline constexpr std::string_view kEraseCommand = "$PMTK182,6,1*3E\r\n";

// Bit value of the logging status word while the logger records.
inline constexpr int64_t kLoggingActive = 2;

// "$PMTK182,7," offset and length as 8 upper-case hex digits, checksum, CR LF.
std::string chunk_command(uint32_t offset, uint32_t length);

// Which reply a job awaits.
enum class Pending : int { None = 0, Product = 1, LoggingStatus = 2, LoggingOff = 3, MemoryUsed = 4, Chunk = 5,
                           LoggingOn = 6, Erase = 7 };

// What the accepted replies carried.
struct ReplyData {
    std::string release, model;         // product, at most 80 characters each
    int64_t status = 0;                 // logging status word
    uint64_t used = 0;                  // used bytes of the log memory
    uint32_t chunk_offset = 0;
    std::vector<uint8_t> chunk;         // only the bytes the reply carried
    bool acknowledged = false;          // the acknowledgement's result field was "3"
};

// A received line (without its "$") split into fields: "" when its checksum
// part is missing or malformed, "Bad checksum" when the digits disagree.
struct ParsedLine {
    bool ok = false;
    bool bad_checksum = false;
    std::vector<std::string_view> fields;   // at most kFieldsMax
};
ParsedLine parse_line(std::string_view line);

// True when the fields are the awaited reply (a chunk only for the
// requested offset, with an even count of hex digits for at most 256 bytes);
// data then gets what it carried.
bool match_reply(Pending pending, uint32_t requested_offset, const std::vector<std::string_view>& fields,
                 ReplyData& data);

// The reader's line assembly. Until the first line feed everything is noise;
// after a line feed a "$" starts a line, which NUL, CR or LF ends.
// Characters past kLineMax are dropped.
class LineReader {
public:
    // True when byte ended a line; line() holds it (without "$") until the next feed.
    bool feed(char byte);
    std::string_view line() const { return line_; }

private:
    enum class State { StartUp, Hunt, Line };
    State state_ = State::StartUp;
    std::string line_;
};

// Parses a whole unsigned hexadecimal field; false for anything else or
// more than 16 digits.
bool parse_hex(std::string_view text, uint64_t& out);

}  // namespace orlogix::mtk
