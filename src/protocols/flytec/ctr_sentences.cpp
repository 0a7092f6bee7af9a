#include "protocols/flytec/ctr_sentences.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/geodesic_direct.hpp"
#include "core/geodesy.hpp"
#include "core/report.hpp"
#include "core/units.hpp"
#include "protocols/flytec/fields.hpp"

namespace orlogix::flytec {

namespace {

constexpr int kMaxSentences = 999;
constexpr uint32_t kMaxRadius = 99999;
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

std::string coordinate(double degrees, int degree_digits, char positive, char negative) {
    const int64_t m = round_half_away(degrees * 60000.0);
    return milliminute_text(static_cast<uint32_t>(std::llabs(m)), degree_digits) + ',' + (m < 0 ? negative : positive);
}

std::string position(const LatLonDegrees& p) {
    return coordinate(p.latitude, 2, 'N', 'S') + ',' + coordinate(p.longitude, 3, 'E', 'W');
}

bool on_map(const LatLonDegrees& p) { return std::fabs(p.latitude) <= 90.0 && std::fabs(p.longitude) <= 180.0; }

// The point at the radius along the bearing from the centre, on the
// ellipsoid as the outline drawing puts it.
LatLonDegrees arc_point(const LatLonDegrees& centre, double radius, double bearing) {
    const GeoPosition g =
        geodesic_destination(GeoPosition{centre.latitude * kDegToRad, centre.longitude * kDegToRad},
                             bearing * kDegToRad, radius);
    return LatLonDegrees{g.latitude / kDegToRad, g.longitude / kDegToRad};
}

}  // namespace

bool ctr_upload_sentences(const Ctr& ctr, std::vector<CtrUploadSentence>& out, std::string& error) {
    out.clear();
    int count = 2;
    for (const CtrSegment& s : ctr.segments) {
        const bool arc = s.kind == CtrSegmentKind::ArcByEnds || s.kind == CtrSegmentKind::ArcByAngles;
        count += arc ? 3 : 1;
        if (s.kind == CtrSegmentKind::Circle && s.radius > kMaxRadius) {
            error = strformat("CTR \"%s\": a circle of radius %u m is more than %u m", ctr.name.c_str(), s.radius,
                              kMaxRadius);
            return false;
        }
        const bool ends = s.kind == CtrSegmentKind::ArcByEnds;
        if (!on_map(s.centre) || (ends && (!on_map(s.first) || !on_map(s.second)))) {
            error = strformat("CTR \"%s\": a position lies outside -90..90, -180..180 degrees", ctr.name.c_str());
            return false;
        }
    }
    if (count > kMaxSentences) {
        error = strformat("CTR \"%s\" needs %d sentences, more than %d", ctr.name.c_str(), count, kMaxSentences);
        return false;
    }
    int number = 0;
    auto add = [&](const std::string& fields, int pause, bool ends) {
        char head[24];
        std::snprintf(head, sizeof head, "PBRCTRW,%03d,%03d,", count, number++);
        out.push_back({nmea_sentence(head + fields), pause, ends});
    };
    char warning[8];
    std::snprintf(warning, sizeof warning, "%04d", std::clamp(ctr.warning_distance, 0, 9999));
    add(fixed_width_text(ctr.name, 17, ",*$") + ',' + warning, 100, false);
    add(fixed_width_text(ctr.floor, 17, ",*$"), 100, false);
    for (const CtrSegment& s : ctr.segments) {
        switch (s.kind) {
        case CtrSegmentKind::Point:
            add("P," + position(s.centre), 100, true);
            break;
        case CtrSegmentKind::Circle: {
            char radius[8];
            std::snprintf(radius, sizeof radius, "%05u", s.radius);
            add("C," + position(s.centre) + ',' + radius, 100, true);
            break;
        }
        case CtrSegmentKind::ArcByEnds:
        case CtrSegmentKind::ArcByAngles: {
            const bool ends = s.kind == CtrSegmentKind::ArcByEnds;
            const LatLonDegrees first = ends ? s.first : arc_point(s.centre, s.radius, s.start_bearing);
            const LatLonDegrees second = ends ? s.second : arc_point(s.centre, s.radius, s.end_bearing);
            add("X," + position(s.centre), 200, false);
            add("T," + position(first) + ',' + s.direction, 200, false);
            add("Z," + position(second) + ',' + s.direction, 100, true);
            break;
        }
        }
    }
    return true;
}

int CtrAckDecoder::feed(char byte) {
    using R = SentenceAssembler::Result;
    switch (assembler_.feed(byte)) {
    case R::More: return 0;
    case R::Sentence: {
        const std::string_view body = assembler_.text();
        if (!body.starts_with("PBRANS,")) return -1;
        status_ = body.size() > 7 ? body[7] : '\0';
        return 1;
    }
    case R::TooLong: return -1;   // no acknowledgement is that long
    case R::NoChecksum: return -2;
    case R::BadDigit: return assembler_.digits_taken() == 0 ? -2 : -3;
    case R::BadLineEnd: return assembler_.cr_taken() ? -6 : -4;
    case R::Mismatch: return -5;
    }
    return 0;
}

const char* ctr_ack_text(char status) {
    switch (status) {
    case '1': return "CTR transfer ok";
    case '2': return "Plausibility error";
    case '3': return "No further memory";
    case '4': return "No more writing allowed";
    case '5': return "NMEA syntax error";
    default: return "Unknown ack. status";
    }
}

}  // namespace orlogix::flytec
