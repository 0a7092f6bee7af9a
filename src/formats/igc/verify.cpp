#include "formats/igc/verify.hpp"

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "formats/igc/security.hpp"

namespace orlogix {

namespace {

// Feeds the line starting at pos through its LF; false when the text ends first.
bool feed_line(std::string_view text, std::size_t& pos, uint32_t& crc) {
    const std::size_t lf = text.find('\n', pos);
    if (lf == std::string_view::npos) return false;
    crc = igc_crc_update(crc, text.substr(pos, lf + 1 - pos));
    pos = lf + 1;
    return true;
}

// Skips an uncovered line: to its LF (or its CR and the character after it),
// then over any further line ends. False when the text ends inside the line.
bool skip_line(std::string_view text, std::size_t& pos) {
    std::size_t i = pos + 1;
    for (;; ++i) {
        if (i >= text.size()) return false;
        if (text[i] == '\n') {
            ++i;
            break;
        }
        if (text[i] == '\r') {
            if (i + 1 >= text.size()) return false;
            i += 2;
            break;
        }
    }
    while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) ++i;
    pos = i;
    return true;
}

// Lines starting with letter+covered_second are fed, other lines of that letter skipped.
bool feed_or_skip(std::string_view text, std::size_t& pos, uint32_t& crc, char covered_second) {
    if (pos + 1 >= text.size()) return false;
    if (text[pos + 1] == covered_second) return feed_line(text, pos, crc);
    return skip_line(text, pos);
}

}  // namespace

IgcSecurity verify_igc(std::string_view text) {
    uint32_t crc = kIgcCrcStart;
    std::size_t pos = 0;
    for (;;) {
        if (pos >= text.size()) return IgcSecurity::NoRecord;
        bool ok = false;
        switch (text[pos]) {
        case 'A':
        case 'B':
        case 'I':
            ok = feed_line(text, pos, crc);
            break;
        case 'H':
            ok = feed_or_skip(text, pos, crc, 'F');
            break;
        case 'L':
            ok = feed_or_skip(text, pos, crc, 'X');
            break;
        case 'G': {
            const std::string expected = igc_security_code(crc);
            if (text.substr(pos + 1, 16) != expected) return IgcSecurity::Failed;
            for (std::size_t i = pos + 17; i < text.size(); ++i)
                if (text[i] != '\r' && text[i] != '\n') return IgcSecurity::Failed;
            return IgcSecurity::Passed;
        }
        default:
            return IgcSecurity::Failed;
        }
        if (!ok) return IgcSecurity::Failed;
    }
}

void report_igc_security(Reporter& r, IgcSecurity result) {
    switch (result) {
    case IgcSecurity::Passed:
        r.notice_box("Security check", "Security check PASSED");
        break;
    case IgcSecurity::NoRecord:
        r.notice_box("Security check", "No security record");
        break;
    case IgcSecurity::Failed:
        r.error_box("Security check", "Security check FAILED");
        break;
    }
}

int verify_igc_file(Reporter& r, const std::string& path) {
    std::string bytes;
    const FileReadTitles titles{.open = "Error opening track log file", .size = "Error opening track log file",
                                .not_regular = "Error opening track log file", .empty = "Reading track log file",
                                .memory = "File buffer memory allocation", .read = "Track log file read error"};
    if (read_whole_file(r, path, titles, bytes) < 0) return -1;
    const IgcSecurity result = verify_igc(bytes);
    report_igc_security(r, result);
    return result == IgcSecurity::Passed ? 0 : (result == IgcSecurity::NoRecord ? 1 : -1);
}

}  // namespace orlogix
