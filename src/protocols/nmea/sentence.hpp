#pragma once
// The sentence kit of the NMEA-style families: "$" text "*" two hexadecimal
// digits CR LF, the checksum being the exclusive-or of the text's bytes.
// Pure functions and a byte-at-a-time assembler; the jobs and the simulated
// instruments of every such family use this one copy.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orlogix {

// Exclusive-or of every byte of text (the part between "$" and "*").
uint8_t nmea_checksum(std::string_view text);

// The value of one hexadecimal digit (lower case too when asked), or -1.
int hex_digit(char c, bool lower_case = true);

// "$" text "*" the checksum as two upper-case digits, CR LF.
std::string nmea_sentence(std::string_view text);

// True when line is "$", text, "*" and two hexadecimal digits (either case)
// equal to the checksum of text, with nothing after them; text then gets
// the part between "$" and "*".
bool nmea_checksum_ok(std::string_view line, std::string_view& text);

// The text split at every comma; an empty text is one empty field.
std::vector<std::string_view> nmea_fields(std::string_view text);

// A text made fit for a field of a sentence: ",", "*", "$", CR, LF and
// every other byte outside printable ASCII become `replacement` (a
// multi-byte UTF-8 character once), then it is cut to max_length.
std::string nmea_clean_field(std::string_view text, std::size_t max_length, char replacement = ' ');

// Collects "$...*hh" sentences from a byte stream. Bytes outside a sentence
// are skipped; a "$" always starts a new sentence, so noise before it is
// lost and a broken sentence never swallows the next one. Bodies longer
// than the limit are dropped without growing the buffer.
class SentenceAssembler {
public:
    enum class Result {
        More,               // nothing complete yet
        Sentence,           // text() holds a sentence whose checksum matched
        TooLong,            // the body passed the limit; skipped up to the next "$"
        NoChecksum,         // the line ended (CR or LF) before any "*"
        BadDigit,           // a checksum digit that is not hexadecimal
        BadLineEnd,         // no CR LF right after the digits
        Mismatch,           // the digits differ from the checksum; text() holds the body
    };

    explicit SentenceAssembler(std::size_t max_body = 200, bool lower_case_digits = true)
        : max_body_(max_body), lower_case_digits_(lower_case_digits) {}

    Result feed(char byte);
    // The body between "$" and "*" of the last sentence; valid until the next feed.
    std::string_view text() const { return body_; }
    // Where the last refused sentence stopped, for families that number
    // their errors finer: the checksum digits taken (BadDigit: 0 or 1) and
    // whether its CR had come (BadLineEnd).
    int digits_taken() const { return digits_; }
    bool cr_taken() const { return cr_taken_; }
    void reset();

private:
    enum class State { Hunt, Body, Digits, Cr, Lf };
    Result fail(Result r);

    std::size_t max_body_;
    bool lower_case_digits_;
    State state_ = State::Hunt;
    std::string body_;
    uint8_t sum_ = 0;
    int digits_ = 0;
    bool cr_taken_ = false;
    unsigned received_ = 0;
};

}  // namespace orlogix
