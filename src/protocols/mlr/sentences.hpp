#pragma once
// The $PMLR text sentences of the MLR receivers and the LogIt loggers: the
// fixed commands (sent exactly as the instruments expect them, their last
// four digits included), the computed commands with their 16-bit sum, and
// the product and track point count replies.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/nmea/sentence.hpp"

namespace orlogix::mlr {

inline constexpr std::string_view kProductRequest = "$PMLR,26,01,01,0339\r\n";
inline constexpr std::string_view kStopSentence = "$PMLR,06,00,02A9\r\n";
inline constexpr std::string_view kTrackStart = "$PMLR,24,02,0101,0399\r\n";
inline constexpr std::string_view kWaypointStart = "$PMLR,24,02,0301,039B\r\n";
inline constexpr std::string_view kCountRequest = "$PMLR,58,00,02B0\r\n";
inline constexpr std::string_view kEraseCommand = "$PMLR,99,00,02B5\r\n";

// The LogIt start sentence for a transfer rate; any other rate gets the
// 4800-baud one, whose "0388" the loggers expect although the sum is 0399.
std::string_view logit_start_sentence(int baud);
// The rate that start sentence switches to (4800 for any unknown rate).
int logit_transfer_rate(int baud);

// 16-bit sum of the bytes of text.
uint16_t pmlr_sum(std::string_view text);
// text (from "$" through its last comma) followed by its sum as four
// upper-case hexadecimal digits and CR LF.
std::string pmlr_sentence(std::string_view text);
// "$PMLR,59,<point>," with its sum: restart the transfer at point.
std::string restart_sentence(unsigned point);
// The owner-name sentence: the name made safe ("-" for control characters
// and "," "*" "$"), cut or padded with blanks to 9 characters.
std::string name_sentence(std::string_view name);
inline constexpr std::size_t kNameMax = 9;

// The product reply "$PMLR,IDGPS,01,A,B,...*hh": up to limits.size() fields,
// each at most its limit after leading blanks are skipped. Fed a byte at a
// time; any deviation starts the search again.
class ProductReplyReader {
public:
    explicit ProductReplyReader(std::vector<std::size_t> limits, std::string_view unchecked_version = {})
        : limits_(std::move(limits)), unchecked_(unchecked_version) {}
    // True when byte completed a reply; fields() holds it.
    bool feed(char byte);
    const std::vector<std::string>& fields() const { return fields_; }
    void reset() { assembler_.reset(); }

private:
    bool take(std::string_view body, bool checked);
    std::vector<std::size_t> limits_;
    std::string unchecked_;   // a last field that is accepted without its checksum
    SentenceAssembler assembler_{256};
    std::vector<std::string> fields_;
};

// The MLR product fields: A model, B, C serial, D firmware, E a further text.
inline const std::vector<std::size_t> kMlrProductLimits = {40, 40, 40, 40, 40};
// The LogIt fields: name, two texts and the firmware.
inline const std::vector<std::size_t> kLogItProductLimits = {20, 20, 20, 40};

// What the MLR header takes from the product reply.
struct MlrProduct {
    std::string model;      // field A
    std::string serial;     // field C
    std::string extra;      // field E
    int major = 0;
    int minor = 0;
    bool time_correction = false;   // an SP24 with old firmware sends times 14 s ahead
};
MlrProduct mlr_product(const std::vector<std::string>& fields);
// "Digifly", "CPilot", "CoMo" or "MLR" by the model text.
std::string mlr_product_name(std::string_view model);
// "<product> <E> SWm.mm".
std::string mlr_info_line(const MlrProduct& p);

// The track point count reply "$PMLR,NUMTRACKPOINTS,<count>*hh". Errors
// are numbered 1-9 by where the reply broke.
class CountReplyReader {
public:
    enum class Result { More, Count, Error };
    Result feed(char byte);
    long count() const { return count_; }
    int error() const { return error_; }

private:
    SentenceAssembler assembler_{64};
    long count_ = 0;
    int error_ = 0;
};

}  // namespace orlogix::mlr
