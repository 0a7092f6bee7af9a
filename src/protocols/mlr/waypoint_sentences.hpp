#pragma once
// The "$GPWPL" waypoint sentences both ways: the listener's reader with its
// numbered errors and name rules, and the upload sentence.
#include <cstddef>
#include <string>
#include <string_view>

#include "core/records.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::mlr {

// One sentence read: the position and the raw name field.
struct WplSentence {
    int32_t latitude = 0;    // semicircles
    int32_t longitude = 0;
    std::string name;
};

// Reads "$GPWPL,ddmm.mmm,N,dddmm.mmm,E,name*hh" CR LF a byte at a time and
// skips every other sentence. Errors 1-17 say where a GPWPL sentence broke.
class WplReader {
public:
    enum class Result { More, Sentence, Error };
    Result feed(char byte);
    const WplSentence& sentence() const { return sentence_; }
    int error() const { return error_; }

private:
    Result fail(int code) { return error_ = code, Result::Error; }
    Result parse(std::string_view body);
    SentenceAssembler assembler_{6 + 13 + 12 + 600, false};
    WplSentence sentence_;
    int error_ = 0;
};

// The name field split: identifier (A-Z, 0-9, "-", at most 6), then after
// the blanks one symbol character and the comment (at most 22, trailing
// blanks cut). 0, or 5 for a bad identifier character, 6 for none.
int split_wpl_name(std::string_view name, std::string& identifier, std::string& comment);

// "$GPWPL,ddmm.mmm,N,dddmm.mmm,E,<identifier padded to 6>0<comment padded
// to 22>*hh" CR LF; framing characters in the names become "-".
std::string wpl_upload_sentence(const Waypoint& w);

}  // namespace orlogix::mlr
