#include "protocols/mlr/waypoint_sentences.hpp"

#include <cmath>

#include "core/units.hpp"
#include "protocols/flytec/waypoint_upload.hpp"

namespace orlogix::mlr {

namespace {

constexpr std::string_view kPrefix = "GPWPL,";
constexpr std::size_t kIdentifierMax = 6;
constexpr std::size_t kCommentMax = 22;
constexpr std::size_t kNameMax = 599;
constexpr double kPi = 3.14159265358979323846;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_id_char(char c) { return (c >= 'A' && c <= 'Z') || is_digit(c) || c == '-'; }

// One coordinate "d..dmm.mmm" then "," and the hemisphere letter and ",".
// Error codes from `base` on: +0 integer above max, +1 and +2 bad
// characters, +3 bad hemisphere, +4 no comma after it.
int coordinate(std::string_view& s, long max, char positive, char negative, int base, int32_t& out) {
    std::size_t i = 0;
    long integer = 0;
    while (i < s.size() && is_digit(s[i])) {
        integer = integer * 10 + (s[i++] - '0');
        if (integer > max) return base;
    }
    if (i == 0 || i >= s.size() || s[i] != '.') return base + 1;
    ++i;
    double fraction = 0, scale = 0.1;
    const std::size_t from = i;
    while (i < s.size() && is_digit(s[i])) {
        fraction += (s[i++] - '0') * scale;
        scale /= 10;
    }
    if (i == from || i >= s.size() || s[i] != ',') return base + 2;
    ++i;
    if (i >= s.size() || (s[i] != positive && s[i] != negative)) return base + 3;
    const bool negate = s[i++] == negative;
    if (i >= s.size() || s[i] != ',') return base + 4;
    s.remove_prefix(i + 1);
    const double minutes = static_cast<double>(integer % 100) + 60.0 * static_cast<double>(integer / 100) + fraction;
    double radians = minutes * kPi / 10800.0;
    if (negate) radians = -radians;
    radians_to_semicircle(radians, out);
    return 0;
}

}  // namespace

WplReader::Result WplReader::parse(std::string_view body) {
    body.remove_prefix(kPrefix.size());
    if (const int e = coordinate(body, 8959, 'N', 'S', 1, sentence_.latitude)) return fail(e);
    if (const int e = coordinate(body, 17959, 'E', 'W', 6, sentence_.longitude)) return fail(e);
    if (body.size() > kNameMax) return fail(11);
    sentence_.name.assign(body);
    return Result::Sentence;
}

WplReader::Result WplReader::feed(char byte) {
    using R = SentenceAssembler::Result;
    const R r = assembler_.feed(byte);
    if (r == R::More) return Result::More;
    const std::string_view body = assembler_.text();
    if (body.substr(0, kPrefix.size()) != kPrefix) return Result::More;
    switch (r) {
    case R::Sentence: return parse(body);
    case R::TooLong: return fail(11);
    case R::NoChecksum: return fail(12);
    case R::BadDigit: return fail(13 + assembler_.digits_taken());
    case R::BadLineEnd: return fail(assembler_.cr_taken() ? 17 : 15);
    case R::Mismatch: return fail(16);
    default: return Result::More;
    }
}

int split_wpl_name(std::string_view name, std::string& identifier, std::string& comment) {
    std::size_t i = 0;
    while (i < name.size() && i < kIdentifierMax && is_id_char(name[i])) ++i;
    identifier.assign(name.substr(0, i));
    if (i < kIdentifierMax && i < name.size() && name[i] != ' ') return 5;
    if (identifier.empty()) return 6;
    while (i < name.size() && name[i] == ' ') ++i;
    if (i < name.size()) ++i;   // the symbol
    std::string_view rest = name.substr(i, kCommentMax);
    while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
    comment.assign(rest);
    return 0;
}

std::string wpl_upload_sentence(const Waypoint& w) {
    std::string id = nmea_clean_field(w.identifier, kIdentifierMax, '-');
    id.resize(kIdentifierMax, ' ');
    std::string comment = nmea_clean_field(w.comment, kCommentMax, '-');
    comment.resize(kCommentMax, ' ');
    return nmea_sentence("GPWPL," + flytec::milliminute_coordinate(w.latitude, 2, 'N', 'S') + ',' +
                         flytec::milliminute_coordinate(w.longitude, 3, 'E', 'W') + ',' + id + '0' + comment);
}

}  // namespace orlogix::mlr
