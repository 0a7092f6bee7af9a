#include "control/command_line.hpp"

#include <array>
#include <cctype>
#include <limits>

#include "core/report.hpp"
#include "core/time.hpp"

namespace orlogix {
namespace {

constexpr std::array<std::string_view, 14> kGpsNames = {
    "GARMIN", "MLR", "TOPNAV", "LOGIT", "IQCOMPEO", "GRAVITER", "MAGELLAN",
    "XCTRAINER", "XCT_MXP", "FLYMASTER", "DSX", "MLRC", "IQBASIC", "MTK",
};

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

class Interpreter {
public:
    Interpreter(CommandLine& c, CommandLineError& e) : c_(c), e_(e) {}

    // One finished token; false after an error (its text is set).
    bool token(const std::string& keyword, const std::string& value) {
        const std::string& k = keyword;
        if (k == "COM") return com(value);
        if (k == "USB") return c_.usb = true;
        if (k == "GPS") return gps(value);
        if (k == "KML_LOG") return operation(CommandOperation::KmlLog, value, "Missing log file name");
        if (k == "MPS_LOG") return operation(CommandOperation::MpsLog, value, "Missing log file name");
        if (k == "OZI_LOG" || k == "RD_LOG") return operation(CommandOperation::OziLog, value, "Missing log file name");
        if (k == "IGC_LOG") return operation(CommandOperation::IgcLog, value, "Missing log file directory name");
        if (k == "PILOT") return text_option(c_.pilot, value, 80);
        if (k == "ID") return text_option(c_.glider_id, value, 20);
        if (k == "RD_WPT") return operation(CommandOperation::ReadWaypoints, value, "Missing wpt file name");
        if (k == "RD_GEO_WPT") return operation(CommandOperation::ReadGeoWaypoints, value, "Missing wpt file name");
        if (k == "WR_WPT") return operation(CommandOperation::WriteWaypoints, value, "Missing wpt file name");
        if (k == "WR_WPT2") return operation(CommandOperation::WriteWaypointsIdName, value, "Missing wpt file name");
        if (k == "WR_CTR") return operation(CommandOperation::WriteCtr, value, "Missing CTR file name");
        if (k == "EXIT") return c_.exit = true;
        if (k == "OVERWRITE") return c_.overwrite = true;
        if (k == "WIN") return window(value);
        if (k == "CHKKML") return operation(CommandOperation::CheckKml, value, "Missing file name");
        if (k == "IGC2KML") return operation(CommandOperation::IgcToKml, value, "Missing IGC/KML file name");
        if (k == "DAT2KML") return operation(CommandOperation::DatToKml, value, "Missing DAT/KML file name");
        if (k == "LOGFILE") return operation(CommandOperation::LogFile, value, "Missing track log file name");
        if (k == "COMP_LOG") return comp_log(value);
        if (k == "COMP_SPECIAL") return c_.comp_special = true;
        if (k == "COMP_DIR") return required(c_.comp_dir, value, "Missing competition directory name");
        if (k == "COMP_FS") return required(c_.comp_fs_file, value, "Missing flight score file name");
        if (k == "COMPID") return pilot_number(c_.comp_id, trim_blanks(value), true, "Bad COMPID value");
        if (k == "CIVLID") return pilot_number(c_.civl_id, value, false, "Bad CIVLID value");
        if (k == "FILTER") return filter_start(value);
        if (k == "FILTEREND") return filter_end(value);
        if (k == "NOTIFY") return notify(value);
        if (k == "NOSPLIT") return c_.no_split = true;
        if (k == "SESSION") return session(value);
        if (k == "NOCHECK") return c_.no_check = true;
        if (k == "PWROFF") return c_.power_off = true;
        if (k == "SENDLOG") return send_log(value);
        if (k == "POSX") return position(c_.message_x, value);
        if (k == "POSY") return position(c_.message_y, value);
        if (k == "USERNAME") return username(value);
        if (k == "TIMEOUT") return timeout(value);
        if (k == "NOLOOPOPT") return c_.no_loop_opt = true;
        return fail("Unrecognized command");
    }

    bool fail(std::string text) {
        e_.text = std::move(text);
        return false;
    }

private:
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
        for (std::size_t i = 0; i < kGpsNames.size(); ++i) {
            if (name == kGpsNames[i]) {
                c_.gps = static_cast<GpsType>(i);
                return true;
            }
        }
        return fail("Bad GPS type");
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
        uint64_t n = 0;
        if (!parse_unsigned(v, std::numeric_limits<uint32_t>::max(), n)) return fail(bad);
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

    bool timeout(const std::string& v) {
        int64_t n = 0;
        if (!parse_signed(v, kTimeoutMax, n)) return fail("Bad TIMEOUT value");
        c_.timeout = static_cast<int>(n < 0 ? 0 : n);
        return true;
    }

    CommandLine& c_;
    CommandLineError& e_;
};

bool gps_in(GpsType g, std::initializer_list<GpsType> allowed) {
    for (GpsType a : allowed)
        if (a == g) return true;
    return false;
}

// Which instruments each operation may name; empty text: allowed.
const char* check_operation(const CommandLine& c) {
    using G = GpsType;
    using O = CommandOperation;
    if (c.operation == O::UserName)
        return c.gps == G::Flymaster ? nullptr : "Unsupported GPS for username upload";
    if (c.usb) return c.gps == G::Garmin ? nullptr : "USB is not supported";
    switch (c.operation) {
        case O::KmlLog:
        case O::OziLog:
        case O::MpsLog:
        case O::CompLog:
            return c.gps != G::Mlrc ? nullptr : "Unsupported GPS for track log download";
        case O::IgcLog:
            return !gps_in(c.gps, {G::TopNav, G::Graviter, G::Mlrc}) ? nullptr
                                                                     : "Unsupported GPS for IGC track log download";
        case O::ReadWaypoints:
        case O::ReadGeoWaypoints:
            return gps_in(c.gps, {G::Garmin, G::Mlr, G::IqCompeo, G::Flymaster, G::Mlrc, G::IqBasic})
                       ? nullptr
                       : "Unsupported GPS for waypoint download";
        case O::WriteWaypoints:
        case O::WriteWaypointsIdName:
            return gps_in(c.gps, {G::Garmin, G::Mlr, G::TopNav, G::IqCompeo, G::Magellan, G::XcTrainer,
                                  G::Flymaster, G::IqBasic})
                       ? nullptr
                       : "Unsupported GPS for track log upload";
        case O::WriteCtr:
            return gps_in(c.gps, {G::Garmin, G::IqCompeo}) ? nullptr : "Unsupported GPS for CTR upload";
        default:
            return nullptr;
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
                else if (value.size() < kValueMax) value += ch;
                value_started = true;
                break;
            case State::Quoted:
                if (ch == '"' || ch == '\0') finish = true;
                else if (value.size() < kValueMax) value += ch;
                break;
        }
        if (finish) {
            state = State::Between;
            if (!interpret.token(keyword, value)) return -1;
        }
    }
    if (const char* problem = check_operation(out)) {
        error.text = problem;
        return -1;
    }
    return 0;
}

int protocol_type_for(const CommandLine& c) {
    static constexpr std::array<int, 14> kProtocol = {0, 1, 2, 3, 4, 5, 6, 7, 10, 12, 13, 14, 16, 15};
    if (c.gps == GpsType::Garmin && c.usb) return 8;
    return kProtocol[static_cast<std::size_t>(c.gps)];
}

int baud_value_for(const CommandLine& c) {
    return c.gps == GpsType::LogIt || c.gps == GpsType::XctMxp ? 57600 : 0;
}

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
