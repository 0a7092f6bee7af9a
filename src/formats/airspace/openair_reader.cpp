#include "formats/airspace/openair_reader.hpp"

#include <cerrno>
#include <new>

#include "core/report.hpp"
#include "core/file_read.hpp"
#include "formats/airspace/openair_fields.hpp"

namespace orlogix {

namespace {

using openair::at_record_end;
using openair::is_blank;
using openair::skip_blanks;

enum class State {
    Closed,        // no airspace open: everything but AN is skipped
    Open,          // airspace open, no centre pending
    CentreGiven,   // "V X=" seen: an arc or a circle must follow
    ArcDrawn,      // an arc was drawn around the centre
};

// Header records of the OpenAir format (and its extended form) that carry
// nothing the CTR keeps: class, labels, type, frequency, station, id, radio,
// activation times.
bool ignored_record(std::string_view k) {
    return k == "AC" || k == "AT" || k == "SP" || k == "SB" || k == "AY" || k == "AF" || k == "AG" || k == "AI" ||
           k == "AR" || k == "AA";
}

std::string trimmed(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_blank(s[b])) ++b;
    while (e > b && is_blank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// Runs of blanks to one space, none at either end; cut to the CTR limit.
std::string collapsed(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (is_blank(c)) {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    if (out.size() > kCtrTextMax) out.resize(kCtrTextMax);
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

class Parser {
public:
    Parser(Reporter& r, const CtrNotice& notice) : r_(r), notice_(notice) {}

    int run(std::string_view text, CtrList& out) {
        int line = 1;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
            if (record(text.substr(start, i - start), line) < 0) return -1;
            if (i < text.size() && text[i] == '\n') ++line;
            start = i + 1;
        }
        if (state_ == State::CentreGiven) return fail(format_counts("Missing DB or DC segment (line %)", open_line()));
        if (state_ != State::Closed && close_open() < 0) return -1;
        out = std::move(list_);
        return static_cast<int>(out.size());
    }

private:
    int fail(const std::string& text) {
        r_.error_box(kCtrParseTitle, text);
        return -1;
    }
    int fail_at(const char* templ, int line) { return fail(format_counts(templ, line)); }

    int open_line() const { return list_.empty() ? 0 : list_.back().line; }

    // The open airspace is complete only with at least one segment.
    int close_open() {
        if (list_.back().segments.empty()) return fail_at("No segments in airspace (line %)", open_line());
        state_ = State::Closed;
        return 0;
    }

    void add(const CtrSegment& s) { list_.back().segments.push_back(s); }
    // Arcs around one centre alternate the state, so that a centre given
    // once serves a pair of arcs.
    void after_arc() { state_ = state_ == State::CentreGiven ? State::ArcDrawn : State::CentreGiven; }

    int record(std::string_view raw, int line) {
        std::size_t i = 0;
        skip_blanks(raw, i);
        if (i >= raw.size() || raw[i] == '*') return 0;
        std::size_t k = i;
        while (k < raw.size() && !is_blank(raw[k])) ++k;
        const std::string_view key = raw.substr(i, k - i);
        const std::string_view arg = k < raw.size() ? raw.substr(k + 1) : std::string_view{};

        if (key == "AN") return airspace_name(arg, line);
        if (state_ == State::Closed) return 0;
        if (key == "AH") {
            list_.back().ceiling = collapsed(arg);
        } else if (key == "AL") {
            list_.back().floor = collapsed(arg);
        } else if (ignored_record(key)) {
            return 0;
        } else if (key == "TO" || key == "TC") {
            return close_open();
        } else if (key == "V") {
            return variable(arg, line);
        } else if (key == "DP") {
            CtrSegment s;
            if (!openair::parse_position_record(arg, s.centre)) return fail_at("Bad position format on line %", line);
            if (state_ == State::CentreGiven) return fail_at("Expected a DB or DC record (line %)", line);
            s.kind = CtrSegmentKind::Point;
            add(s);
        } else if (key == "DA") {
            return arc_by_angles(arg, line);
        } else if (key == "DB") {
            return arc_by_ends(arg, line);
        } else if (key == "DC") {
            return circle(arg, line);
        } else if (key == "DY") {
            return drop_open();
        } else {
            return fail_at("Unknown record type on line %", line);
        }
        return 0;
    }

    int airspace_name(std::string_view arg, int line) {
        if (state_ != State::Closed && close_open() < 0) return -1;
        Ctr c;
        c.name = trimmed(arg);
        if (c.name.empty()) return fail("Missing airspace name");
        // Cut, then trimmed again: a name never ends in a blank, so it
        // reads back the same after writing.
        if (c.name.size() > kCtrTextMax) c.name = trimmed(std::string_view(c.name).substr(0, kCtrTextMax));
        c.line = line;
        list_.push_back(std::move(c));
        direction_ = '+';
        state_ = State::Open;
        return 0;
    }

    int variable(std::string_view arg, int line) {
        std::size_t i = 0;
        skip_blanks(arg, i);
        const char name = i < arg.size() ? arg[i] : '\0';
        if (name != 'D' && name != 'T' && name != 'W' && name != 'X' && name != 'Z')
            return fail_at("Bad variable assignment format on line %", line);
        ++i;
        skip_blanks(arg, i);
        if (i >= arg.size() || arg[i] != '=') return fail_at("Bad variable assignment format on line %", line);
        ++i;
        skip_blanks(arg, i);
        if (i >= arg.size()) return fail_at("Bad variable assignment format on line %", line);
        const std::string_view value = arg.substr(i);
        if (name == 'D') {
            if ((value[0] != '+' && value[0] != '-') || (value.size() > 1 && !is_blank(value[1])))
                return fail_at("Bad direction format on line %", line);
            direction_ = value[0];
        } else if (name == 'X') {
            if (!openair::parse_position_record(value, centre_)) return fail_at("Bad position format on line %", line);
            if (state_ == State::CentreGiven) return fail("Multiple V record types");
            state_ = State::CentreGiven;
        }
        return 0;
    }

    int arc_by_angles(std::string_view arg, int line) {
        CtrSegment s;
        std::size_t i = 0;
        bool ok = openair::parse_radius(arg, i, false, s.radius);
        for (double* bearing : {&s.start_bearing, &s.end_bearing}) {
            if (!ok) break;
            skip_blanks(arg, i);
            ok = i < arg.size() && arg[i] == ',' && openair::parse_bearing(arg, ++i, *bearing);
        }
        if (ok) {
            skip_blanks(arg, i);
            ok = at_record_end(arg, i);
        }
        if (!ok) return fail_at("Bad arc position format on line %", line);
        if (state_ == State::Open) return fail_at("Missing centre for DB record (line %)", line);
        s.kind = CtrSegmentKind::ArcByAngles;
        s.centre = centre_;
        s.direction = direction_;
        add(s);
        after_arc();
        return 0;
    }

    int arc_by_ends(std::string_view arg, int line) {
        CtrSegment s;
        std::size_t i = 0;
        bool ok = openair::parse_position(arg, i, s.first);
        if (ok) {
            skip_blanks(arg, i);
            ok = i < arg.size() && arg[i] == ',' && openair::parse_position(arg, ++i, s.second);
        }
        if (ok) {
            skip_blanks(arg, i);
            ok = at_record_end(arg, i);
        }
        if (!ok) return fail_at("Bad arc position format on line %", line);
        if (state_ == State::Open) return fail_at("Missing centre for DB record (line %)", line);
        s.kind = CtrSegmentKind::ArcByEnds;
        s.centre = centre_;
        s.direction = direction_;
        add(s);
        after_arc();
        return 0;
    }

    int circle(std::string_view arg, int line) {
        CtrSegment s;
        std::size_t i = 0;
        bool ok = openair::parse_radius(arg, i, true, s.radius);
        if (ok) {
            skip_blanks(arg, i);
            ok = at_record_end(arg, i);
        }
        if (!ok) return fail_at("Bad radius format on line %", line);
        if (state_ == State::Open || state_ == State::ArcDrawn)
            return fail_at("Missing centre for DC record (line %)", line);
        s.kind = CtrSegmentKind::Circle;
        s.centre = centre_;
        add(s);
        state_ = State::Open;
        return 0;
    }

    // The reader does not draw DY airways: the airspace is left out, and
    // the user is told once per airspace unless notices were switched off.
    int drop_open() {
        const int at = open_line();
        list_.pop_back();
        state_ = State::Closed;
        if (quiet_) return 0;
        const std::string text = format_counts("CTR at line %:  DY record (not implemented)", at);
        if (notice_) {
            quiet_ = notice_(text);
        } else {
            r_.warning_box(kCtrNoticeTitle, text);
        }
        return 0;
    }

    Reporter& r_;
    const CtrNotice& notice_;
    CtrList list_;
    State state_ = State::Closed;
    char direction_ = '+';
    LatLonDegrees centre_;
    bool quiet_ = false;
};

}  // namespace

int parse_openair(Reporter& r, std::string_view text, CtrList& out, const CtrNotice& notice) {
    try {
        Parser parser(r, notice);
        return parser.run(text, out);
    } catch (const std::bad_alloc&) {
        r.error_box(kCtrParseTitle, "Memory allocation error");
        return -1;
    }
}

int read_openair_file(Reporter& r, const std::string& path, CtrList& out, const CtrNotice& notice) {
    // A folder opens but cannot be read: a read error.
    const FileReadTitles titles{.open = "Error opening CTR file", .size = "Error opening CTR file",
                                .not_regular = "CTR file read error", .empty = "Reading CTR file",
                                .memory = "File buffer memory allocation", .read = "CTR file read error"};
    std::string bytes;
    if (read_whole_file(r, path, titles, bytes) < 0) return -1;
    return parse_openair(r, bytes, out, notice);
}

}  // namespace orlogix
