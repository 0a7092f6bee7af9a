// orlogix-window: the main window, started by orlogix in its place when a
// window is asked for (orlogix has checked the command line and the display).
#include <cstdio>
#include <optional>

#include "control/command_line.hpp"
#include "ui/gui_main.hpp"

int main(int argc, char** argv) {
    if (argc < 2) return orlogix::ui::run_gui(argc, argv, std::nullopt);
    orlogix::CommandLine command;
    orlogix::CommandLineError error;
    if (orlogix::parse_command_line(orlogix::join_arguments(argc, argv), command, error) != 0) {
        std::fputs("orlogix-window: the command line does not parse; run it through orlogix.\n", stderr);
        return 2;
    }
    return orlogix::ui::run_gui(argc, argv, command);
}
