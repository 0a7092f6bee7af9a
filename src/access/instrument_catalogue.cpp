#include "access/instrument_catalogue.hpp"

namespace orlogix {

namespace {

using R = Routine;
using A = AccessType;
using P = ProtocolType;
using F = InstrumentFamily;
constexpr R N = R::None;

constexpr unsigned kAllDownloads = kUseTrackLog | kUseIgcLog;
constexpr unsigned kWaypointsBothWays = kUseReadWaypoints | kUseWriteWaypoints;

constexpr const char* kLogs = "&Logs";
constexpr const char* kWpts = "W&pts";
constexpr const char* kCtr = "&CTR";
constexpr const char* kMisc = "&Misc";

// Routines in access-type order: read wpts, read log, product data, write
// wpts, erase, pilot data, write log, write CTR, read CTR.
using Column = std::array<Routine, kAccessTypeCount>;
constexpr Column waypoints_and_log(R r) { return {r, r, N, r, N, N, N, N, N}; }
constexpr Column log_only(R r) { return {N, r, N, N, N, N, N, N, N}; }

std::deque<InstrumentKind> shipped_rows() {
    std::deque<InstrumentKind> rows;
    auto row = [&rows](InstrumentKind k) { rows.push_back(std::move(k)); };

    row({.protocol = P::GarminSerial, .title = "Garmin, serial port", .gps_name = "GARMIN", .server_name = "garmin",
         .server_downloads = true,
         .routines = {R::Garmin, R::Garmin, N, R::Garmin, N, N, R::Garmin, R::Garmin, N},
         .connect_baud = 9600,
         .command_uses = kAllDownloads | kWaypointsBothWays | kUseWriteCtr,
         .family = F::Garmin, .sim_family = "garmin",
         .entries = {{40029, kLogs, 10, "Read &Garmin\tCtrl+G", A::ReadTrackLog},
                     {40027, kWpts, 10, "Read &Garmin", A::ReadWaypoints},
                     {40021, kWpts, 120, "Send to &Garmin", A::WriteWaypoints},
                     {40106, kCtr, 3, "Send to &Garmin as a log", A::WriteCtr},
                     {40017, kMisc, 81, "Send wpts. as Garmin log (COM)", A::WriteTrackLog}},
         .buttons = {{40029, "Garmin (RS232)", 7, 7, 62, 14}}});
    row({.protocol = P::Mlr, .title = "MLR (NMEA) and Digifly Leonardo", .gps_name = "MLR", .server_name = "mlr",
         .routines = {R::Mlr, R::Mlr, N, R::Mlr, N, N, N, N, N},
         .connect_baud = 4800, .transfer_rates = {38400},
         .command_uses = kAllDownloads | kWaypointsBothWays,
         .family = F::Mlr, .sim_family = "mlr",
         .entries = {{40004, kLogs, 150, "Read &MLR\tCtrl+M", A::ReadTrackLog},
                     {40137, kLogs, 160, "Read Digifly Leonardo\tCtrl+R", A::ReadTrackLog},
                     {40033, kWpts, 60, "Read &MLR (NMEA)", A::ReadWaypoints, 1},
                     {40007, kWpts, 170, "Send to &MLR", A::WriteWaypoints},
                     {40138, kWpts, 210, "Send to Digifly &Leonardo", A::WriteWaypoints}},
         .buttons = {{40004, "MLR types", 146, 25, 65, 14}}});
    row({.protocol = P::TopNavigator, .title = "Top Navigator (TNCM)", .gps_name = "TOPNAV", .server_name = "topnav",
         .routines = {R::TopNav, R::TopNav, N, R::TopNav, N, N, N, N, N},
         .connect_baud = 9600,
         .command_uses = kUseTrackLog | kUseWriteWaypoints,
         .family = F::TopNavigator, .keeps_raw_topnav = true, .sim_family = "topnav",
         .entries = {{40039, kLogs, 100, "Read &Top Navigator (TNCM)\tCtrl+Alt+T", A::ReadTrackLog},
                     {40053, kWpts, 90, "Read &Top Navigator", A::ReadWaypoints},
                     {40009, kWpts, 190, "Send to &Top Navigator", A::WriteWaypoints}}});
    row({.protocol = P::LogIt, .title = "LogIt / Tracklogger", .gps_name = "LOGIT", .server_name = "logit",
         .routines = {N, R::LogIt, R::LogIt, N, R::LogIt, R::LogItName, N, N, N},
         .connect_baud = 4800, .transfer_rates = {57600, 38400, 19200, 115200},
         .command_baud = 57600, .command_uses = kAllDownloads,
         .family = F::LogIt, .sim_family = "logit",
         .entries = {{40010, kLogs, 110, "Read Log It (&57600)\tCtrl+L", A::ReadTrackLog, 57600},
                     {40011, kLogs, 120, "Read Log It (&38400)", A::ReadTrackLog, 38400},
                     {40012, kLogs, 130, "Read Log It (&19200)", A::ReadTrackLog, 19200},
                     {40069, kLogs, 140, "Read Tracklogger (115&200)", A::ReadTrackLog, 115200},
                     {40014, kMisc, 101, "&Erase LogIt track", A::EraseTrackLog},
                     {40015, kMisc, 102, "Write LogIt &Name", A::WritePilotData},
                     {40016, kMisc, 103, "Read LogIt &Data", A::ReadProductData}}});
    row({.protocol = P::FlytecIq, .title = "Flytec/Brauniger IQ-Compeo(+), Competino(+), Flytec 50xx/60xx",
         .gps_name = "IQCOMPEO", .server_name = "iqcompeo", .server_downloads = true,
         .routines = {R::Iq, R::Iq, N, R::Iq, N, N, N, R::Iq, R::Iq},
         .connect_baud = 57600, .xon_xoff = true,
         .command_uses = kAllDownloads | kWaypointsBothWays | kUseWriteCtr, .command_names_uploads = true,
         .family = F::FlytecIq, .keeps_raw_igc = true, .sim_family = "flytec",
         .entries = {{40054, kLogs, 30, "Read &IQ-Compeo(+)/Competino(+)\tCtrl+E", A::ReadTrackLog},
                     {40085, kLogs, 50, "Read &Flytec 50xx/60xx\tCtrl+F", A::ReadTrackLog},
                     {40055, kWpts, 30, "Read &Compeo(+)/Competino(+)", A::ReadWaypoints},
                     {40086, kWpts, 40, "Read &Flytec 50xx/60xx", A::ReadWaypoints},
                     {40018, kWpts, 140, "Send to &Compeo(+)/Competino(+) (Only Name)", A::WriteWaypoints, 0, 1},
                     {40023, kWpts, 150, "Send to &Flytec 50xx/60xx (Only Name)", A::WriteWaypoints, 0, 1},
                     {40134, kWpts, 230, "Send to Compeo(+)/Competino(+) (Only ID)", A::WriteWaypoints, 0, 3},
                     {40096, kWpts, 240, "Send to Compeo(+)/Competino(+) (ID+Name)", A::WriteWaypoints, 0, 2},
                     {40135, kWpts, 250, "Send to Flytec 50xx/60xx (Only ID)", A::WriteWaypoints, 0, 3},
                     {40097, kWpts, 260, "Send to Flytec 50xx/60xx (ID+Name)", A::WriteWaypoints, 0, 2},
                     {40098, kCtr, 1, "Send to &Compeo/Competino", A::WriteCtr},
                     {40099, kCtr, 2, "Send to &Flytec 50xx/60xx", A::WriteCtr},
                     {40109, kCtr, 5, "Read from &Compeo/Competino", A::ReadCtr},
                     {40110, kCtr, 6, "Read from &Flytec 50xx/60xx", A::ReadCtr}},
         .buttons = {{40054, "Compeo/Competino", 73, 7, 69, 14}, {40085, "Flytec 5020/5030", 73, 25, 69, 14}}});
    row({.protocol = P::Graviter, .title = "Digifly Graviter", .gps_name = "GRAVITER", .server_name = "graviter",
         .routines = {N, R::Graviter, N, N, N, R::Graviter, N, N, N},
         .connect_baud = 38400,
         .command_uses = kUseTrackLog,
         .family = F::Graviter, .sim_family = "graviter",
         .entries = {{40058, kLogs, 170, "Read Digifly Graviter (all tracks)", A::ReadTrackLog},
                     {40056, kLogs, 180, "Read Graviter (last?)", A::ReadTrackLog},
                     // The owner name job has no entry of its own in the published menus.
                     {40180, kMisc, 107, "Write Graviter name", A::WritePilotData}}});
    row({.protocol = P::Magellan, .title = "Magellan", .gps_name = "MAGELLAN", .server_name = "magellan",
         .routines = waypoints_and_log(R::Magellan),
         .connect_baud = 9600,
         .command_uses = kAllDownloads | kUseWriteWaypoints,
         .family = F::Magellan, .sim_family = "magellan",
         .entries = {{40065, kLogs, 190, "Read Magella&n (9600)\tCtrl+N", A::ReadTrackLog},
                     {40066, kWpts, 80, "Read M&agellan (9600)", A::ReadWaypoints},
                     {40008, kWpts, 180, "Send to M&agellan (9600)", A::WriteWaypoints}}});
    row({.protocol = P::XcTrainer, .title = "XC Trainer", .gps_name = "XCTRAINER", .server_name = "xctrainer",
         // The track download and the upload are the Top Navigator's.
         .routines = {R::Xct, R::TopNav, N, R::TopNav, N, N, N, N, N},
         .connect_baud = 57600, .transfer_rates = {9600}, .xon_xoff = true,
         .command_uses = kAllDownloads | kUseWriteWaypoints,
         .family = F::TopNavigator, .keeps_raw_topnav = true, .sim_family = "xctrainer",
         .entries = {{40071, kLogs, 80, "Read &XC Trainer (57600)", A::ReadTrackLog},
                     {40076, kWpts, 100, "Read &XC Trainer", A::ReadWaypoints},
                     {40013, kWpts, 200, "Send to &XC Trainer", A::WriteWaypoints}}});
    row({.protocol = P::GarminUsb, .title = "Garmin, USB", .gps_name = "GARMIN", .usb = true,
         .server_name = "garminusb", .server_downloads = true,
         .routines = {R::GarminUsb, R::GarminUsb, N, R::GarminUsb, N, N, R::GarminUsb, R::GarminUsb, N},
         .command_uses = kAllDownloads | kWaypointsBothWays | kUseWriteCtr,
         .family = F::Garmin, .sim_family = "garminusb",
         .entries = {{40075, kLogs, 20, "Read Garmin &USB\tCtrl+U", A::ReadTrackLog},
                     {40078, kWpts, 20, "Read Garmin (&USB)", A::ReadWaypoints},
                     {40022, kWpts, 130, "Send to Garmin (&USB)", A::WriteWaypoints},
                     {40107, kCtr, 4, "Send to Garmin &USB as a log", A::WriteCtr},
                     {40092, kMisc, 82, "Send wpts. as Garmin log (USB)", A::WriteTrackLog}},
         .buttons = {{40075, "Garmin (USB)", 7, 25, 62, 14}}});
    row({.protocol = P::TopNavigatorMxp, .title = "Top Navigator, MXP protocol",
         .routines = log_only(R::Mxp),
         .connect_baud = 57600,
         .family = F::TopNavigator, .keeps_raw_topnav = true, .sim_family = "topnav",
         .entries = {{40090, kLogs, 90, "Read &Top Nav (MXP at 57600)\tCtrl+T", A::ReadTrackLog, 57600}},
         .buttons = {{40090, "TopNav (MXP)", 215, 7, 65, 14}}});
    row({.protocol = P::XcTrainerMxp, .title = "XC Trainer, MXP protocol", .gps_name = "XCT_MXP",
         .server_name = "xct_mxp",
         .routines = log_only(R::Mxp),
         .connect_baud = 57600, .xon_xoff = true,
         .command_baud = 57600, .command_uses = kAllDownloads,
         .family = F::TopNavigator, .keeps_raw_topnav = true, .sim_family = "xctrainer",
         .entries = {{40091, kLogs, 70, "Read &XC Trainer (MXP at 57600)\tCtrl+X", A::ReadTrackLog, 57600}},
         .buttons = {{40091, "XC Trainer (MXP)", 146, 7, 65, 14}}});
    row({.protocol = P::FlytecAllTracks, .title = "Flytec/Brauniger, all tracks into files",
         .routines = log_only(R::IqAllTracks),
         .connect_baud = 57600, .xon_xoff = true,
         .family = F::FlytecIq, .keeps_raw_igc = true, .track_into_file = true, .sim_family = "flytec",
         .entries = {{40119, kLogs, 40, "Read all &IQ Tracks", A::ReadTrackLog},
                     {40120, kLogs, 60, "Read all &Flytec Tracks", A::ReadTrackLog}}});
    row({.protocol = P::Flymaster, .title = "Flymaster", .gps_name = "FLYMASTER", .server_name = "flymaster",
         .server_downloads = true,
         .routines = {R::Flymaster, R::Flymaster, N, R::Flymaster, N, R::Flymaster, N, N, N},
         .connect_baud = 57600,
         .command_uses = kAllDownloads | kWaypointsBothWays | kUseUserName, .command_names_uploads = true,
         .family = F::Flymaster, .sim_family = "flymaster", .power_off_setting = "FlymasterPwrOff",
         .entries = {{40126, kLogs, 200, "Read Fl&ymaster\tCtrl+Y", A::ReadTrackLog},
                     {40167, kWpts, 110, "Read Fl&ymaster", A::ReadWaypoints},
                     {40163, kWpts, 220, "Send to Fl&ymaster (Only Name)", A::WriteWaypoints, 0, 1},
                     {40165, kWpts, 290, "Send to Flymaster (Only ID)", A::WriteWaypoints, 0, 3},
                     {40164, kWpts, 300, "Send to Flymaster (ID+Name)", A::WriteWaypoints, 0, 2},
                     {40166, kMisc, 104, "Write Flymaster IDs", A::WritePilotData},
                     {40145, kMisc, 105, "Write Flymaster Name", A::WritePilotData},
                     {40157, kMisc, 106, "Set Flymaster altitude alarm", A::WritePilotData}},
         .buttons = {{40126, "Flymaster", 215, 25, 65, 14}}});
    row({.protocol = P::Dsx, .title = "DSX", .gps_name = "DSX", .server_name = "dsx",
         .routines = {N, R::Dsx, N, N, N, R::Dsx, N, N, N},
         .connect_baud = 9600, .transfer_rates = {38400},
         .command_uses = kAllDownloads,
         .family = F::Dsx, .keeps_raw_igc = true, .sim_family = "dsx",
         .entries = {{40148, kLogs, 210, "Read DSX", A::ReadTrackLog},
                     {40153, kMisc, 111, "Write DSX pilot data", A::WritePilotData}}});
    row({.protocol = P::MlrFast, .title = "MLR fast waypoint protocol", .gps_name = "MLRC",
         .routines = waypoints_and_log(R::Mlr),
         .connect_baud = 4800, .transfer_rates = {38400},
         .command_uses = kUseReadWaypoints,
         .family = F::Mlr, .sim_family = "mlr",
         .entries = {{40150, kWpts, 70, "Read &MLR (Fast)", A::ReadWaypoints}}});
    row({.protocol = P::IqBasic, .title = "IQ Basic / Flytec 6015", .gps_name = "IQBASIC", .server_name = "iqbasic",
         .routines = waypoints_and_log(R::IqBasic),
         .connect_baud = 57600,
         .command_uses = kAllDownloads | kWaypointsBothWays, .command_names_uploads = true,
         .family = F::IqBasic, .keeps_raw_igc = true, .sim_family = "iqbasic",
         .entries = {{40155, kLogs, 230, "Read IQ Basic / Flytec 6015", A::ReadTrackLog},
                     {40158, kWpts, 50, "Read &IqBasic/Flytec 6015", A::ReadWaypoints},
                     {40159, kWpts, 160, "Send to &IqBasic/Flytec 6015 (Only Name)", A::WriteWaypoints, 0, 1},
                     {40161, kWpts, 270, "Send to IqBasic/Flytec 6015 (OnlyID)", A::WriteWaypoints, 0, 3},
                     {40162, kWpts, 280, "Send to IqBasic/Flytec 6015 (ID+Name)", A::WriteWaypoints, 0, 2}}});
    row({.protocol = P::Mtk, .title = "MTK / Pentagram logger", .gps_name = "MTK", .server_name = "mtk",
         .routines = {N, R::Mtk, N, N, R::Mtk, N, N, N, N},
         .connect_baud = 115200,
         .command_uses = kAllDownloads,
         .family = F::Mtk, .sim_family = "mtk",
         .entries = {{40154, kLogs, 220, "Read MTK/Pentagram", A::ReadTrackLog},
                     {40156, kMisc, 112, "Erase MTK/Pentagram", A::EraseTrackLog}}});
    return rows;
}

std::deque<InstrumentKind>& rows() {
    static std::deque<InstrumentKind> all = shipped_rows();
    return all;
}

}  // namespace

const std::deque<InstrumentKind>& instrument_catalogue() { return rows(); }

void add_instrument_kind(InstrumentKind kind) {
    if (find_instrument(kind.protocol)) return;
    rows().push_back(std::move(kind));
}

const InstrumentKind* find_instrument(ProtocolType protocol) {
    for (const InstrumentKind& k : rows())
        if (k.protocol == protocol) return &k;
    return nullptr;
}

const InstrumentKind* find_gps_name(std::string_view name, bool usb) {
    for (const InstrumentKind& k : rows())
        if (k.gps_name && name == k.gps_name && k.usb == usb) return &k;
    return nullptr;
}

const InstrumentKind& default_instrument() { return rows().front(); }

Routine instrument_routine(const InstrumentKind& kind, AccessType access) {
    const int a = static_cast<int>(access);
    if (a < 0 || a >= kAccessTypeCount) return Routine::None;
    return kind.routines[static_cast<std::size_t>(a)];
}

bool instrument_serves(const InstrumentKind& kind, AccessType access, const RoutineRegistry& routines) {
    const Routine r = instrument_routine(kind, access);
    return r != Routine::None && static_cast<bool>(routines.find(access, r));
}

bool instrument_built(const InstrumentKind& kind, const RoutineRegistry& routines) {
    for (int a = 0; a < kAccessTypeCount; ++a)
        if (instrument_serves(kind, static_cast<AccessType>(a), routines)) return true;
    return false;
}

bool instrument_uses_xon_xoff(ProtocolType protocol) {
    const InstrumentKind* k = find_instrument(protocol);
    return k && k->xon_xoff;
}

RawLogRule raw_logs_kept(InstrumentFamily family) {
    // Rows of one family agree on the rule; the first one found speaks for them.
    for (const InstrumentKind& k : rows())
        if (k.family == family) return {k.keeps_raw_igc, k.keeps_raw_topnav};
    return {};
}

}  // namespace orlogix
