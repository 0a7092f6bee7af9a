#include "protocols/flytec/ctr_list_decoder.hpp"

#include "protocols/flytec/fields.hpp"

namespace orlogix::flytec {

namespace {

constexpr uint32_t kAnyCount = 0xFFFFFFFFu;

struct CoordErrors {
    int missing, range, no_point, trailing;
    uint32_t limit;   // the integer part stays below it
};
constexpr CoordErrors kLat{17, 18, 19, 20, 9000};
constexpr CoordErrors kLon{23, 24, 25, 26, 18000};

// "ddmm.mmm" in degrees, or the error number.
int parse_coordinate(std::string_view f, const CoordErrors& e, double& degrees) {
    uint32_t whole = 0;
    std::size_t i = 0;
    for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i) {
        whole = whole * 10 + static_cast<uint32_t>(f[i] - '0');
        if (whole >= e.limit) return e.range;
    }
    if (i == f.size() || f[i] != '.') return e.no_point;
    if (whole % 100 >= 60) return e.range;   // minutes of 60 or more
    double fraction = 0.0, scale = 0.1;
    for (++i; i < f.size(); ++i, scale *= 0.1) {
        if (f[i] < '0' || f[i] > '9') return e.trailing;
        fraction += (f[i] - '0') * scale;
    }
    degrees = ((whole % 100) + 60.0 * (whole / 100) + fraction) / 60.0;
    return 0;
}

}  // namespace

CtrListDecoder::Result CtrListDecoder::fail(int error) {
    error_ = error;
    return Result::SentenceError;
}

CtrListDecoder::Result CtrListDecoder::feed(char byte) {
    using R = SentenceAssembler::Result;
    switch (assembler_.feed(byte)) {
    case R::More: return Result::More;
    case R::Sentence: return sentence(assembler_.text());
    case R::TooLong: error_ = 1; break;
    case R::NoChecksum: error_ = 2; break;
    case R::BadDigit: error_ = assembler_.digits_taken() == 0 ? 2 : 3; break;
    case R::BadLineEnd: error_ = assembler_.cr_taken() ? 6 : 4; break;
    case R::Mismatch: error_ = 5; break;
    }
    return Result::AssemblerError;
}

CtrListDecoder::Result CtrListDecoder::sentence(std::string_view body) {
    if (body.find(',') == std::string_view::npos) return fail(1);
    const std::vector<std::string_view> f = nmea_fields(body);
    if (!in_ctr_ && f[0] == "PBRANS") return f[1] == "1" ? Result::ListDone : fail(2);
    if (f[0] != "PBRCTR") return fail(3);
    uint32_t count = 0, number = 0;
    if (f.size() < 3) return fail(4);
    if (!parse_unsigned(f[1], kAnyCount, count)) return fail(5);
    if (f.size() < 4) return fail(6);
    if (!parse_unsigned(f[2], kAnyCount, number)) return fail(7);
    if (!in_ctr_) return header(f, count, number);
    if (next_ == 1) {
        if (number != 1) return fail(13);
        const std::size_t rest = static_cast<std::size_t>(f[3].data() - body.data());
        ctrs_.back().floor = std::string(body.substr(rest, kCtrTextMax));
    } else {
        const Result r = segment(f, number);
        if (r != Result::More) return r;
    }
    if (++next_ < count_) return Result::More;
    in_ctr_ = false;
    return Result::CtrDone;
}

CtrListDecoder::Result CtrListDecoder::header(const std::vector<std::string_view>& f, uint32_t count, uint32_t number) {
    if (count < 3) return fail(8);
    if (number != 0) return fail(9);
    if (f.size() < 5) return fail(10);
    uint32_t warning = 0;
    if (f.size() > 5 || !parse_unsigned(f[4], 0x7FFFFFFF, warning)) return fail(11);
    Ctr ctr;
    ctr.name = std::string(f[3].substr(0, kCtrTextMax));
    ctr.warning_distance = static_cast<int>(warning);
    ctrs_.push_back(std::move(ctr));
    in_ctr_ = true;
    count_ = count;
    next_ = 1;
    arc_ = Arc::None;
    return Result::More;
}

CtrListDecoder::Result CtrListDecoder::segment(const std::vector<std::string_view>& f, uint32_t number) {
    if (number != next_) return fail(14);
    if (f.size() < 5) return fail(15);
    const std::string_view letter = f[3];
    if (letter.size() != 1 || std::string_view("PXCTZ").find(letter[0]) == std::string_view::npos) return fail(16);
    const char kind = letter[0];
    if (f.size() < 6) return fail(17);
    LatLonDegrees p;
    if (const int e = parse_coordinate(f[4], kLat, p.latitude)) return fail(e);
    if (f.size() < 7) return fail(21);
    if (f[5] != "N" && f[5] != "S") return fail(22);
    if (f.size() < 8) return fail(23);
    if (const int e = parse_coordinate(f[6], kLon, p.longitude)) return fail(e);
    if (f[7] != "E" && f[7] != "W") return fail(31);
    if (f[5] == "S") p.latitude = -p.latitude;
    if (f[7] == "W") p.longitude = -p.longitude;
    uint32_t radius = 0;
    char direction = '+';
    if (kind == 'C') {
        if (f.size() < 9) return fail(27);
        if (!parse_unsigned(f[8], 0xFFFFFFFFu, radius)) return fail(28);
    } else if (kind == 'T' || kind == 'Z') {
        if (f.size() < 9) return fail(29);
        if (f[8] != "+" && f[8] != "-") return fail(30);
        direction = f[8][0];
    }
    const bool last = number + 1 == count_;
    // An open arc takes only its start, then its end.
    if (arc_ == Arc::AfterCentre && kind != 'T') return fail(40);
    if (arc_ == Arc::AfterStart && kind != 'Z') return fail(41);
    Ctr& ctr = ctrs_.back();
    CtrSegment s;
    s.centre = p;
    switch (kind) {
    case 'P':
        ctr.segments.push_back(s);
        break;
    case 'C':
        if (number != 2) return fail(34);
        if (count_ != 3) return fail(35);
        s.kind = CtrSegmentKind::Circle;
        s.radius = radius;
        ctr.segments.push_back(s);
        break;
    case 'X':
        if (last) return fail(37);
        s.kind = CtrSegmentKind::ArcByEnds;
        pending_ = s;
        arc_ = Arc::AfterCentre;
        break;
    case 'T':
        if (arc_ == Arc::None) return fail(38);
        if (last) return fail(39);
        pending_.first = p;
        arc_ = Arc::AfterStart;
        break;
    case 'Z':
        if (arc_ == Arc::None) return fail(38);
        pending_.second = p;
        pending_.direction = direction;
        ctr.segments.push_back(pending_);
        arc_ = Arc::None;
        break;
    }
    return Result::More;
}

}  // namespace orlogix::flytec
