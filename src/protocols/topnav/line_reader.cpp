#include "protocols/topnav/line_reader.hpp"

#include "protocols/topnav/fields.hpp"

namespace orlogix::topnav {

LineReader::Result LineReader::feed(uint8_t byte) {
    if (byte == '\n') {
        line_ = std::move(text_);
        text_.clear();
        ended_ = false;
        ++lines_;
        return Result::Line;
    }
    if (ended_) return Result::More;
    if (byte == '\r') {
        ended_ = true;
        return Result::More;
    }
    if (text_.size() >= kLineMax) {
        text_.clear();
        ++lines_;
        return Result::TooLong;
    }
    text_.push_back(static_cast<char>(byte));
    return Result::More;
}

std::string without_flow_control(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        if (static_cast<uint8_t>(c) != kXon && static_cast<uint8_t>(c) != kXoff) out.push_back(c);
    return out;
}

}  // namespace orlogix::topnav
