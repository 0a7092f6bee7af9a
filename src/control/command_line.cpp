#include "control/command_line.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <vector>

#include "analysis/contest/contest_rules.hpp"
#include "competition/identity_position.hpp"
#include "core/report.hpp"
#include "core/time.hpp"

namespace orlogix {
namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool all_digits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Unsigned decimal that fits the limit; false for anything else.
bool parse_unsigned(std::string_view s, uint64_t limit, uint64_t& out) {
    if (!all_digits(s)) return false;
    uint64_t v = 0;
    for (char c : s) {
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > limit) return false;
    }
    out = v;
    return true;
}

// Optional sign and digits; the magnitude saturates at the limit.
bool parse_signed(std::string_view s, int64_t limit, int64_t& out) {
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (!all_digits(s)) return false;
    int64_t v = 0;
    for (char c : s) {
        v = v * 10 + (c - '0');
        if (v > limit) v = limit;
    }
    out = negative ? -v : v;
    return true;
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// YYYYMMDDhhmmss, UTC, with every field in range.
bool parse_filter_time(std::string_view s, uint32_t& out) {
    if (s.size() != 14 || !all_digits(s)) return false;
    auto field = [&](std::size_t at, std::size_t len) {
        int v = 0;
        for (std::size_t i = at; i < at + len; ++i) v = v * 10 + (s[i] - '0');
        return v;
    };
    int year = field(0, 4), month = field(4, 2), day = field(6, 2);
    int hour = field(8, 2), minute = field(10, 2), second = field(12, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return false;
    out = time_from_calendar(year, month, day, hour, minute, second);
    return true;
}

// Edits needed to turn one name into the other (adjacent swaps count once).
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The known name a mistyped one most likely meant; empty when none is close.
std::string_view closest_gps_name(std::string_view typed) {
    std::string_view best;
    std::size_t best_distance = 3;  // more than two edits is another word
    for (const InstrumentKind& kind : instrument_catalogue()) {
        if (!kind.gps_name || kind.usb) continue;
        const std::string_view name = kind.gps_name;
        // Each letter more or less is one edit: no need to measure far-off lengths.
        if (typed.size() + 2 < name.size() || typed.size() > name.size() + 2) continue;
        const std::size_t d = edit_distance(typed, name);
        if (d < best_distance && 3 * d <= name.size()) {
            best = name;
            best_distance = d;
        }
    }
    return best;
}

class Interpreter;
using Handler = bool (Interpreter::*)(const std::string& value);

// One keyword: how it is shown in the usage text and what reading it does.
struct Keyword {
    std::string_view name;
    std::string_view value;       // what the value is, for the usage; empty: no value
    std::string_view help;
    CommandOperation operation;   // None: an option
    const char* missing;          // an operation's text for an empty value
    Handler handler;              // nullptr: the value is the operation's file name
};

class Interpreter {
public:
    Interpreter(CommandLine& c, CommandLineError& e) : c_(c), e_(e) {}

    // One finished token as typed (`raw`); false after an error (its text is set).
    bool token(const std::string& keyword, const std::string& value, std::string_view raw);

    bool fail(std::string text) {
        e_.text = std::move(text);
        return false;
    }

    template <bool CommandLine::*Field>
    bool flag(const std::string&) {
        c_.*Field = true;
        return true;
    }

    bool com(const std::string& v) {
        uint64_t n = 0;
        if (parse_unsigned(v, std::numeric_limits<int32_t>::max(), n) && n > 0) {
            c_.port_name = "COM" + std::to_string(n);
            return true;
        }
        // A device path names the port directly.
        if (v.size() > 1 && v[0] == '/') {
            c_.port_name = v;
            return true;
        }
        return fail("Bad COM port");
    }

    bool gps(const std::string& v) {
        std::string name = upper(v);
        if (const InstrumentKind* kind = find_gps_name(name, false)) {
            c_.gps = kind;
            return true;
        }
        std::string text = "Bad GPS type: " + v;
        if (std::string_view near = closest_gps_name(name); !near.empty())
            text += " (did you mean " + std::string(near) + "?)";
        return fail(std::move(text));
    }

    bool operation(CommandOperation op, const std::string& v, const char* missing) {
        if (v.empty()) return fail(missing);
        c_.operation = op;
        c_.file_name = v;
        return true;
    }

    bool required(std::string& field, const std::string& v, const char* missing) {
        if (v.empty()) return fail(missing);
        field = v;
        return true;
    }

    static bool text_option(std::string& field, const std::string& v, std::size_t max) {
        if (!v.empty()) field = v.substr(0, max);
        return true;
    }

    bool pilot(const std::string& v) { return text_option(c_.pilot, v, 80); }
    bool glider_id(const std::string& v) { return text_option(c_.glider_id, v, 20); }
    bool comp_dir(const std::string& v) { return required(c_.comp_dir, v, "Missing competition directory name"); }
    bool comp_fs(const std::string& v) { return required(c_.comp_fs_file, v, "Missing flight score file name"); }
    bool comp_id(const std::string& v) { return pilot_number(c_.comp_id, trim_blanks(v), true, "Bad COMPID value"); }
    bool civl_id(const std::string& v) { return pilot_number(c_.civl_id, v, false, "Bad CIVLID value"); }
    bool position_x(const std::string& v) { return position(c_.message_x, v); }
    bool position_y(const std::string& v) { return position(c_.message_y, v); }

    bool window(const std::string& v) {
        if (v == "0") c_.window_mode = WindowMode::Hidden;
        else if (v == "1") c_.window_mode = WindowMode::Minimised;
        else if (v == "2") c_.window_mode = WindowMode::Normal;
        else return fail("Bad window size");
        return true;
    }

    bool comp_log(const std::string& v) {
        std::string t = upper(v);
        if (t == "KML") c_.comp_file_type = CompFileType::Kml;
        else if (t == "IGC") c_.comp_file_type = CompFileType::Igc;
        else return fail("Bad competition fle type");
        c_.operation = CommandOperation::CompLog;
        return true;
    }

    bool pilot_number(int64_t& field, std::string_view v, bool empty_is_zero, const char* bad) {
        if (v.empty() && empty_is_zero) {
            field = 0;
            return true;
        }
        // Beyond this a number no longer fits a waypoint position.
        uint64_t n = 0;
        if (!parse_unsigned(v, kIdentityNumberMax, n)) return fail(bad);
        field = static_cast<int64_t>(n);
        return true;
    }

    bool filter_start(const std::string& v) {
        uint32_t t = 0;
        if (!parse_filter_time(v, t)) return fail("Bad track log start filter time");
        if (c_.filter_end != 0 && t >= c_.filter_end) return fail("Comp. stop time before start time");
        c_.filter_start = t;
        return true;
    }

    bool filter_end(const std::string& v) {
        uint32_t t = 0;
        if (!parse_filter_time(v, t)) return fail("Bad track log stop filter time");
        if (c_.filter_start != 0 && t <= c_.filter_start) return fail("Comp. start time after end time");
        c_.filter_end = t;
        return true;
    }

    bool notify(const std::string& v) {
        if (v.empty()) return fail("Missing window class name");
        c_.notify = v.substr(0, 256);
        return true;
    }

    bool session(const std::string& v) {
        if (v.empty()) return fail("Missing session number");
        uint64_t n = 0;
        if (!parse_unsigned(v, std::numeric_limits<uint32_t>::max(), n)) return fail("Bad session number");
        c_.has_session = true;
        c_.session = static_cast<uint32_t>(n);
        return true;
    }

    bool send_log(const std::string& v) {
        uint64_t n = 0;
        if (!parse_unsigned(v, std::numeric_limits<uint32_t>::max(), n)) return fail("Bad SENDLOG value");
        c_.send_log_seconds = static_cast<uint32_t>(n);
        return true;
    }

    bool position(int& field, const std::string& v) {
        int64_t n = 0;
        if (!parse_signed(v, std::numeric_limits<int32_t>::max(), n)) return fail("Bad POSX value");
        field = static_cast<int>(n);
        return true;
    }

    bool username(const std::string& v) {
        if (v.empty()) return fail("Missing username");
        c_.operation = CommandOperation::UserName;
        c_.pilot = v.substr(0, 80);
        return true;
    }

    // port, or address:port (the last colon separates them).
    bool server(const std::string& v) {
        if (v.empty()) return fail("Missing server port");
        const std::size_t colon = v.rfind(':');
        c_.server_address = colon == std::string::npos ? std::string() : v.substr(0, colon);
        c_.server_port = colon == std::string::npos ? v : v.substr(colon + 1);
        c_.operation = CommandOperation::Server;
        return true;
    }

    bool xc_score(const std::string& v) {
        if (v.empty()) {
            c_.xc_score = true;
            return true;
        }
        return operation(CommandOperation::XcScore, v, "Missing IGC file name");
    }

    bool xc_rules(const std::string& v) {
        const ContestRules* rules = find_contest_rules(v);
        if (rules == nullptr) return fail("Unknown contest rules: " + v);
        c_.xc_rules = std::string(rules->name);
        return true;
    }

    bool xc_out(const std::string& v) {
        if (v.empty()) return fail("Missing GeoJSON file name");
        c_.xc_out = v;
        return true;
    }

    bool timeout(const std::string& v) {
        int64_t n = 0;
        if (!parse_signed(v, kTimeoutMax, n)) return fail("Bad TIMEOUT value");
        c_.timeout = static_cast<int>(n < 0 ? 0 : n);
        return true;
    }

private:
    CommandLine& c_;
    CommandLineError& e_;
};

using O = CommandOperation;
using I = Interpreter;

// An operation whose value is its file name, and an option read by its handler.
constexpr Keyword file_operation(std::string_view name, std::string_view help, CommandOperation op,
                                 const char* missing) {
    return {name, "file", help, op, missing, nullptr};
}
constexpr Keyword option(std::string_view name, std::string_view value, std::string_view help, Handler handler) {
    return {name, value, help, CommandOperation::None, nullptr, handler};
}

// Every keyword, in the order the usage text shows them: operations first.
const Keyword kKeywords[] = {
    file_operation("KML_LOG", "download the track log into a signed KML trip", O::KmlLog, "Missing log file name"),
    {"IGC_LOG", "folder/ or file",
     "download the track log into an IGC file (in a folder: named by date and flight number)", O::IgcLog,
     "Missing log file directory name", nullptr},
    file_operation("OZI_LOG", "download the track log into an OziExplorer track file", O::OziLog,
                   "Missing log file name"),
    file_operation("RD_LOG", "the same as OZI_LOG", O::OziLog, "Missing log file name"),
    file_operation("MPS_LOG", "download the track log into a MapSource file", O::MpsLog, "Missing log file name"),
    file_operation("RD_WPT", "download the waypoints into an OziExplorer waypoint file", O::ReadWaypoints,
                   "Missing wpt file name"),
    file_operation("RD_GEO_WPT", "download the waypoints into a Geographical waypoint file", O::ReadGeoWaypoints,
                   "Missing wpt file name"),
    file_operation("WR_WPT", "upload the waypoints of a file (an empty comment takes the identifier)",
                   O::WriteWaypoints, "Missing wpt file name"),
    file_operation("WR_WPT2", "upload the waypoints of a file (names: identifier and comment)", O::WriteWaypointsIdName,
                   "Missing wpt file name"),
    file_operation("WR_CTR", "upload the airspaces of an OpenAir file", O::WriteCtr, "Missing CTR file name"),
    {"USERNAME", "name", "write the pilot name (with COMPID and CIVLID) to a Flymaster", O::UserName, nullptr,
     &I::username},
    {"COMP_LOG", "KML or IGC", "competition download: the track log saved as the competition log", O::CompLog, nullptr,
     &I::comp_log},
    file_operation("IGC2KML", "convert an IGC file to KML", O::IgcToKml, "Missing IGC/KML file name"),
    file_operation("DAT2KML", "convert a .dat track file to KML", O::DatToKml, "Missing DAT/KML file name"),
    file_operation("CHKKML", "check the signature of a KML file", O::CheckKml, "Missing file name"),
    {"SERVER", "port or address:port",
     "serve scoring clients over TCP until stopped (port 0: the system chooses one)", O::Server, nullptr,
     &I::server},
    {"XC_SCORE", "file or nothing",
     "the exact contest score of an IGC file (alone: of the downloaded track), one line per type and the best",
     O::XcScore, nullptr, &I::xc_score},
    file_operation("LOGFILE", "open a track file (the same as naming the file alone)", O::LogFile,
                   "Missing track log file name"),

    option("GPS", "name", "the instrument (the names below; the first when not given)", &I::gps),
    option("COM", "n or device", "the port: entry n of the system's serial ports, or a device path", &I::com),
    option("USB", "", "a Garmin on USB", &I::flag<&CommandLine::usb>),
    option("WIN", "0, 1 or 2", "no window (messages go to standard error), minimised, or shown", &I::window),
    option("EXIT", "", "end the program when the operation has finished", &I::flag<&CommandLine::exit>),
    option("OVERWRITE", "", "replace existing output files without asking", &I::flag<&CommandLine::overwrite>),
    option("PILOT", "name", "pilot for the IGC header and the competition log", &I::pilot),
    option("ID", "text", "glider ID for the IGC header", &I::glider_id),
    option("TIMEOUT", "seconds", "how long to keep trying to reach the instrument (30 when not given); with XC_SCORE the longest the scoring may take", &I::timeout),
    option("XC_RULES", "XContest, FFVL or FAI", "the contest rules of XC_SCORE (XContest when not given)", &I::xc_rules),
    option("XC_OUT", "file", "write the best contest flight as GeoJSON", &I::xc_out),
    option("PWROFF", "", "switch a Garmin or Flymaster off after the transfer", &I::flag<&CommandLine::power_off>),
    option("NOSPLIT", "", "keep a track with time gaps whole", &I::flag<&CommandLine::no_split>),
    option("NOLOOPOPT", "", "no out-and-return and triangle optimisation", &I::flag<&CommandLine::no_loop_opt>),
    option("NOTIFY", "socket", "send progress notifications to a Unix datagram socket", &I::notify),
    option("SESSION", "n", "the number sent with every notification", &I::session),
    option("SENDLOG", "seconds", "a position notification every so many seconds of track time", &I::send_log),
    option("COMP_DIR", "folder", "competition output folder", &I::comp_dir),
    option("COMP_FS", "file", "read the pilot list from an FS database file", &I::comp_fs),
    option("COMP_SPECIAL", "", "competition mode: pilots known by their identity waypoint",
           &I::flag<&CommandLine::comp_special>),
    option("COMPID", "n", "competition pilot number", &I::comp_id),
    option("CIVLID", "n", "CIVL pilot ID", &I::civl_id),
    option("FILTER", "YYYYMMDDhhmmss", "start of the competition time window (UTC)", &I::filter_start),
    option("FILTEREND", "YYYYMMDDhhmmss", "end of the competition time window (UTC)", &I::filter_end),
    option("NOCHECK", "", "competition download without the track speed check", &I::flag<&CommandLine::no_check>),
    option("POSX", "x", "horizontal position of message boxes", &I::position_x),
    option("POSY", "y", "vertical position of message boxes", &I::position_y),
};

bool Interpreter::token(const std::string& keyword, const std::string& value, std::string_view raw) {
    for (const Keyword& k : kKeywords) {
        if (keyword != k.name) continue;
        if (k.handler) return (this->*k.handler)(value);
        return operation(k.operation, value, k.missing);
    }
    return fail("Unrecognized command: " + std::string(raw));
}

// Which instruments each operation may name; empty text: allowed.
const char* check_operation(const CommandLine& c) {
    const unsigned uses = c.gps->command_uses;
    if (c.operation == O::UserName) return uses & kUseUserName ? nullptr : "Unsupported GPS for username upload";
    if (c.usb) return find_gps_name(c.gps->gps_name, true) ? nullptr : "USB is not supported";
    auto allowed = [uses](unsigned use, const char* refusal) { return uses & use ? nullptr : refusal; };
    switch (c.operation) {
        case O::KmlLog:
        case O::OziLog:
        case O::MpsLog:
        case O::CompLog: return allowed(kUseTrackLog, "Unsupported GPS for track log download");
        case O::IgcLog: return allowed(kUseIgcLog, "Unsupported GPS for IGC track log download");
        case O::ReadWaypoints:
        case O::ReadGeoWaypoints: return allowed(kUseReadWaypoints, "Unsupported GPS for waypoint download");
        case O::WriteWaypoints:
        case O::WriteWaypointsIdName: return allowed(kUseWriteWaypoints, "Unsupported GPS for track log upload");
        case O::WriteCtr: return allowed(kUseWriteCtr, "Unsupported GPS for CTR upload");
        default: return nullptr;
    }
}

}  // namespace

int parse_command_line(std::string_view text, CommandLine& out, CommandLineError& error) {
    out = CommandLine{};
    error = CommandLineError{};
    if (!text.empty() && text.front() == '"') {
        std::size_t close = text.find('"', 1);
        if (close == std::string_view::npos) {
            error.text = "Bad double apostrophe (\") balance";
            return -1;
        }
        text = text.substr(1, close - 1);
    }
    if (text.empty()) return 0;
    if (text.front() != '/') {
        out.operation = CommandOperation::LogFile;
        out.file_name = std::string(text);
        return 0;
    }

    enum class State { Between, Keyword, Value, Quoted } state = State::Between;
    Interpreter interpret(out, error);
    std::string keyword, value;
    bool value_started = false;
    std::size_t token_start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        char ch = i < text.size() ? text[i] : '\0';
        bool finish = false;
        switch (state) {
            case State::Between:
                if (ch == ' ' || ch == '\0') break;
                if (ch != '/') {
                    error.text = strformat("Error at position %d", static_cast<int>(i + 1));
                    return -1;
                }
                keyword.clear();
                value.clear();
                value_started = false;
                token_start = i;
                state = State::Keyword;
                break;
            case State::Keyword:
                if (ch == ' ' || ch == '\0') finish = true;
                else if (ch == '=') state = State::Value;
                else if (keyword.size() < kKeywordMax)
                    keyword += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                break;
            case State::Value:
                if (ch == ' ' || ch == '\0') finish = true;
                else if (ch == '"' && !value_started) state = State::Quoted;
                else value += ch;  // kept whole: the platform decides what a name may hold
                value_started = true;
                break;
            case State::Quoted:
                if (ch == '"' || ch == '\0') finish = true;
                else value += ch;
                break;
        }
        if (finish) {
            state = State::Between;
            const std::size_t end = std::min(i + (ch == '"' ? 1 : 0), text.size());
            if (!interpret.token(keyword, value, text.substr(token_start, end - token_start))) return -1;
        }
    }
    if (const char* problem = check_operation(out)) {
        error.text = problem;
        return -1;
    }
    return 0;
}

