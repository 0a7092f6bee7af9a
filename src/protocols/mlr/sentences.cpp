#include "protocols/mlr/sentences.hpp"

#include <algorithm>
#include <cstdio>

namespace orlogix::mlr {

namespace {

constexpr std::string_view kProductPrefix = "PMLR,IDGPS,01,";
constexpr std::string_view kCountPrefix = "PMLR,NUMTRACKPOINTS,";

struct StartRate {
    int baud;
    std::string_view sentence;
};
constexpr StartRate kStartRates[] = {
    {115200, "$PMLR,24,02,0103,039B\r\n"},
    {57600, "$PMLR,24,02,0102,039A\r\n"},
    {38400, "$PMLR,24,02,0101,0399\r\n"},
    {19200, "$PMLR,24,02,0100,0398\r\n"},
};
constexpr std::string_view kStart4800 = "$PMLR,24,02,0110,0388\r\n";

std::string_view skip_blanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

bool starts_with_text(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

// "m.n" with one or two digits after the point.
bool parse_version(std::string_view s, int& major, int& minor) {
    s = skip_blanks(s);
    std::size_t i = 0;
    major = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i < 4) major = major * 10 + (s[i++] - '0');
    if (i == 0 || i >= s.size() || s[i] != '.') return false;
    ++i;
    const std::size_t from = i;
    minor = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - from < 2) minor = minor * 10 + (s[i++] - '0');
    return i > from;
}

}  // namespace

std::string_view logit_start_sentence(int baud) {
    for (const StartRate& r : kStartRates)
        if (r.baud == baud) return r.sentence;
    return kStart4800;
}

int logit_transfer_rate(int baud) {
    for (const StartRate& r : kStartRates)
        if (r.baud == baud) return baud;
    return 4800;
}

uint16_t pmlr_sum(std::string_view text) {
    uint16_t sum = 0;
    for (const char c : text) sum = static_cast<uint16_t>(sum + static_cast<uint8_t>(c));
    return sum;
}

std::string pmlr_sentence(std::string_view text) {
    char tail[8];
    std::snprintf(tail, sizeof tail, "%04X\r\n", pmlr_sum(text));
    return std::string(text) + tail;
}

std::string restart_sentence(unsigned point) {
    return pmlr_sentence("$PMLR,59," + std::to_string(point) + ",");
}

std::string name_sentence(std::string_view name) {
    std::string field = nmea_clean_field(name, kNameMax, '-');
    field.resize(kNameMax, ' ');
    return "$PMLR,IDGPS,01," + field + ",       *00\r\n";
}

bool ProductReplyReader::take(std::string_view body, bool checked) {
    if (!starts_with_text(body, kProductPrefix)) return false;
    std::vector<std::string_view> parts = nmea_fields(body.substr(kProductPrefix.size()));
    if (parts.size() > limits_.size()) return false;
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string_view f = skip_blanks(parts[i]);
        if (f.size() > limits_[i]) return false;
        fields.emplace_back(f);
    }
    if (!checked && (unchecked_.empty() || parts.size() != limits_.size() || fields.back() != unchecked_))
        return false;
    fields.resize(limits_.size());
    fields_ = std::move(fields);
    return true;
}

bool ProductReplyReader::feed(char byte) {
    switch (assembler_.feed(byte)) {
    case SentenceAssembler::Result::Sentence: return take(assembler_.text(), true);
    case SentenceAssembler::Result::Mismatch: return take(assembler_.text(), false);
    default: return false;
    }
}

std::string mlr_product_name(std::string_view model) {
    if (starts_with_text(model, "DGIFLY ")) return "Digifly";
    if (starts_with_text(model, "CPILOT ")) return "CPilot";
    if (starts_with_text(model, "COMO")) return "CoMo";
    return "MLR";
}

MlrProduct mlr_product(const std::vector<std::string>& fields) {
    MlrProduct p;
    auto field = [&](std::size_t i) { return i < fields.size() ? fields[i] : std::string(); };
    p.model = field(0).substr(0, 80);
    p.serial = field(2);
    p.extra = field(4);
    if (!parse_version(field(3), p.major, p.minor)) p.major = p.minor = 0;
    const int version = p.major * 100 + p.minor;
    p.time_correction = starts_with_text(p.model, "SP24") &&
                        (p.major <= 1 || (version >= 200 && version <= 271) || (version >= 990 && version <= 999));
    return p;
}

std::string mlr_info_line(const MlrProduct& p) {
    char line[160];
    std::snprintf(line, sizeof line, "%s %s SW%d.%02d", mlr_product_name(p.model).c_str(), p.extra.c_str(), p.major,
                  p.minor);
    return line;
}

CountReplyReader::Result CountReplyReader::feed(char byte) {
    using R = SentenceAssembler::Result;
    const R r = assembler_.feed(byte);
    if (r == R::More) return Result::More;
    const std::string_view body = assembler_.text();
    // Other sentences on the line are none of the count's business.
    if (!starts_with_text(body, kCountPrefix.substr(0, std::min(body.size(), kCountPrefix.size()))) ||
        body.size() < 5)
        return Result::More;
    switch (r) {
    case R::TooLong: error_ = 1; return Result::Error;
    case R::NoChecksum: error_ = 2; return Result::Error;
    case R::BadDigit: error_ = 3 + assembler_.digits_taken(); return Result::Error;
    case R::BadLineEnd: error_ = assembler_.cr_taken() ? 6 : 5; return Result::Error;
    case R::Mismatch: error_ = 7; return Result::Error;
    default: break;
    }
    if (body.size() <= kCountPrefix.size() || !starts_with_text(body, kCountPrefix)) {
        error_ = 8;
        return Result::Error;
    }
    long n = 0;
    for (const char c : body.substr(kCountPrefix.size())) {
        if (c < '0' || c > '9' || n > 100000000) {
            error_ = 9;
            return Result::Error;
        }
        n = n * 10 + (c - '0');
    }
    count_ = n;
    return Result::Count;
}

}  // namespace orlogix::mlr
