#pragma once
// The line reader of the Top Navigator family: bytes into a line of at most
// 100 characters; a carriage return ends the text, the line feed completes
// the line. XON and XOFF never reach it (the caller drops them with the
// rest of the flow control).
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix::topnav {

inline constexpr std::size_t kLineMax = 100;

class LineReader {
public:
    enum class Result { More, Line, TooLong };

    // One byte. Line: line() holds the text (without CR); TooLong: the 101st
    // character arrived, the reader starts over with the next byte.
    Result feed(uint8_t byte);
    const std::string& line() const { return line_; }
    // Lines completed so far (1 for the first), for error messages.
    int line_number() const { return lines_; }
    // Some text is waiting for its line end.
    bool partial() const { return !text_.empty() || ended_; }

private:
    std::string text_;
    std::string line_;
    bool ended_ = false;   // CR seen: the rest up to LF is dropped
    int lines_ = 0;
};

// The bytes without XON and XOFF, as every reader of the family takes them.
std::string without_flow_control(std::string_view bytes);

}  // namespace orlogix::topnav