std::string usage_text(const std::function<bool(const InstrumentKind&)>& available, const std::string& formats) {
    auto form = [](const Keyword& k) {
        std::string f = "/" + std::string(k.name);
        if (!k.value.empty()) f += "=<" + std::string(k.value) + ">";
        return f;
    };
    auto list = [&](bool operations) {
        std::string out;
        for (const Keyword& k : kKeywords) {
            if ((k.operation != CommandOperation::None) != operations) continue;
            std::string f = form(k);
            out += "  " + f + std::string(f.size() < 30 ? 30 - f.size() : 1, ' ') + std::string(k.help) + "\n";
        }
        return out;
    };
    std::string gps;
    // The example uses the first instrument that is built and simulated.
    const InstrumentKind* example = nullptr;
    for (const InstrumentKind& kind : instrument_catalogue()) {
        if (!kind.gps_name || kind.usb) continue;
        const bool built = !available || available(kind);
        gps += "  " + std::string(kind.gps_name) + (built ? "" : " (not built yet)") + "\n";
        if (!example && built && kind.sim_family) example = &kind;
    }
    if (!example) example = &default_instrument();
    const std::string sim = example->sim_family ? example->sim_family : "NAME";
    return "Usage: orlogix /GPS=<name> [/COM=<n or device>] /<OPERATION>=<file> [options] [/EXIT]\n"
           "       orlogix <track file>       open a track file\n"
           "       orlogix                    the main window\n"
           "       orlogix --help | -h | /?   this text; orlogix --version: the version\n"
           "Keywords and GPS names may be written in any case; a value with blanks goes in double quotes.\n"
           "Without /WIN=1 or /WIN=2 a command line runs without a window.\n"
           "\nOperations (one per command line):\n" +
           list(true) + "\nOptions:\n" + list(false) + "\nGPS names:\n" + gps +
           (formats.empty() ? std::string()
                            : "\nFile formats (a track file named alone or with /LOGFILE is read by its extension;\n"
                              "waypoint files are recognised by their content):\n" + formats) +
           "\nExit codes:\n"
           "  0  the operation worked\n"
           "  1  the transfer, a conversion, a check or writing the output failed\n"
           "  2  the command line could not be parsed, or it names no operation (\"Nothing to do\")\n"
           "\nTrying it without an instrument: a simulated instrument prints its device path, then serves a flight:\n"
           "  orlogix-sim --family " + sim + " --track flight.igc &\n"
           "  orlogix /GPS=" + example->gps_name + " /COM=/dev/pts/3 /IGC_LOG=flights/ /WIN=0 /EXIT\n"
           "(use the device path orlogix-sim printed in place of /dev/pts/3)\n";
}

