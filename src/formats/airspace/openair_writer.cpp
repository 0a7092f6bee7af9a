#include "formats/airspace/openair_writer.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/airspace/ctr_list.hpp"
#include "formats/airspace/openair_fields.hpp"

namespace orlogix {

const char* const kNewCtrTemplate =
    "*Airspace name\r\nAN Put airspace name here\r\n*Airspace floor (Remark)\r\nAL Put floor remark here\r\n"
    "*Airspace ceiling\r\nAH Put ceiling remark here\r\n*Use records V, DP, DA, DB or DC\r\n"
    "*Pos. formats: DD.dd... or DD:MM.mm... or DD:MM:SS.s\r\n";

namespace {

// D:MM:SS.s and the hemisphere letter, from tenths of an arc-second. A pole
// or the date line is written a tenth of a second short of it, so that
// readers refusing the limits themselves still take the file.
std::string coordinate(double degrees, char positive, char negative, int64_t limit) {
    const int64_t v = std::min<int64_t>(static_cast<int64_t>(std::fabs(degrees) * 36000.0 + 0.5), limit * 36000 - 1);
    return strformat("%d:%02d:%02d.%d %c", static_cast<int>(v / 36000), static_cast<int>(v / 600 % 60),
                     static_cast<int>(v / 10 % 60), static_cast<int>(v % 10), degrees < 0 ? negative : positive);
}

std::string position(const LatLonDegrees& p) {
    return coordinate(p.latitude, 'N', 'S', 90) + "   " + coordinate(p.longitude, 'E', 'W', 180);
}

double nautical_miles(uint32_t metres) { return metres * openair::kNauticalMilesPerMetre; }

void segments(TextBuffer& b, const Ctr& c) {
    for (const CtrSegment& s : c.segments) {
        switch (s.kind) {
            case CtrSegmentKind::Point:
                b.append_line("DP " + position(s.centre) + "\r\n");
                break;
            case CtrSegmentKind::Circle:
                b.append_line("V X = " + position(s.centre) + "\r\n");
                b.appendf("DC %.4f\r\n", nautical_miles(s.radius));
                break;
            case CtrSegmentKind::ArcByEnds:
                b.appendf("V D = %c\r\n", s.direction);
                b.append_line("V X = " + position(s.centre) + "\r\n");
                b.append_line("DB " + position(s.first) + ",   " + position(s.second) + "\r\n");
                break;
            case CtrSegmentKind::ArcByAngles:
                b.appendf("V D = %c\r\n", s.direction);
                b.append_line("V X = " + position(s.centre) + "\r\n");
                b.appendf("DA %.4f, %.2f, %.2f\r\n", nautical_miles(s.radius), s.start_bearing, s.end_bearing);
                break;
        }
    }
}

}  // namespace

std::string write_openair(const CtrList& list, bool selected_only) {
    TextBuffer b(10000);
    bool first = true;
    for (const Ctr& c : list) {
        if (selected_only && !c.selected) continue;
        if (!first) b.append_line("\r\n");
        first = false;
        b.append_line("AN " + c.name + "\r\n");
        b.append_line("AL " + c.floor + "\r\n");
        b.append_line("AH " + c.ceiling + "\r\n");
        segments(b, c);
    }
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

std::string write_openair_single(const Ctr& c) {
    TextBuffer b(10000);
    b.append_line("*Airspace name\r\nAN " + c.name + "\r\n");
    b.append_line("*Airspace floor (Remark)\r\nAL " + c.floor + "\r\n");
    b.append_line("*Airspace ceiling\r\nAH " + c.ceiling + "\r\n");
    b.append_line("*Use records V, DP, DA, DB or DC\r\n");
    b.append_line("*Pos. formats: DD.dd... or DD:MM.mm... or DD:MM:SS.s\r\n");
    segments(b, c);
    if (b.failed()) throw std::bad_alloc();
    return b.take();
}

int write_openair_file(Reporter& r, const std::string& path, const CtrList& list) {
    if (selected_count(list) == 0) {
        r.error_box("Write CTR", "No CTR(s) selected");
        return -1;
    }
    std::string text;
    try {
        text = write_openair(list, true);
    } catch (const std::bad_alloc&) {
        r.error_box("Make CTR file buffer", "File buffer memory allocation error");
        return -1;
    }
    if (write_file_atomic(path, text) != 0) {
        r.error_box("Write CTR", "File write error");
        return -1;
    }
    return 0;
}

}  // namespace orlogix
