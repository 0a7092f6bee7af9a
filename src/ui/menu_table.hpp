#pragma once
// Every menu entry, accelerator and quick button of the main window in one
// table, so the menus, the shortcuts and the enabled state come from one place.
#include <string>
#include <vector>

namespace orlogix::ui {

enum class MenuKind {
    Command,     // handled by the window itself
    Toggle,      // a check mark entry
    LogRead,     // read-track-log job
    WptRead,     // read-waypoints job
    WptSend,     // write-waypoints job
};

struct MenuEntry {
    int id;
    const char* menu;     // "File", "Edit", ...; nullptr for accelerator-only commands
    const char* text;     // as shown, "\t" and the accelerator text where there is one
    MenuKind kind = MenuKind::Command;
    int protocol = -1;    // protocol type for the job kinds
    int baud = 0;         // baud or mode value, 0 = the protocol's default
    int naming = 0;       // upload naming mode of waypoint sends
    const char* extra_keys = nullptr;  // further accelerators, ";" between them
};

// Menus in their order on the menu bar.
const std::vector<const char*>& menu_names();
const std::vector<MenuEntry>& menu_table();
const MenuEntry* find_menu_entry(int id);

// The entry's text without the accelerator part, and the accelerator (Qt key
// sequence text, "Ctrl-A" written as "Ctrl+A"); empty when there is none.
std::string entry_label(const MenuEntry& e);
std::string entry_shortcut(const MenuEntry& e);

struct ButtonEntry {
    int id;
    const char* text;
    int x, y, width, height;  // dialog units
};
const std::vector<ButtonEntry>& quick_buttons();

// Control ids of the window.
inline constexpr int kIdExitButton = 1010;
inline constexpr int kIdAbortButton = 1102;
inline constexpr int kIdSaveLogButton = 1315;
inline constexpr int kIdUtmCheck = 1018;

}  // namespace orlogix::ui