std::vector<KeywordHelp> keyword_help() {
    std::vector<KeywordHelp> out;
    for (const Keyword& k : kKeywords) out.push_back({k.name, k.value, k.help, k.operation != CommandOperation::None});
    return out;
}

const InstrumentKind& instrument_for(const CommandLine& c) {
    if (c.usb)
        if (const InstrumentKind* twin = find_gps_name(c.gps->gps_name, true)) return *twin;
    return *c.gps;
}

int protocol_type_for(const CommandLine& c) { return static_cast<int>(instrument_for(c).protocol); }

int baud_value_for(const CommandLine& c) { return instrument_for(c).command_baud; }

std::string join_arguments(int argc, const char* const* argv) {
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg(argv[i]);
        if (!out.empty()) out += ' ';
        bool blank = arg.find(' ') != std::string_view::npos;
        std::size_t eq = arg.find('=');
        bool quoted_value = eq != std::string_view::npos && eq + 1 < arg.size() && arg[eq + 1] == '"';
        if (blank && arg.front() == '/' && eq != std::string_view::npos && !quoted_value) {
            out.append(arg.substr(0, eq + 1)).append("\"").append(arg.substr(eq + 1)).append("\"");
        } else if (blank && arg.front() != '/' && arg.front() != '"') {
            out.append("\"").append(arg).append("\"");
        } else {
            out.append(arg);
        }
    }
    return out;
}

}  // namespace orlogix
