#include "protocols/nmea/sentence.hpp"

namespace orlogix {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

}  // namespace

int hex_digit(char c, bool lower_case) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (lower_case && c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

uint8_t nmea_checksum(std::string_view text) {
    uint8_t sum = 0;
    for (char c : text) sum ^= static_cast<uint8_t>(c);
    return sum;
}

std::string nmea_sentence(std::string_view text) {
    const uint8_t sum = nmea_checksum(text);
    std::string out;
    out.reserve(text.size() + 6);
    out += '$';
    out += text;
    out += '*';
    out += kHex[sum >> 4];
    out += kHex[sum & 0x0F];
    out += "\r\n";
    return out;
}

bool nmea_checksum_ok(std::string_view line, std::string_view& text) {
    if (line.size() < 4 || line[0] != '$') return false;
    const std::size_t star = line.size() - 3;
    if (line[star] != '*') return false;
    const int high = hex_digit(line[star + 1], true), low = hex_digit(line[star + 2], true);
    if (high < 0 || low < 0) return false;
    const std::string_view body = line.substr(1, star - 1);
    if (nmea_checksum(body) != high * 16 + low) return false;
    text = body;
    return true;
}

std::vector<std::string_view> nmea_fields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = text.find(',', at);
        if (comma == std::string_view::npos) {
            fields.push_back(text.substr(at));
            return fields;
        }
        fields.push_back(text.substr(at, comma - at));
        at = comma + 1;
    }
}

std::string nmea_clean_field(std::string_view text, std::size_t max_length, char replacement) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && out.size() < max_length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC0) {
            // One replacement for the whole UTF-8 character.
            while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
            out += replacement;
        } else if (c < 0x20 || c > 0x7E || c == ',' || c == '*' || c == '$') {
            out += replacement;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void SentenceAssembler::reset() {
    state_ = State::Hunt;
    body_.clear();
    sum_ = 0;
    digits_ = 0;
    cr_taken_ = false;
    received_ = 0;
}

SentenceAssembler::Result SentenceAssembler::fail(Result r) {
    state_ = State::Hunt;
    return r;
}

SentenceAssembler::Result SentenceAssembler::feed(char byte) {
    if (byte == '$') {
        // A new sentence, wherever the last one got to.
        reset();
        state_ = State::Body;
        return Result::More;
    }
    switch (state_) {
    case State::Hunt:
        return Result::More;
    case State::Body:
        if (byte == '*') {
            state_ = State::Digits;
            return Result::More;
        }
        if (byte == '\r' || byte == '\n') return fail(Result::NoChecksum);
        if (body_.size() >= max_body_) return fail(Result::TooLong);
        body_ += byte;
        sum_ ^= static_cast<uint8_t>(byte);
        return Result::More;
    case State::Digits: {
        const int d = hex_digit(byte, lower_case_digits_);
        if (d < 0) return fail(Result::BadDigit);
        received_ = received_ * 16 + static_cast<unsigned>(d);
        if (++digits_ == 2) state_ = State::Cr;
        return Result::More;
    }
    case State::Cr:
        if (byte != '\r') return fail(Result::BadLineEnd);
        cr_taken_ = true;
        state_ = State::Lf;
        return Result::More;
    case State::Lf:
        if (byte != '\n') return fail(Result::BadLineEnd);
        state_ = State::Hunt;
        return received_ == sum_ ? Result::Sentence : Result::Mismatch;
    }
    return Result::More;
}

}  // namespace orlogix
