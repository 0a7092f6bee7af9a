// orlogix: the program's entry point. Without a command line, or with /WIN=1
// or /WIN=2, the main window opens; every other command line runs headless.
#include <cstring>
#include <strings.h>

#include "control/headless_main.hpp"
#ifdef ORLOGIX_WITH_GUI
#include "control/command_line.hpp"
#include "ui/gui_main.hpp"
#endif

namespace {

#ifdef ORLOGIX_WITH_GUI
// The window is asked for explicitly: a command line without /WIN stays headless.
bool window_requested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (strncasecmp(argv[i], "/WIN=", 5) == 0) return argv[i][5] == '1' || argv[i][5] == '2';
    return false;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef ORLOGIX_WITH_GUI
    if (argc < 2) return orlogix::ui::run_gui(argc, argv, std::nullopt);
    if (window_requested(argc, argv)) {
        orlogix::CommandLine command;
        orlogix::CommandLineError error;
        // A command line that does not parse is reported the headless way.
        if (orlogix::parse_command_line(orlogix::join_arguments(argc, argv), command, error) == 0)
            return orlogix::ui::run_gui(argc, argv, command);
    }
#endif
    return orlogix::run_headless(argc, argv);
}
