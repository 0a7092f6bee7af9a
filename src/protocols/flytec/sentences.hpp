#pragma once
// The wire basics of the Flytec/Brauniger family: the fixed requests (each
// led by one XON byte), the flow-control bytes the instrument sends, the
// bounded "$"-line assembler and the sentence check that turns a line into
// its fields. Other NMEA-speaking families reuse check_sentence.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orlogix::flytec {

inline constexpr char kXon = 17;
inline constexpr char kXoff = 19;

// XON and XOFF from the instrument mean nothing to a decoder: a job drops
// them before the debug trace's interpretation and before every decoder.
inline bool is_flow_control(char byte) { return byte == kXon || byte == kXoff; }
std::string drop_flow_control(std::string_view bytes);

// The requests as they go on the wire, XON included.
std::string product_request();       // "$PBRSNP,*21"
std::string track_list_request();    // "$PBRTL,*74"
std::string newest_track_request();  // "$PBRIGC,*21"
std::string waypoints_request();     // "$PBRWPS,*38"
std::string ctr_list_request();      // "$PBRCTR,*29"
inline constexpr int kLastTrackIndex = 30;
// "$PBRTR,NN" for a list index 0..30; empty for any other index.
std::string track_request(int index);

// Codes of check_sentence.
enum SentenceCheck {
    kNoDollar = -1,      // the line does not begin with "$"
    kBadDigit = -2,      // a checksum digit is missing or not hexadecimal
    kTrailing = -3,      // something follows the two digits
    kMismatch = -4,      // the digits differ from the checksum
    kNoStar = -5,        // no "*" in the line
};

// The line (without CR LF) checked and split: the number of fields, at most
// max_fields, with fields[0] the address ("$PBRSNP"); or a negative code.
// fields views into line and holds only the first max_fields fields.
int check_sentence(std::string_view line, std::size_t max_fields, std::vector<std::string_view>& fields);

// Collects lines from a "$" up to the carriage return, keeping at most
// max_kept characters ("$" included; the rest of a longer line is dropped),
// and completes the line at the line feed after it. A "$" always starts a
// new line; a byte other than LF after the CR drops the line.
class LineAssembler {
public:
    explicit LineAssembler(std::size_t max_kept = 80) : max_kept_(max_kept) {}
    // True when byte completed a line; line() holds it until the next feed.
    bool feed(char byte);
    std::string_view line() const { return line_; }
    void reset();

private:
    enum class State { Hunt, Line, Cr };
    std::size_t max_kept_;
    State state_ = State::Hunt;
    std::string line_;
};

}  // namespace orlogix::flytec
