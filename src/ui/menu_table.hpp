#pragma once
// Every menu entry, accelerator and quick button of the main window in one
// table, so the menus, the shortcuts and the enabled state come from one place.
// The window's own commands are listed here; the entries that start a job on
// an instrument come from the instrument catalogue, so a family's entries
// light up from its registration alone.
#include <optional>
#include <string>
#include <vector>

#include "access/instrument_catalogue.hpp"
#include "access/job_framework.hpp"

namespace orlogix::ui {

enum class MenuKind {
    Command,     // handled by the window itself
    Toggle,      // a check mark entry
    Job,         // starts the job of its description
};

// What an instrument entry starts.
struct JobDescription {
    AccessType access;
    ProtocolType protocol;
    int baud = 0;      // baud or mode value, 0 = the protocol's default
    int naming = 0;    // upload naming mode of waypoint sends
    Completion completion;
};

struct MenuEntry {
    int id;
    const char* menu;     // "&File", "&Edit", ...; nullptr for accelerator-only commands
    const char* text;     // as shown, "\t" and the accelerator text where there is one
    MenuKind kind = MenuKind::Command;
    const char* extra_keys = nullptr;  // further accelerators, ";" between them
    std::optional<JobDescription> job = std::nullopt;  // the Job kind only
    int order = 0;        // place within its menu
};

// The completion a window job of this access type ends with.
Completion window_completion(AccessType access);

// Menus in their order on the menu bar.
const std::vector<const char*>& menu_names();
// The window's own entries and the catalogue's, each menu in its order.
const std::vector<MenuEntry>& menu_table();
const MenuEntry* find_menu_entry(int id);

// The entry's text without the accelerator part, and the accelerator (Qt key
// sequence text, "Ctrl-A" written as "Ctrl+A"); empty when there is none.
std::string entry_label(const MenuEntry& e);
std::string entry_shortcut(const MenuEntry& e);

// The instruments' quick buttons, from the catalogue.
std::vector<QuickButton> quick_buttons();

// Control ids of the window.
inline constexpr int kIdExitButton = 1010;
inline constexpr int kIdAbortButton = 1102;
inline constexpr int kIdSaveLogButton = 1315;
inline constexpr int kIdUtmCheck = 1018;

}  // namespace orlogix::ui
