#include "ui/menu_table.hpp"

namespace orlogix::ui {

namespace {
constexpr MenuKind C = MenuKind::Command;
constexpr MenuKind T = MenuKind::Toggle;
constexpr MenuKind L = MenuKind::LogRead;
constexpr MenuKind R = MenuKind::WptRead;
constexpr MenuKind S = MenuKind::WptSend;
}  // namespace

const std::vector<const char*>& menu_names() {
    static const std::vector<const char*> names = {"&File", "&Edit", "&Logs", "W&pts", "&CTR", "&Misc", "&View", "&Help"};
    return names;
}

const std::vector<MenuEntry>& menu_table() {
    static const std::vector<MenuEntry> table = {
        // File
        {40115, "&File", "&Save log (DezuvaDar/.kml)\tCtrl+S", C},
        {40116, "&File", "Save log &As...", C},
        {40117, "&File", "&Open log\tCtrl+O", C},
        {40118, "&File", "Save &wpts. As...", C},
        {40047, "&File", "Open wpts.\tCtrl+W", C},
        {40043, "&File", "Save log in &IGC format\tCtrl+I", C},
        {40072, "&File", "Save IGC log from &GPS", C},
        {40073, "&File", "&Verify IGC log from Orlogix\tCtrl+V", C},
        {40139, "&File", "Add IGC file to &comp. output", T},
        {40143, "&File", "Save pilot list as .csv", C},
        {40170, "&File", "&Convert .kml files to .igc", C},
        {40171, "&File", "Convert .igc files to .kml", C},
        {40019, "&File", "E&xit", C},
        // Edit
        {40038, "&Edit", "&New waypoint", C},
        {40030, "&Edit", "&Edit waypoint", C},
        {40031, "&Edit", "&Delete waypoint(s)", C},
        {40032, "&Edit", "Convert &Position", C},
        {40028, "&Edit", "&Calculate distance", C},
        {40042, "&Edit", "Select &all\tCtrl-A", C},
        // Logs
        {40029, "&Logs", "Read &Garmin\tCtrl+G", L, 0},
        {40075, "&Logs", "Read Garmin &USB\tCtrl+U", L, 8},
        {40054, "&Logs", "Read &IQ-Compeo(+)/Competino(+)\tCtrl+E", L, 4},
        {40119, "&Logs", "Read all &IQ Tracks", L, 11},
        {40085, "&Logs", "Read &Flytec 50xx/60xx\tCtrl+F", L, 4},
        {40120, "&Logs", "Read all &Flytec Tracks", L, 11},
        {40091, "&Logs", "Read &XC Trainer (MXP at 57600)\tCtrl+X", L, 10, 57600},
        {40071, "&Logs", "Read &XC Trainer (57600)", L, 7},
        {40090, "&Logs", "Read &Top Nav (MXP at 57600)\tCtrl+T", L, 9, 57600},
        {40039, "&Logs", "Read &Top Navigator (TNCM)\tCtrl+Alt+T", L, 2},
        {40010, "&Logs", "Read Log It (&57600)\tCtrl+L", L, 3, 57600},
        {40011, "&Logs", "Read Log It (&38400)", L, 3, 38400},
        {40012, "&Logs", "Read Log It (&19200)", L, 3, 19200},
        {40069, "&Logs", "Read Tracklogger (115&200)", L, 3, 115200},
        {40004, "&Logs", "Read &MLR\tCtrl+M", L, 1},
        {40137, "&Logs", "Read Digifly Leonardo\tCtrl+R", L, 1},
        {40058, "&Logs", "Read Digifly Graviter (all tracks)", L, 5},
        {40056, "&Logs", "Read Graviter (last?)", L, 5},
        {40065, "&Logs", "Read Magella&n (9600)\tCtrl+N", L, 6},
        {40126, "&Logs", "Read Fl&ymaster\tCtrl+Y", L, 12},
        {40148, "&Logs", "Read DSX", L, 13},
        {40154, "&Logs", "Read MTK/Pentagram", L, 15},
        {40155, "&Logs", "Read IQ Basic / Flytec 6015", L, 16},
        // Wpts
        {40027, "W&pts", "Read &Garmin", R, 0},
        {40078, "W&pts", "Read Garmin (&USB)", R, 8},
        {40055, "W&pts", "Read &Compeo(+)/Competino(+)", R, 4},
        {40086, "W&pts", "Read &Flytec 50xx/60xx", R, 4},
        {40158, "W&pts", "Read &IqBasic/Flytec 6015", R, 16},
        {40033, "W&pts", "Read &MLR (NMEA)", R, 1},
        {40150, "W&pts", "Read &MLR (Fast)", R, 14},
        {40066, "W&pts", "Read M&agellan (9600)", R, 6},
        {40053, "W&pts", "Read &Top Navigator", R, 2},
        {40076, "W&pts", "Read &XC Trainer", R, 7},
        {40167, "W&pts", "Read Fl&ymaster", R, 12},
        {40021, "W&pts", "Send to &Garmin", S, 0, 0, 0},
        {40022, "W&pts", "Send to Garmin (&USB)", S, 8, 0, 0},
        {40018, "W&pts", "Send to &Compeo(+)/Competino(+) (Only Name)", S, 4, 0, 1},
        {40023, "W&pts", "Send to &Flytec 50xx/60xx (Only Name)", S, 4, 0, 1},
        {40159, "W&pts", "Send to &IqBasic/Flytec 6015 (Only Name)", S, 16, 0, 1},
        {40007, "W&pts", "Send to &MLR", S, 1, 0, 0},
        {40008, "W&pts", "Send to M&agellan (9600)", S, 6, 0, 0},
        {40009, "W&pts", "Send to &Top Navigator", S, 2, 0, 0},
        {40013, "W&pts", "Send to &XC Trainer", S, 7, 0, 0},
        {40138, "W&pts", "Send to Digifly &Leonardo", S, 1, 0, 0},
        {40163, "W&pts", "Send to Fl&ymaster (Only Name)", S, 12, 0, 1},
        {40134, "W&pts", "Send to Compeo(+)/Competino(+) (Only ID)", S, 4, 0, 3},
        {40096, "W&pts", "Send to Compeo(+)/Competino(+) (ID+Name)", S, 4, 0, 2},
        {40135, "W&pts", "Send to Flytec 50xx/60xx (Only ID)", S, 4, 0, 3},
        {40097, "W&pts", "Send to Flytec 50xx/60xx (ID+Name)", S, 4, 0, 2},
        {40161, "W&pts", "Send to IqBasic/Flytec 6015 (OnlyID)", S, 16, 0, 3},
        {40162, "W&pts", "Send to IqBasic/Flytec 6015 (ID+Name)", S, 16, 0, 2},
        {40165, "W&pts", "Send to Flymaster (Only ID)", S, 12, 0, 3},
        {40164, "W&pts", "Send to Flymaster (ID+Name)", S, 12, 0, 2},
        // CTR
        {40098, "&CTR", "Send to &Compeo/Competino", C},
        {40099, "&CTR", "Send to &Flytec 50xx/60xx", C},
        {40106, "&CTR", "Send to &Garmin as a log", C},
        {40107, "&CTR", "Send to Garmin &USB as a log", C},
        {40109, "&CTR", "Read from &Compeo/Competino", C},
        {40110, "&CTR", "Read from &Flytec 50xx/60xx", C},
        {40100, "&CTR", "&Read CTR(s) from file", C},
        {40108, "&CTR", "&Write CTR(s) to file", C},
        {40104, "&CTR", "&Edit CTR", C},
        {40105, "&CTR", "&New CTR", C},
        {40111, "&CTR", "&Delete CTR(s)", C},
        {40112, "&CTR", "&Show CTR as waypoints", C},
        {40149, "&CTR", "Write CTR(s) to .gp&x file", C},
        // Misc
        {40006, "&Misc", "Set &COM port", C},
        {40124, "&Misc", "Rotate Track", C},
        {40151, "&Misc", "Set loop flight gap", C},
        {40088, "&Misc", "&Track log filter (speed analysis)", T},
        {40136, "&Misc", "Set track &gap filter time", C},
        {40172, "&Misc", "Set vario filter", T},
        {40095, "&Misc", "&OLC statistics (use IGC buffer)", C},
        {40094, "&Misc", "OLC statistics (use selected pos.)", C},
        {40017, "&Misc", "Send wpts. as Garmin log (COM)", C},
        {40092, "&Misc", "Send wpts. as Garmin log (USB)", C},
        {40144, "&Misc", "Pwr off after wpts wr && log read ", T},
        {40142, "&Misc", "USB && comp. mode: Check wpts", T},
        {40014, "&Misc", "&Erase LogIt track", C},
        {40015, "&Misc", "Write LogIt &Name", C},
        {40016, "&Misc", "Read LogIt &Data", C},
        {40166, "&Misc", "Write Flymaster IDs", C},
        {40145, "&Misc", "Write Flymaster Name", C},
        {40157, "&Misc", "Set Flymaster altitude alarm", C},
        {40146, "&Misc", "Pwr off after log read", T},
        {40153, "&Misc", "Write DSX pilot data", C},
        {40156, "&Misc", "Erase MTK/Pentagram", C},
        {40173, "&Misc", "&Server", C},
        {40121, "&Misc", "Competition &Mode", C},
        // View
        {40025, "&View", "&Tracklog\tCtrl+1", C},
        {40024, "&View", "&Waypoints\tCtrl+2", C},
        {40129, "&View", "&Pilot List\tCtrl+3", C},
        {40101, "&View", "&CTR\tCtrl+4", C},
        {40141, "&View", "&Show track", C},
        {40131, "&View", "Set small list size\tCtrl+Alt+0", C},
        {40132, "&View", "Set default list size\tCtrl+Alt+1", C},
        {40133, "&View", "Set large list size\tCtrl+Alt+2", C},
        {40174, "&View", "&Font", C},
        // Help
        {40005, "&Help", "&About Orlogix", C},
        {40079, "&Help", "&Dump Debug Data", C},
        {40080, "&Help", "&Clear Debug Data", C},
        {40140, "&Help", "&Test", C},
        // Accelerators without a menu entry
        {40083, nullptr, "Copy track to clip board\tCtrl+C", C},
        {40130, nullptr, "Dash mode\tCtrl+Alt+C", C, -1, 0, 0, "Ctrl+Shift+C"},
    };
    return table;
}

const MenuEntry* find_menu_entry(int id) {
    for (const MenuEntry& e : menu_table())
        if (e.id == id) return &e;
    return nullptr;
}

std::string entry_label(const MenuEntry& e) {
    std::string text = e.text;
    std::size_t tab = text.find('\t');
    return tab == std::string::npos ? text : text.substr(0, tab);
}

std::string entry_shortcut(const MenuEntry& e) {
    std::string text = e.text;
    std::size_t tab = text.find('\t');
    if (tab == std::string::npos) return {};
    std::string keys = text.substr(tab + 1);
    if (keys.rfind("Ctrl-", 0) == 0) keys[4] = '+';
    return keys;
}

const std::vector<ButtonEntry>& quick_buttons() {
    static const std::vector<ButtonEntry> buttons = {
        {40029, "Garmin (RS232)", 7, 7, 62, 14},     {40075, "Garmin (USB)", 7, 25, 62, 14},
        {40054, "Compeo/Competino", 73, 7, 69, 14},  {40085, "Flytec 5020/5030", 73, 25, 69, 14},
        {40091, "XC Trainer (MXP)", 146, 7, 65, 14}, {40004, "MLR types", 146, 25, 65, 14},
        {40090, "TopNav (MXP)", 215, 7, 65, 14},     {40126, "Flymaster", 215, 25, 65, 14},
    };
    return buttons;
}

}  // namespace orlogix::ui
