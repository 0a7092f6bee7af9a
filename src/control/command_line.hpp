#pragma once
// The batch command line: "/KEYWORD=value" tokens naming one operation, the
// instrument, the port and options. Parsing is pure; running it is elsewhere.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "access/instrument_catalogue.hpp"

namespace orlogix {

enum class CommandOperation : int {
    None = 0,
    KmlLog = 1,
    OziLog = 2,
    IgcLog = 3,
    MpsLog = 4,
    ReadWaypoints = 5,
    WriteWaypoints = 6,
    WriteWaypointsIdName = 7,
    IgcToKml = 8,
    DatToKml = 9,
    LogFile = 10,
    CompLog = 11,
    WriteCtr = 13,
    UserName = 14,
    ReadGeoWaypoints = 15,
    CheckKml = 16,
    Server = 17,   // serve scoring clients over TCP until stopped
    XcScore = 18,   // the exact contest score of a flight
};

enum class WindowMode : int { Hidden = 0, Minimised = 1, Normal = 2 };
enum class CompFileType : int { Kml = 0, Igc = 1 };

inline constexpr std::size_t kKeywordMax = 16;
inline constexpr int kTimeoutMax = 86400;

struct CommandLine {
    CommandOperation operation = CommandOperation::None;
    // The catalogue row GPS= named (its serial row; /USB picks the USB twin).
    const InstrumentKind* gps = &default_instrument();
    std::string port_name;   // empty: the configured port; "COMn" or a device path
    bool usb = false;
    std::string file_name;
    bool overwrite = false;
    bool exit = false;
    WindowMode window_mode = WindowMode::Normal;
    std::string pilot;       // at most 80 characters
    std::string glider_id;   // at most 20 characters
    std::string notify;      // notification socket path, at most 256 characters
    bool has_session = false;
    uint32_t session = 0;
    int message_x = 0;
    int message_y = 0;
    CompFileType comp_file_type = CompFileType::Kml;
    int64_t comp_id = -1;
    int64_t civl_id = -1;
    uint32_t filter_start = 0;   // 0 = open
    uint32_t filter_end = 0;     // 0 = open
    std::string comp_dir;
    std::string comp_fs_file;    // COMP_FS: pilot list to read when the command runs
    bool comp_special = false;
    bool no_split = false;
    bool no_check = false;
    bool power_off = false;
    bool no_loop_opt = false;
    int timeout = 0;             // 0 = the built-in 30; for XC_SCORE the time limit, 0 none
    bool xc_score = false;       // XC_SCORE without a file: score the downloaded track
    std::string xc_rules = "XContest";
    std::string xc_out;          // XC_OUT: GeoJSON of the best contest flight
    uint32_t send_log_seconds = 0;  // SENDLOG interval, 0 = off
    std::string server_address;  // SERVER: the address to listen on, empty = every local address
    std::string server_port;     // SERVER: the port as given (checked when the server starts)
};

struct CommandLineError {
    std::string text;   // shown with the title "Parsing command line"
};

inline constexpr const char* kParseTitle = "Parsing command line";

// Parses a whole command line. 0, or -1 with the first error's text.
int parse_command_line(std::string_view text, CommandLine& out, CommandLineError& error);

// What --help prints: the forms of a command line, every operation and option
// with its value, the GPS names of the catalogue (those `available` refuses
// are marked as not built yet), the exit codes and an example with a
// simulated instrument.
// formats: the list of file formats shown under "File formats" (none when empty).
std::string usage_text(const std::function<bool(const InstrumentKind&)>& available = {},
                       const std::string& formats = {});

// One keyword as the usage text and the manual page show it.
struct KeywordHelp {
    std::string_view name;
    std::string_view value;   // what the value is; empty: the keyword takes none
    std::string_view help;
    bool operation = false;   // an operation rather than an option
};
// Every keyword, operations first, in the order the usage text shows them.
std::vector<KeywordHelp> keyword_help();

// The catalogue row of the command's instrument, /USB taken into account
// (the serial row when the instrument has no USB twin).
const InstrumentKind& instrument_for(const CommandLine& c);
// The protocol type of the dispatch table for the command's instrument.
int protocol_type_for(const CommandLine& c);
// The baud or mode value the job is started with (the row's command baud).
int baud_value_for(const CommandLine& c);

// Rebuilds one command-line text from already split program arguments: a
// value with blanks is put back in double quotes so the tokenizer keeps it whole.
std::string join_arguments(int argc, const char* const* argv);

}  // namespace orlogix
