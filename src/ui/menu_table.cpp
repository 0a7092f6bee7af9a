#include "ui/menu_table.hpp"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "access/instrument_catalogue.hpp"

namespace orlogix::ui {

namespace {
constexpr MenuKind C = MenuKind::Command;
constexpr MenuKind T = MenuKind::Toggle;
}  // namespace

const std::vector<const char*>& menu_names() {
    static const std::vector<const char*> names = {"&File", "&Edit", "&Logs", "W&pts", "&CTR", "&Misc", "&View", "&Help"};
    return names;
}

namespace {

// The window's own commands, each menu in its order.
std::vector<MenuEntry> own_entries() {
    return {
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
        // CTR
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
        {40144, "&Misc", "Pwr off after wpts wr && log read ", T},
        {40142, "&Misc", "USB && comp. mode: Check wpts", T},
        {40146, "&Misc", "Pwr off after log read", T},
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
        {40130, nullptr, "Dash mode\tCtrl+Alt+C", C, "Ctrl+Shift+C"},
    };
}

std::vector<MenuEntry> build_table() {
    std::vector<MenuEntry> table = own_entries();
    // The window's own entries stand at 10, 20, 30, ... within their menu.
    std::vector<int> next(menu_names().size() + 1, 0);
    auto menu_index = [](const char* menu) {
        const auto& names = menu_names();
        for (std::size_t i = 0; i < names.size(); ++i)
            if (menu && std::strcmp(menu, names[i]) == 0) return i;
        return names.size();
    };
    for (MenuEntry& e : table) e.order = next[menu_index(e.menu)] += 10;
    for (const InstrumentKind& kind : instrument_catalogue())
        for (const InstrumentEntry& i : kind.entries)
            table.push_back({i.id, i.menu, i.text, MenuKind::Job, nullptr,
                             JobDescription{i.access, kind.protocol, i.baud, i.naming,
                                            kind.track_into_file ? Completion::None : window_completion(i.access)},
                             i.order});
    std::stable_sort(table.begin(), table.end(), [&](const MenuEntry& a, const MenuEntry& b) {
        const std::size_t ma = menu_index(a.menu), mb = menu_index(b.menu);
        return ma != mb ? ma < mb : a.order < b.order;
    });
    return table;
}

}  // namespace

Completion window_completion(AccessType access) {
    switch (access) {
        case AccessType::ReadTrackLog: return Completion::TrackLog;
        case AccessType::ReadWaypoints: return Completion::WaypointsRead;
        case AccessType::WriteWaypoints: return Completion::WaypointsWritten;
        case AccessType::WriteTrackLog:
        case AccessType::WriteCtr: return Completion::Written;
        case AccessType::ReadCtr: return Completion::CtrRead;
        default: return Completion::None;
    }
}

const std::vector<MenuEntry>& menu_table() {
    // Rebuilt when a row joins the catalogue (a family added by a test).
    static std::mutex mutex;
    static std::vector<MenuEntry> table;
    static std::size_t rows = 0;
    std::lock_guard lock(mutex);
    if (table.empty() || rows != instrument_catalogue().size()) {
        table = build_table();
        rows = instrument_catalogue().size();
    }
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

std::vector<QuickButton> quick_buttons() {
    std::vector<QuickButton> buttons;
    for (const InstrumentKind& kind : instrument_catalogue())
        buttons.insert(buttons.end(), kind.buttons.begin(), kind.buttons.end());
    return buttons;
}

}  // namespace orlogix::ui
