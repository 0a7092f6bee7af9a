#pragma once
// The instrument catalogue: one row per kind of instrument the program can
// talk to, holding everything the rest of the program needs to know about it
// (its names, protocol type, the job routines of the dispatch table, line
// settings, the raw-log rule, the simulator family, its window entries).
// The command line, the window, the simulator tool and the server read it;
// a family only registers its job routines (dispatch.hpp).
#include <array>
#include <deque>
#include <string_view>
#include <vector>

#include "access/dispatch.hpp"
#include "access/types.hpp"
#include "core/records.hpp"

namespace orlogix {

// Command-line operation groups an instrument may be named for.
enum CommandUse : unsigned {
    kUseTrackLog = 1u << 0,       // KML_LOG, OZI_LOG, RD_LOG, MPS_LOG, COMP_LOG
    kUseIgcLog = 1u << 1,         // IGC_LOG
    kUseReadWaypoints = 1u << 2,  // RD_WPT, RD_GEO_WPT
    kUseWriteWaypoints = 1u << 3, // WR_WPT, WR_WPT2
    kUseWriteCtr = 1u << 4,       // WR_CTR
    kUseUserName = 1u << 5,       // USERNAME
};

// A window entry that starts a job on this instrument: the menu it sits in,
// its place there (the window's own entries stand at 10, 20, 30, ...), the
// access type and what the job is handed.
struct InstrumentEntry {
    int id;
    const char* menu;   // "&Logs", "W&pts", "&CTR", "&Misc"
    int order;
    const char* text;   // as shown, "\t" and the accelerator where there is one
    AccessType access;
    int baud = 0;       // baud or mode value, 0 = the protocol's default
    int naming = 0;     // upload naming mode of waypoint sends
};

// A quick button sends the entry of the same id.
struct QuickButton {
    int id;
    const char* text;
    int x, y, width, height;  // dialog units
};

struct InstrumentKind {
    ProtocolType protocol;
    const char* title;               // for people: "Garmin, serial port"
    const char* gps_name = nullptr;  // GPS= of the command line (upper case), or none
    bool usb = false;                // reached as GPS=<gps_name> /USB
    const char* server_name = nullptr;  // gps= of the TCP server, or none
    bool server_downloads = false;   // the TCP server starts track-log downloads on it
    // The job routine for each access type (the dispatch table's column).
    std::array<Routine, kAccessTypeCount> routines{};
    int connect_baud = 0;            // 0: not a serial link
    std::vector<int> transfer_rates = {};  // later rates the jobs switch to
    bool xon_xoff = false;           // set with every rate change
    int command_baud = 0;            // baud value the command line and server hand the job
    unsigned command_uses = 0;       // CommandUse bits
    bool command_names_uploads = false;  // WR_WPT/WR_WPT2 uploads take the operation's naming
    InstrumentFamily family = InstrumentFamily::File;
    bool keeps_raw_igc = false;      // a track download delivers the instrument's own IGC file
    bool keeps_raw_topnav = false;   // ... or a Top Navigator log
    bool track_into_file = false;    // a track read saves its own file and hands over no track log
    const char* sim_family = nullptr;  // orlogix-sim --family name, or none
    // The stored setting (by its name) that switches this instrument off after
    // a window job; none: the window's general power-off toggle.
    const char* power_off_setting = nullptr;
    std::vector<InstrumentEntry> entries = {};
    std::vector<QuickButton> buttons = {};
};

// Every row, in the order the usage text and the menus show them. The
// addresses stay valid while rows are added.
const std::deque<InstrumentKind>& instrument_catalogue();

// Adds a row (a family kept out of the shipped program, e.g. in a test).
// Call it before the first job; a row for a protocol type already there replaces nothing.
void add_instrument_kind(InstrumentKind kind);

const InstrumentKind* find_instrument(ProtocolType protocol);
// The row the command line's GPS=name (upper case) names, with or without /USB.
const InstrumentKind* find_gps_name(std::string_view name, bool usb);
// The instrument a command line names when it names none.
const InstrumentKind& default_instrument();

// The dispatch cell, Routine::None when the row has none (or there is no row).
Routine instrument_routine(const InstrumentKind& kind, AccessType access);
// True when the family registered the routine of that cell.
bool instrument_serves(const InstrumentKind& kind, AccessType access, const RoutineRegistry& routines = job_routines());
// True when any routine of the row is registered: the family is built.
bool instrument_built(const InstrumentKind& kind, const RoutineRegistry& routines = job_routines());

// XON/XOFF for the rate changes of a protocol type.
bool instrument_uses_xon_xoff(ProtocolType protocol);

// Which raw logs a track download of this family keeps beside its positions.
struct RawLogRule {
    bool igc = false;
    bool topnav = false;
};
RawLogRule raw_logs_kept(InstrumentFamily family);

}  // namespace orlogix
